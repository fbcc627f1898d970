#pragma once

#include "coverage/CoverageGrid.h"
#include "coverage/Interpolation.h"

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace walkmere {

// Ordinary kriging over the nearest survey points within a radius: a spot's value is the
// weighted sum of its kNeighbours nearest points' values whose weights are unbiased (they
// sum to 1) and leave the least expected error under the power variogram gamma(h) = h^1.5.
// A power variogram has no sill or range to fit, and its weights do not change with the
// scale of the plan, so the method needs nothing but the radius (the exponent came closest
// to a simulated office's truth of 1, 1.5 and 1.9). Unlike inverse-distance
// weighting it lets a point behind a nearer one count less (the nearer one screens it),
// and it follows a slope between points instead of flattening towards each point.
//
// Points at one spot are taken as their mean first. There is no value farther than the
// radius from every point, as with CoverageGrid. Where the set of nearest points changes,
// the map may step slightly.
//
// valueAt keeps the last set of points and its solved system: neighbouring spots mostly
// share their nearest points, so one object must not be used by two threads at once.
class Kriging : public Interpolator {
public:
    static constexpr int kNeighbours = 8;

    Kriging(std::span<const SampleValue> samples, double radius);

    std::optional<double> valueAt(double x, double y) const override;

private:
    static constexpr int kOrder = kNeighbours + 1; // the weights and the Lagrange multiplier

    // Factors the system of the points in `chosen` (LU with partial pivoting); false when it
    // is singular.
    bool factor() const;

    std::vector<SampleValue> spots; // the samples, one per position
    CoverageGrid grid;              // finds the spots within the radius

    mutable std::vector<CoverageGrid::Nearby> near;
    mutable std::vector<const SampleValue*> chosen; // sorted, the set `lu` belongs to
    mutable std::vector<const SampleValue*> factored;
    mutable bool singular = false;
    mutable std::array<double, kOrder * kOrder> lu{};
    mutable std::array<int, kOrder> pivot{};
};

} // namespace walkmere
