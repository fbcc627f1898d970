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

// Reads the pixels of a Windows bitmap file held in memory: uncompressed 24- and 32-bit
// pictures and 1-, 4- and 8-bit pictures with a colour table, stored bottom-up or top-down.
// Returns "" and fills `image`, or a sentence saying why the picture cannot be read
// (compressed, 16-bit, cut short, ...).
std::string readBmpPixels(const uint8_t* data, size_t size, RgbImage& image);

} // namespace walkmere::sitetool
