#pragma once

#include "sim/SimulatedSite.h"

#include <cstdint>
#include <vector>

namespace walkmere::sim {

// The walls between an access point and the centre of every cell of a grid over the plan,
// counted on a mask with one flag a cell (set when any pixel of the cell is a wall pixel)
// instead of along a line of pixels per cell. Rays are cast from the access point to the
// centre of every cell on the grid's border, each walking every cell it passes through and
// counting walls as SimulatedSite does along pixels; a cell takes the count of the ray that
// passes nearest its centre (within half a cell: the rays are at most a cell apart). Near
// the access point, where a cell is too coarse (a wall a pixel or two away shares its cell),
// cells and rays walk the plan's pixels instead.
class CellRays {
public:
    // Cells of `cell` pixels, centred at `centreXs` across and `centreYs` down.
    CellRays(const SimulatedSite& site, int32_t cell, std::vector<double> centreXs,
             std::vector<double> centreYs);

    // The count for every cell of the access point's, row by row.
    void count(int accessPoint, std::vector<uint16_t>& walls);

private:
    size_t at(int32_t c, int32_t r) const {
        return static_cast<size_t>(r) * static_cast<size_t>(cols) + static_cast<size_t>(c);
    }
    void cast(const ModelAccessPoint& ap, double toX, double toY);

    const SimulatedSite& site;
    int32_t cellSize;
    int32_t cols;
    int32_t rows;
    std::vector<double> centreXs;
    std::vector<double> centreYs;
    // Per cell, in one word as a ray reads and writes them together: whether any pixel of it
    // is a wall pixel (the top bit), how near its centre the ray counted for it passes (the
    // next 15 bits, in 1024ths of a cell), and that ray's count (the low 16 bits).
    std::vector<uint32_t> cells;
    // The wall pixels of each cell as bits, row by row, when a cell has at most 64 pixels.
    std::vector<uint64_t> pixelMask;
    static constexpr uint32_t kWallCell = 0x8000'0000u;
    static constexpr uint32_t kOffShift = 16;
    static constexpr uint32_t kOffMask = 0x7FFFu << kOffShift;
    int32_t apC = 0; // the access point's cell
    int32_t apR = 0;
};

} // namespace walkmere::sim
