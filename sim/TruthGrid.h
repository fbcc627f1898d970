#pragma once

#include "sim/SimulatedSite.h"

#include <cstdint>
#include <span>
#include <vector>

namespace walkmere::sim {

class CellRays;

// The true RSSI of every radio over the whole plan at one value per cell of cell x cell
// pixels (the last column and row take what is left of the plan), for maps of the whole
// plan. Each value is for the centre of the cell's part of the plan and before the noise
// floor. The walls are counted along rays cast from each access point to every cell of the
// grid's border over a mask of wall cells (CellRays), not along a line per cell, so the grid
// takes time in proportion to its cells and the access points; the access points are shared
// among the machine's cores.
//
// Where the walls crossed agree with SimulatedSite::wallsCrossed, a value is the site's
// radioRssi at the cell's centre within 0.01 dB; they may disagree by a wall in a cell that
// holds part of a wall, and in thin strips (half a cell wide) behind the ends of walls and
// door posts, where the ray counted for a cell passes on one side of the end and the line to
// the cell's centre on the other. On the demo office at 4-pixel cells 96 % of the cells
// agree. It holds a float per cell and radio (a 4000 x 3000 plan at 4-pixel cells with 24
// radios: 72 MB).
class TruthGrid {
public:
    // `cell` below 1 is taken as 1.
    TruthGrid(const SimulatedSite& site, int32_t cell);

    int32_t columns() const { return cols; }
    int32_t rows() const { return rowCount; }
    int32_t cell() const { return cellSize; }
    // The plan position a column's or a row's values are for.
    double centreX(int32_t column) const;
    double centreY(int32_t row) const;

    // Radios in model order, flattened: index i is radio `radio` of access point
    // `accessPoint`.
    struct RadioRef {
        int accessPoint = 0;
        int radio = 0;
    };
    int radioCount() const { return static_cast<int>(refs.size()); }
    RadioRef radio(int radioIndex) const { return refs[static_cast<size_t>(radioIndex)]; }

    // The radio's RSSI at cell (column, row).
    float rssi(int radioIndex, int32_t column, int32_t row) const;
    // All of one radio's values, row by row from the top, columns() a row.
    std::span<const float> values(int radioIndex) const;

private:
    // The most threads a grid is made on.
    static constexpr size_t kMaxThreads = 8;

    struct Inputs;
    struct Scratch;
    // The values of every radio of access point `a`, into its radios' planes of `values`.
    static void fillAccessPoint(const Inputs& in, size_t a, CellRays& rays, Scratch& s,
                                float* values);

    int32_t cellSize = 1;
    int32_t planWidth = 0;
    int32_t planHeight = 0;
    int32_t cols = 0;
    int32_t rowCount = 0;
    std::vector<RadioRef> refs;
    std::vector<float> rssiValues; // radio after radio, each columns() * rows()
};

} // namespace walkmere::sim
