#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace walkmere::sitetool {

// A picture in memory: 3 bytes (red, green, blue) a pixel, rows from the top.
struct RgbImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;

    RgbImage() = default;
    RgbImage(int32_t w, int32_t h, uint8_t fill = 0)
        : width(w), height(h), pixels(size_t(w) * size_t(h) * 3, fill) {}
    uint8_t* at(int32_t x, int32_t y) { return pixels.data() + (size_t(y) * width + x) * 3; }
    const uint8_t* at(int32_t x, int32_t y) const {
        return pixels.data() + (size_t(y) * width + x) * 3;
    }
};

// Reads the pixels of a Windows bitmap file held in memory: every picture the program's own
// loader takes. 1-, 4- and 8-bit pictures with a colour table, 8- and 4-bit ones run-length
// coded (BI_RLE8, BI_RLE4), 16-bit (5 bits a colour) and 24- and 32-bit ones, 16- and 32-bit
// ones with colour masks (BI_BITFIELDS); bottom-up or top-down. A run-length code that runs
// past a row or off the picture is cut there; pixels it never sets are colour 0. Returns ""
// and fills `image`, or a sentence saying why the picture cannot be read (cut short, a colour
// table or masks missing, ...).
std::string readBmpPixels(const uint8_t* data, size_t size, RgbImage& image);

// The start of a bitmap file that says whether readBmpPixels can read it: the headers, of
// which the largest is 124 bytes.
inline constexpr size_t kBmpLayoutBytes = 14 + 124;

// Why readBmpPixels would refuse a bitmap, judged from the first bytes of its file (at least
// kBmpLayoutBytes, or the whole file when shorter) and its size: "" when it would read it.
// Nothing is decoded, so this costs the same for any picture.
std::string bmpLayoutProblem(const uint8_t* data, size_t size, uint64_t fileSize);
// The same for a file on disk; a file that cannot be read gives the system's reason.
std::string bmpFileLayoutProblem(const std::string& path);

} // namespace walkmere::sitetool
