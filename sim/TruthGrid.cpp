#include "sim/TruthGrid.h"

#include "sim/CellRays.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace walkmere::sim {

namespace {

// Where each column (or row) falls on a shadowing lattice: the first of its 4 nodes as an
// index into the nodes that some column uses, and their weights (ShadowingField::locate).
struct LatticeAxis {
    std::vector<int64_t> nodes; // ascending
    std::vector<uint32_t> first;
    std::vector<std::array<float, 4>> weights;
};

LatticeAxis latticeAxis(const ShadowingField& field, const std::vector<double>& centres,
                        double metresPerPixel) {
    LatticeAxis axis;
    for (const double centre : centres) {
        int64_t first;
        std::array<double, 4> w;
        field.locate(centre * metresPerPixel, first, w);
        // The centres ascend, so their nodes do: a column's 4 nodes are the last 4 once
        // they are in.
        for (int64_t node = first; node < first + 4; ++node)
            if (axis.nodes.empty() || axis.nodes.back() < node) axis.nodes.push_back(node);
        axis.first.push_back(static_cast<uint32_t>(axis.nodes.size() - 4));
        axis.weights.push_back({static_cast<float>(w[0]), static_cast<float>(w[1]),
                                static_cast<float>(w[2]), static_cast<float>(w[3])});
    }
    return axis;
}

// log10 of a float of at least 1, to about 1e-7: the exponent's bits, and the mantissa's
// log from a table of 4096 steps with a straight line between them. The library's log10 is
// most of the grid's time otherwise (a call per cell and access point).
class FastLog10 {
public:
    FastLog10() {
        for (size_t i = 0; i <= kSteps; ++i)
            table[i] = static_cast<float>(std::log2(1.0 + static_cast<double>(i) / kSteps));
    }
    float operator()(float v) const {
        const auto bits = std::bit_cast<uint32_t>(v);
        const auto exponent = static_cast<int32_t>(bits >> 23) - 127;
        const uint32_t step = (bits >> (23 - kStepBits)) & (kSteps - 1);
        const float within = static_cast<float>(bits & ((1u << (23 - kStepBits)) - 1)) *
                             (1.0f / (1u << (23 - kStepBits)));
        const float log2 =
            static_cast<float>(exponent) + table[step] + (table[step + 1] - table[step]) * within;
        return log2 * 0.30102999566f; // log10(2)
    }

private:
    static constexpr uint32_t kStepBits = 12;
    static constexpr uint32_t kSteps = 1u << kStepBits;
    std::array<float, kSteps + 1> table{};
};

} // namespace

TruthGrid::TruthGrid(const SimulatedSite& site, int32_t cell)
    : cellSize(std::max<int32_t>(cell, 1)), planWidth(site.width()), planHeight(site.height()) {
    cols = (planWidth + cellSize - 1) / cellSize;
    rowCount = (planHeight + cellSize - 1) / cellSize;
    const size_t cellCount = static_cast<size_t>(cols) * static_cast<size_t>(rowCount);
    const auto at = [this](int32_t c, int32_t r) {
        return static_cast<size_t>(r) * static_cast<size_t>(cols) + static_cast<size_t>(c);
    };

    std::vector<double> centreXs(static_cast<size_t>(cols)),
        centreYs(static_cast<size_t>(rowCount));
    for (int32_t c = 0; c < cols; ++c)
        centreXs[static_cast<size_t>(c)] = centreX(c);
    for (int32_t r = 0; r < rowCount; ++r)
        centreYs[static_cast<size_t>(r)] = centreY(r);

    const Propagation& p = site.model().propagation;
    const double mx = site.metresPerPixelX;
    const double my = site.metresPerPixelY;
    for (const SimulatedSite::RadioTerms& t : site.radios)
        refs.push_back({t.accessPoint, t.radio});
    rssiValues.resize(cellCount * refs.size());

    // Every radio's lattice has the same spacing: where the cells fall on it is worked out once.
    LatticeAxis latticeX, latticeY;
    const bool shadowed = p.shadowingSigmaDb > 0;
    if (shadowed) {
        const ShadowingField& field = site.radios.front().shadowing;
        latticeX = latticeAxis(field, centreXs, mx);
        latticeY = latticeAxis(field, centreYs, my);
    }

    CellRays rays(site, cellSize, centreXs, centreYs);
    std::vector<uint16_t> walls;
    std::vector<float> pathLoss(cellCount);
    std::vector<float> nodes, blended;
    for (size_t a = 0; a < site.model().accessPoints.size(); ++a) {
        const ModelAccessPoint& ap = site.model().accessPoints[a];
        rays.count(static_cast<int>(a), walls);

        // Distance and walls, which every radio of the access point shares. The distance
        // term is 10 n log10(max(d, 1)) = 5 n log10(max(d^2, 1)).
        static const FastLog10 log10Of;
        const auto distanceFactor = static_cast<float>(5 * p.exponent);
        const auto wallLoss = static_cast<float>(p.wallLossDb);
        for (int32_t r = 0; r < rowCount; ++r) {
            const double dyM = (centreYs[static_cast<size_t>(r)] - ap.y) * my;
            for (int32_t c = 0; c < cols; ++c) {
                const double dxM = (centreXs[static_cast<size_t>(c)] - ap.x) * mx;
                const double d2 = std::max(dxM * dxM + dyM * dyM, 1.0);
                const size_t here = at(c, r);
                pathLoss[here] = distanceFactor * log10Of(static_cast<float>(d2)) +
                                 static_cast<float>(walls[here]) * wallLoss;
            }
        }

        for (size_t i = site.firstRadio[a];
             i < site.radios.size() && site.radios[i].accessPoint == static_cast<int>(a); ++i) {
            const SimulatedSite::RadioTerms& terms = site.radios[i];
            float* out = rssiValues.data() + i * cellCount;
            const auto base = static_cast<float>(terms.powerLessReference);
            if (!shadowed) {
                for (size_t k2 = 0; k2 < cellCount; ++k2)
                    out[k2] = base - pathLoss[k2];
                continue;
            }
            // This radio's lattice values at the nodes some cell uses; then, row by row, the
            // rows of nodes blended down to one, which each cell blends across.
            const size_t nx = latticeX.nodes.size();
            nodes.resize(nx * latticeY.nodes.size());
            for (size_t yi = 0; yi < latticeY.nodes.size(); ++yi)
                for (size_t xi = 0; xi < nx; ++xi)
                    nodes[yi * nx + xi] = static_cast<float>(
                        terms.shadowing.node(latticeX.nodes[xi], latticeY.nodes[yi]));
            const auto sigma = static_cast<float>(terms.shadowing.sigmaDb());
            blended.resize(nx);
            for (int32_t r = 0; r < rowCount; ++r) {
                const auto rr = static_cast<size_t>(r);
                const float* top = nodes.data() + latticeY.first[rr] * nx;
                const std::array<float, 4>& wy = latticeY.weights[rr];
                for (size_t xi = 0; xi < nx; ++xi)
                    blended[xi] = sigma * (wy[0] * top[xi] + wy[1] * top[nx + xi] +
                                           wy[2] * top[2 * nx + xi] + wy[3] * top[3 * nx + xi]);
                const size_t rowStart = at(0, r);
                for (int32_t c = 0; c < cols; ++c) {
                    const auto cc = static_cast<size_t>(c);
                    const float* b = blended.data() + latticeX.first[cc];
                    const std::array<float, 4>& wx = latticeX.weights[cc];
                    const float shadow = wx[0] * b[0] + wx[1] * b[1] + wx[2] * b[2] + wx[3] * b[3];
                    out[rowStart + cc] = base - pathLoss[rowStart + cc] + shadow;
                }
            }
        }
    }
}

double TruthGrid::centreX(int32_t column) const {
    return (column * cellSize + std::min(planWidth, (column + 1) * cellSize)) / 2.0;
}

double TruthGrid::centreY(int32_t row) const {
    return (row * cellSize + std::min(planHeight, (row + 1) * cellSize)) / 2.0;
}

float TruthGrid::rssi(int radioIndex, int32_t column, int32_t row) const {
    const size_t cellCount = static_cast<size_t>(cols) * static_cast<size_t>(rowCount);
    return rssiValues[static_cast<size_t>(radioIndex) * cellCount +
                      static_cast<size_t>(row) * static_cast<size_t>(cols) +
                      static_cast<size_t>(column)];
}

std::span<const float> TruthGrid::values(int radioIndex) const {
    const size_t cellCount = static_cast<size_t>(cols) * static_cast<size_t>(rowCount);
    return {rssiValues.data() + static_cast<size_t>(radioIndex) * cellCount, cellCount};
}

} // namespace walkmere::sim
