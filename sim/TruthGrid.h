#pragma once

#include "sim/SimulatedSite.h"

#include <cstdint>
#include <span>
#include <vector>

namespace walkmere::sim {

// The true RSSI of every radio over the whole plan at one value per cell of cell x cell
// pixels (the last column and row take what is left of the plan), for maps of the whole
// plan. Each value is for the centre of the cell's part of the plan and before the noise
// floor. It takes time in proportion to the cells and the radios: the walls are counted on
// a mask with one bit a cell (a cell with any wall pixel is a wall cell) along rays cast
// from each access point outward, each cell carrying the count of its neighbour towards the
// access point, instead of a line walked per cell.
//
// Where the walls crossed agree with SimulatedSite::wallsCrossed, a value is the site's
// radioRssi at the cell's centre within 0.01 dB. They may disagree by a wall near a wall
// (a cell that holds part of a wall is all wall here), and in the thin wedges behind the
// ends of walls and door posts, where the ray of cells passes on one side and the true
// line on the other.
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
    int32_t cellSize = 1;
    int32_t planWidth = 0;
    int32_t planHeight = 0;
    int32_t cols = 0;
    int32_t rowCount = 0;
    std::vector<RadioRef> refs;
    std::vector<float> rssiValues; // radio after radio, each columns() * rows()
};

} // namespace walkmere::sim
