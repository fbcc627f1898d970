#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace walkmere {

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

// The most pixels a picture read whole into an RgbImage may have (about 1.2 GB); a larger
// one is refused rather than allocated.
inline constexpr uint64_t kMaxRgbImagePixels = 400ull * 1000 * 1000;

// Lays a colour with alpha on white.
inline uint8_t onWhite(uint8_t value, uint8_t alpha) {
    return static_cast<uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

} // namespace walkmere
