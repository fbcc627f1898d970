#pragma once

#include <cstddef>
#include <cstdint>

namespace walkmere {

// A 32-bit picture drawn into directly: `stride` is the distance between rows in pixels.
struct PixelBuffer {
    uint32_t* pixels = nullptr;
    ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;
};

struct LineEnd {
    int64_t x;
    int64_t y;
};

// Draws the one-pixel line from `a` to `b`, both ends included, as dashes of 4 pixels with
// gaps of 2, counted along the line's longer axis from `a`. Ends may lie far outside the
// picture (up to 2^60 pixels): only the pixels inside are visited, and the dashes fall
// where they would on the whole line. A zero-length line is one pixel.
void drawDashedLine(const PixelBuffer& target, LineEnd a, LineEnd b, uint32_t colour);

} // namespace walkmere
