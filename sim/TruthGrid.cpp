#include "sim/TruthGrid.h"

#include "sim/CellRays.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <system_error>
#include <thread>

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

// What every access point's part of the grid is made from.
struct TruthGrid::Inputs {
    const SimulatedSite& site;
    int32_t cell;
    std::vector<double> centreXs;
    std::vector<double> centreYs;
    bool shadowed = false;
    LatticeAxis latticeX; // every radio's lattice has the same spacing
    LatticeAxis latticeY;
};

// What one thread works in.
struct TruthGrid::Scratch {
    std::vector<uint16_t> walls;
    std::vector<float> pathLoss;
    std::vector<float> nodes;
    std::vector<float> blended;
};

void TruthGrid::fillAccessPoint(const Inputs& in, size_t a, CellRays& rays, Scratch& s,
                                float* values) {
    const SimulatedSite& site = in.site;
    const Propagation& p = site.model().propagation;
    const ModelAccessPoint& ap = site.model().accessPoints[a];
    const size_t cellCount = in.centreXs.size() * in.centreYs.size();
    rays.count(static_cast<int>(a), s.walls);

    // Distance and walls, which every radio of the access point shares. The distance term is
    // 10 n log10(max(d, 1)) = 5 n log10(max(d^2, 1)).
    static const FastLog10 log10Of;
    const auto distanceFactor = static_cast<float>(5 * p.exponent);
    const auto wallLoss = static_cast<float>(p.wallLossDb);
    s.pathLoss.resize(cellCount);
    for (size_t r = 0; r < in.centreYs.size(); ++r) {
        const double dyM = (in.centreYs[r] - ap.y) * site.metresPerPixelY;
        const size_t rowStart = r * in.centreXs.size();
        for (size_t c = 0; c < in.centreXs.size(); ++c) {
            const double dxM = (in.centreXs[c] - ap.x) * site.metresPerPixelX;
            const double d2 = std::max(dxM * dxM + dyM * dyM, 1.0);
            s.pathLoss[rowStart + c] = distanceFactor * log10Of(static_cast<float>(d2)) +
                                       static_cast<float>(s.walls[rowStart + c]) * wallLoss;
        }
    }

    for (size_t i = site.firstRadio[a];
         i < site.radios.size() && site.radios[i].accessPoint == static_cast<int>(a); ++i) {
        const SimulatedSite::RadioTerms& terms = site.radios[i];
        float* out = values + i * cellCount;
        const auto base = static_cast<float>(terms.powerLessReference);
        if (!in.shadowed) {
            for (size_t k = 0; k < cellCount; ++k)
                out[k] = base - s.pathLoss[k];
            continue;
        }
        // This radio's lattice values at the nodes some cell uses; then, row by row, the rows
        // of nodes blended down to one, which each cell blends across.
        const LatticeAxis& lx = in.latticeX;
        const LatticeAxis& ly = in.latticeY;
        const size_t nx = lx.nodes.size();
        s.nodes.resize(nx * ly.nodes.size());
        for (size_t yi = 0; yi < ly.nodes.size(); ++yi)
            for (size_t xi = 0; xi < nx; ++xi)
                s.nodes[yi * nx + xi] =
                    static_cast<float>(terms.shadowing.node(lx.nodes[xi], ly.nodes[yi]));
        const auto sigma = static_cast<float>(terms.shadowing.sigmaDb());
        s.blended.resize(nx);
        for (size_t r = 0; r < in.centreYs.size(); ++r) {
            const float* top = s.nodes.data() + ly.first[r] * nx;
            const std::array<float, 4>& wy = ly.weights[r];
            for (size_t xi = 0; xi < nx; ++xi)
                s.blended[xi] = sigma * (wy[0] * top[xi] + wy[1] * top[nx + xi] +
                                         wy[2] * top[2 * nx + xi] + wy[3] * top[3 * nx + xi]);
            const size_t rowStart = r * in.centreXs.size();
            for (size_t c = 0; c < in.centreXs.size(); ++c) {
                const float* b = s.blended.data() + lx.first[c];
                const std::array<float, 4>& wx = lx.weights[c];
                const float shadow = wx[0] * b[0] + wx[1] * b[1] + wx[2] * b[2] + wx[3] * b[3];
                out[rowStart + c] = base - s.pathLoss[rowStart + c] + shadow;
            }
        }
    }
}

TruthGrid::TruthGrid(const SimulatedSite& site, int32_t cell)
    : cellSize(std::max<int32_t>(cell, 1)), planWidth(site.width()), planHeight(site.height()) {
    cols = (planWidth + cellSize - 1) / cellSize;
    rowCount = (planHeight + cellSize - 1) / cellSize;
    Inputs in{site, cellSize, {}, {}, false, {}, {}};
    for (int32_t c = 0; c < cols; ++c)
        in.centreXs.push_back(centreX(c));
    for (int32_t r = 0; r < rowCount; ++r)
        in.centreYs.push_back(centreY(r));
    in.shadowed = site.model().propagation.shadowingSigmaDb > 0 && !site.radios.empty();
    if (in.shadowed) {
        const ShadowingField& field = site.radios.front().shadowing;
        in.latticeX = latticeAxis(field, in.centreXs, site.metresPerPixelX);
        in.latticeY = latticeAxis(field, in.centreYs, site.metresPerPixelY);
    }
    for (const SimulatedSite::RadioTerms& t : site.radios)
        refs.push_back({t.accessPoint, t.radio});
    rssiValues.resize(static_cast<size_t>(cols) * static_cast<size_t>(rowCount) * refs.size());

    // The access points one at a time on as many threads as there are cores (each writes
    // the planes of its own radios only).
    const size_t apCount = site.model().accessPoints.size();
    std::atomic<size_t> next{0};
    const auto work = [&] {
        CellRays rays(site, cellSize, in.centreXs, in.centreYs);
        Scratch scratch;
        for (size_t a; (a = next.fetch_add(1)) < apCount;)
            fillAccessPoint(in, a, rays, scratch, rssiValues.data());
    };
    const size_t threads =
        std::min<size_t>({std::max(std::thread::hardware_concurrency(), 1u), kMaxThreads, apCount});
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no more threads to be had: the ones there are do it all
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
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
