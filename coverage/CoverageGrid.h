#pragma once

#include "coverage/Interpolation.h"
#include "coverage/MapRaster.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace walkmere {

// One measured value on the plan: the RSSI (dBm) a survey point recorded for what is mapped.
struct SampleValue {
    int32_t x = 0;
    int32_t y = 0;
    double rssi = 0;
};

// Interpolation of survey values over the plan by inverse-distance weighting with a radius
// of influence (the modified Shepard weight ((R - d) / (R d))^power). It is a weighted
// mean, so points close together do not add up, and there is no value farther than the
// radius from every point, so the map never reaches far beyond measured ground. Points are
// kept in a grid of cells one radius wide, so a lookup visits at most 3 x 3 cells.
class CoverageGrid : public Interpolator {
public:
    CoverageGrid(std::span<const SampleValue> samples, double radius, double power = 2.0);

    double radius() const { return reach; }
    // The interpolated value at plan position (x, y), or nothing when no point lies within
    // the radius. At a point's own position its value (the mean of points at that spot).
    std::optional<double> valueAt(double x, double y) const override;

    // The points closer than the radius to (x, y), each with its squared distance, added to
    // `found` in no particular order.
    struct Nearby {
        const SampleValue* point;
        double distance2;
    };
    void within(double x, double y, std::vector<Nearby>& found) const;

    // A radius suited to the point spacing: twice the median distance from a point to its
    // nearest neighbour, at least 8 pixels; an eighth of the plan's larger side when there
    // are fewer than two distinct positions.
    static double defaultRadius(std::span<const SampleValue> samples, int32_t planWidth,
                                int32_t planHeight);

private:
    // Calls visit for every point in the cell of (x, y) and the 8 cells around it.
    template <typename Visit> void forNeighbours(double x, double y, Visit visit) const;
    // Calls visit for every point in the cells that a circle of the radius around (x, y)
    // touches.
    template <typename Visit> void forCellsInReach(double x, double y, Visit visit) const;

    std::vector<SampleValue> points; // sorted by cell
    std::vector<uint32_t> cellStart; // cells + 1 offsets into points
    int64_t originX = 0, originY = 0;
    int32_t columns = 0, rows = 0;
    double cellSize = 1;
    double reach;
    double power;
};

// The interpolated values of every pixel of a width x height plan, worked out at every
// step-th pixel (nodes from pixel 0 to one step past the last pixel) and filled in between
// as MapRaster does.
class CoverageRaster : public MapRaster {
public:
    CoverageRaster(const Interpolator& values, int32_t width, int32_t height, int32_t step = 4);
    // Works the nodes that stand in the plan rectangle left..right, top..bottom (inclusive)
    // out again from `values`: after a change to the survey that only those can feel.
    void refresh(const Interpolator& values, int32_t left, int32_t top, int32_t right,
                 int32_t bottom);
};

} // namespace walkmere
