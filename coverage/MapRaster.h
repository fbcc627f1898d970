#pragma once

#include <cstdint>
#include <vector>

namespace walkmere {

// A map's values at the nodes of a square lattice over the plan: node (i, j) stands at plan
// pixel (first + i step, first + j step). NaN marks a node without a value.
struct MapNodes {
    int32_t columns = 0;
    int32_t rows = 0;
    int32_t step = 1;
    int32_t first = 0;
    std::vector<float> values; // row by row, `columns` a row
};

// The values of every pixel of a width x height plan, filled in bilinearly between the
// nodes. Pixels between a node with a value and one without take the mean of the nodes with
// one when those carry at least half the bilinear weight, and have no value otherwise.
// Pixels beyond the outer nodes take the values of the nearest ones.
class MapRaster {
public:
    // Nodes that do not fill their lattice (or none) leave every pixel without a value.
    MapRaster(int32_t width, int32_t height, MapNodes nodes);

    int32_t width() const { return w; }
    int32_t height() const { return h; }
    // Fills `values` (width entries) with row y; NaN marks no value.
    void fillRow(int32_t y, float* values) const;

protected:
    // The node values, for a raster that works some of them out again.
    MapNodes& mutableNodes() { return lattice; }

private:
    // Where a pixel falls along one axis of the lattice: the node before it, the node after
    // it and the share of the one after (the same node, with no share, beyond the outer
    // nodes).
    struct Between {
        int32_t node;
        int32_t next;
        float share;
    };
    static Between between(int32_t pixel, int32_t first, int32_t step, int32_t count);

    int32_t w, h;
    MapNodes lattice;
    std::vector<Between> columns; // of each pixel column, worked out once
};

} // namespace walkmere
