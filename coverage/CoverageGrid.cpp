#include "coverage/CoverageGrid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace walkmere {

namespace {

constexpr double kMinRadius = 8.0;
// Closer than this (in pixels) a point's own value is taken as it is.
constexpr double kSameSpot = 0.5;
// The cell table is kept below this many cells however far apart the points lie.
constexpr int64_t kMaxCells = 4 * 1024 * 1024;

} // namespace

CoverageGrid::CoverageGrid(std::span<const SampleValue> samples, double radius, double power_)
    : reach(std::max(radius, 1.0)), power(power_) {
    if (samples.empty()) return;
    int64_t minX = samples[0].x, maxX = minX, minY = samples[0].y, maxY = minY;
    for (const SampleValue& s : samples) {
        minX = std::min<int64_t>(minX, s.x);
        maxX = std::max<int64_t>(maxX, s.x);
        minY = std::min<int64_t>(minY, s.y);
        maxY = std::max<int64_t>(maxY, s.y);
    }
    // Cells one radius wide, wider when the points are spread too far for the table.
    cellSize = reach;
    for (;;) {
        const int64_t c = static_cast<int64_t>((maxX - minX) / cellSize) + 1;
        const int64_t r = static_cast<int64_t>((maxY - minY) / cellSize) + 1;
        if (c * r <= kMaxCells) {
            columns = static_cast<int32_t>(c);
            rows = static_cast<int32_t>(r);
            break;
        }
        cellSize *= 2;
    }
    originX = minX;
    originY = minY;

    std::vector<uint32_t> cellOf(samples.size());
    cellStart.assign(size_t(columns) * rows + 1, 0);
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto cx = static_cast<int64_t>((samples[i].x - originX) / cellSize);
        const auto cy = static_cast<int64_t>((samples[i].y - originY) / cellSize);
        cellOf[i] = static_cast<uint32_t>(cy * columns + cx);
        ++cellStart[cellOf[i] + 1];
    }
    for (size_t c = 1; c < cellStart.size(); ++c)
        cellStart[c] += cellStart[c - 1];
    points.resize(samples.size());
    std::vector<uint32_t> fill(cellStart.begin(), cellStart.end() - 1);
    for (size_t i = 0; i < samples.size(); ++i)
        points[fill[cellOf[i]]++] = samples[i];
}

template <typename Visit>
void CoverageGrid::forCellsInReach(double x, double y, Visit visit) const {
    if (points.empty()) return;
    const auto cellIndex = [&](double v, int64_t origin, int32_t limit) {
        const double c = std::floor((v - double(origin)) / cellSize);
        return static_cast<int32_t>(std::clamp(c, -1.0, double(limit)));
    };
    const int32_t x0 = std::max(cellIndex(x - reach, originX, columns), 0);
    const int32_t x1 = std::min(cellIndex(x + reach, originX, columns), columns - 1);
    const int32_t y0 = std::max(cellIndex(y - reach, originY, rows), 0);
    const int32_t y1 = std::min(cellIndex(y + reach, originY, rows), rows - 1);
    for (int32_t cy = y0; cy <= y1; ++cy) {
        for (int32_t cx = x0; cx <= x1; ++cx) {
            const size_t cell = size_t(cy) * columns + cx;
            for (uint32_t i = cellStart[cell]; i < cellStart[cell + 1]; ++i)
                visit(points[i]);
        }
    }
}

std::optional<double> CoverageGrid::valueAt(double x, double y) const {
    const double reach2 = reach * reach;
    double weightSum = 0, valueSum = 0;
    double spotSum = 0;
    int spotCount = 0;
    forCellsInReach(x, y, [&](const SampleValue& p) {
        const double dx = p.x - x, dy = p.y - y;
        const double d2 = dx * dx + dy * dy;
        if (d2 >= reach2) return;
        const double d = std::sqrt(d2);
        if (d < kSameSpot) {
            spotSum += p.rssi;
            ++spotCount;
            return;
        }
        const double base = (reach - d) / (reach * d);
        const double w = power == 2.0 ? base * base : std::pow(base, power);
        weightSum += w;
        valueSum += w * p.rssi;
    });
    if (spotCount) return spotSum / spotCount;
    if (weightSum <= 0) return std::nullopt;
    return valueSum / weightSum;
}

void CoverageGrid::within(double x, double y, std::vector<Nearby>& found) const {
    const double reach2 = reach * reach;
    forCellsInReach(x, y, [&](const SampleValue& p) {
        const double dx = p.x - x, dy = p.y - y;
        const double d2 = dx * dx + dy * dy;
        if (d2 < reach2) found.push_back({&p, d2});
    });
}

double CoverageGrid::defaultRadius(std::span<const SampleValue> samples, int32_t planWidth,
                                   int32_t planHeight) {
    const double fallback = std::max(kMinRadius, std::max(planWidth, planHeight) / 8.0);
    if (samples.size() < 2) return fallback;
    // Nearest neighbours through a grid of cells sized to the mean spacing; a point whose
    // neighbour is not in the 3 x 3 cells around it is left out of the median.
    std::vector<double> nearest;
    nearest.reserve(samples.size());
    const double area = std::max(1.0, double(planWidth) * double(planHeight));
    const double spacing = std::max(kMinRadius, std::sqrt(area / double(samples.size())));
    CoverageGrid cells(samples, spacing);
    for (const SampleValue& s : samples) {
        double best = std::numeric_limits<double>::infinity();
        cells.forNeighbours(s.x, s.y, [&](const SampleValue& o) {
            const double dx = o.x - s.x, dy = o.y - s.y;
            const double d2 = dx * dx + dy * dy;
            if (d2 > 0 && d2 < best) best = d2;
        });
        if (std::isfinite(best)) nearest.push_back(std::sqrt(best));
    }
    if (nearest.empty()) return fallback;
    std::nth_element(nearest.begin(), nearest.begin() + nearest.size() / 2, nearest.end());
    return std::max(kMinRadius, 2.0 * nearest[nearest.size() / 2]);
}

template <typename Visit> void CoverageGrid::forNeighbours(double x, double y, Visit visit) const {
    if (points.empty()) return;
    const auto cellIndex = [&](double v, int64_t origin) {
        return static_cast<int64_t>(std::floor((v - double(origin)) / cellSize));
    };
    const int64_t cx = cellIndex(x, originX), cy = cellIndex(y, originY);
    for (int64_t yy = std::max<int64_t>(cy - 1, 0); yy <= std::min<int64_t>(cy + 1, rows - 1); ++yy)
        for (int64_t xx = std::max<int64_t>(cx - 1, 0);
             xx <= std::min<int64_t>(cx + 1, columns - 1); ++xx) {
            const size_t cell = size_t(yy) * columns + size_t(xx);
            for (uint32_t i = cellStart[cell]; i < cellStart[cell + 1]; ++i)
                visit(points[i]);
        }
}

namespace {

MapNodes interpolatedNodes(const Interpolator& grid, int32_t width, int32_t height, int32_t step) {
    MapNodes nodes;
    nodes.step = std::max(step, 1);
    // Nodes at 0, step, 2 step, ... up to the first one at or past the last pixel.
    nodes.columns = width > 0 ? (width - 1) / nodes.step + 2 : 0;
    nodes.rows = height > 0 ? (height - 1) / nodes.step + 2 : 0;
    nodes.values.resize(size_t(nodes.columns) * size_t(nodes.rows));
    for (int32_t j = 0; j < nodes.rows; ++j)
        for (int32_t i = 0; i < nodes.columns; ++i) {
            const auto v = grid.valueAt(double(i) * nodes.step, double(j) * nodes.step);
            nodes.values[size_t(j) * size_t(nodes.columns) + size_t(i)] =
                v ? static_cast<float>(*v) : std::numeric_limits<float>::quiet_NaN();
        }
    return nodes;
}

} // namespace

CoverageRaster::CoverageRaster(const Interpolator& values, int32_t width, int32_t height,
                               int32_t step)
    : MapRaster(width, height, interpolatedNodes(values, width, height, step)) {}

void CoverageRaster::refresh(const Interpolator& values, int32_t left, int32_t top, int32_t right,
                             int32_t bottom) {
    MapNodes& nodes = mutableNodes();
    if (nodes.values.empty()) return;
    const auto firstNode = [&](int32_t pixel) {
        return std::max<int64_t>(0, (int64_t(pixel) - nodes.first + nodes.step - 1) / nodes.step);
    };
    const auto lastNode = [&](int32_t pixel, int32_t count) {
        const int64_t offset = int64_t(pixel) - nodes.first;
        return offset < 0 ? -1 : std::min<int64_t>(count - 1, offset / nodes.step);
    };
    const int64_t i0 = firstNode(left), i1 = lastNode(right, nodes.columns);
    const int64_t j0 = firstNode(top), j1 = lastNode(bottom, nodes.rows);
    for (int64_t j = j0; j <= j1; ++j)
        for (int64_t i = i0; i <= i1; ++i) {
            const auto v = values.valueAt(double(nodes.first + i * nodes.step),
                                          double(nodes.first + j * nodes.step));
            nodes.values[size_t(j) * size_t(nodes.columns) + size_t(i)] =
                v ? static_cast<float>(*v) : std::numeric_limits<float>::quiet_NaN();
        }
}

} // namespace walkmere
