#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace walkmere::sim {

// Counts the walls a line enters as its pixels are visited in order. A wall pixel entered
// diagonally next to the wall pixel just left, after one pixel outside, is the same wall:
// that is a line clipping a corner of a slanted wall's pixels. A pixel visited again (where
// two walks meet) is passed over.
class WallCounter {
public:
    WallCounter(int32_t i, int32_t j, bool wall)
        : lastI(i), lastJ(j), wallI(i), wallJ(j), inside(wall), lightSince(wall ? 0 : 2) {}

    void visit(int32_t i, int32_t j, bool wall) {
        if (i == lastI && j == lastJ) return;
        lastI = i;
        lastJ = j;
        if (!wall) {
            if (lightSince < 2) ++lightSince;
            inside = false;
            return;
        }
        const bool sameSlantedWall =
            lightSince == 1 && std::abs(i - wallI) == 1 && std::abs(j - wallJ) == 1;
        if (!inside && !sameSlantedWall) ++walls;
        wallI = i;
        wallJ = j;
        lightSince = 0;
        inside = true;
    }
    // A stretch of pixels with no wall among them, more than one long.
    void passClear() {
        inside = false;
        lightSince = 2;
        lastI = lastJ = INT32_MIN;
    }
    int count() const { return walls; }
    bool inWall() const { return inside; }

private:
    int32_t lastI, lastJ; // the pixel visited last
    int32_t wallI, wallJ; // the wall pixel visited last
    bool inside;
    int lightSince; // pixels outside a wall since the last wall pixel, up to 2
    int walls = 0;
};

// Calls visit(i, j) for every pixel the segment from (x0, y0) to (x1, y1) passes through, in
// order, one step across or down at a time (never diagonally, which could pass between the
// two pixels of a slanted one-pixel wall). Pixel (i, j) covers i <= x < i + 1, j <= y < j + 1;
// the first and last pixels are kept within columns iLow..iHigh and rows jLow..jHigh (a
// point on the edge of a box of pixels belongs to the box).
template <typename Visit>
void walkPixels(double x0, double y0, double x1, double y1, int32_t iLow, int32_t iHigh,
                int32_t jLow, int32_t jHigh, Visit&& visit) {
    const auto pixel = [](double v, int32_t low, int32_t high) {
        const double f = std::floor(v);
        return f < low ? low : f > high ? high : static_cast<int32_t>(f);
    };
    int32_t i = pixel(x0, iLow, iHigh), j = pixel(y0, jLow, jHigh);
    const int32_t iEnd = pixel(x1, iLow, iHigh), jEnd = pixel(y1, jLow, jHigh);
    const double dx = x1 - x0, dy = y1 - y0;
    const int32_t stepI = dx > 0 ? 1 : -1, stepJ = dy > 0 ? 1 : -1;
    const double deltaX = dx != 0 ? 1.0 / std::fabs(dx) : HUGE_VAL;
    const double deltaY = dy != 0 ? 1.0 / std::fabs(dy) : HUGE_VAL;
    // The segment's parameter (0 at the start, 1 at the end) at the next pixel edge.
    double nextX = dx > 0 ? (i + 1 - x0) / dx : dx < 0 ? (x0 - i) / -dx : HUGE_VAL;
    double nextY = dy > 0 ? (j + 1 - y0) / dy : dy < 0 ? (y0 - j) / -dy : HUGE_VAL;
    visit(i, j);
    while (i != iEnd || j != jEnd) {
        // The step count is fixed by the end pixel: rounding can only choose the order.
        if (j == jEnd || (i != iEnd && nextX < nextY)) {
            i += stepI;
            nextX += deltaX;
        } else {
            j += stepJ;
            nextY += deltaY;
        }
        visit(i, j);
    }
}

} // namespace walkmere::sim
