#include "coverage/Kriging.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace walkmere {

namespace {

// The samples with one value per position: the mean of those at the same spot.
std::vector<SampleValue> oneSamplePerSpot(std::span<const SampleValue> samples) {
    std::map<std::pair<int32_t, int32_t>, std::pair<double, int>> sums;
    for (const SampleValue& s : samples) {
        auto& [sum, count] = sums[{s.x, s.y}];
        sum += s.rssi;
        ++count;
    }
    std::vector<SampleValue> spots;
    spots.reserve(sums.size());
    for (const auto& [at, sum] : sums)
        spots.push_back({at.first, at.second, sum.first / sum.second});
    return spots;
}

// The power variogram h^1.5: rougher than a smooth field, smoother than a linear one.
double variogram(double distance) {
    return distance * std::sqrt(distance);
}

double distance(const SampleValue& a, const SampleValue& b) {
    return std::hypot(double(a.x - b.x), double(a.y - b.y));
}

} // namespace

Kriging::Kriging(std::span<const SampleValue> samples, double radius)
    : spots(oneSamplePerSpot(samples)), grid(spots, radius) {}

bool Kriging::factor() const {
    const int n = int(chosen.size()) + 1;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double& a = lu[size_t(i * n + j)];
            if (i == n - 1 || j == n - 1)
                a = i == j ? 0.0 : 1.0;
            else
                a = variogram(distance(*chosen[size_t(i)], *chosen[size_t(j)]));
        }
    for (int k = 0; k < n; ++k) {
        int best = k;
        for (int i = k + 1; i < n; ++i)
            if (std::abs(lu[size_t(i * n + k)]) > std::abs(lu[size_t(best * n + k)])) best = i;
        pivot[size_t(k)] = best;
        if (best != k)
            for (int j = 0; j < n; ++j)
                std::swap(lu[size_t(k * n + j)], lu[size_t(best * n + j)]);
        const double p = lu[size_t(k * n + k)];
        if (std::abs(p) < 1e-9) return false;
        for (int i = k + 1; i < n; ++i) {
            const double f = lu[size_t(i * n + k)] /= p;
            for (int j = k + 1; j < n; ++j)
                lu[size_t(i * n + j)] -= f * lu[size_t(k * n + j)];
        }
    }
    return true;
}

std::optional<double> Kriging::valueAt(double x, double y) const {
    near.clear();
    grid.within(x, y, near);
    if (near.empty()) return std::nullopt;
    const auto closer = [](const CoverageGrid::Nearby& a, const CoverageGrid::Nearby& b) {
        return a.distance2 < b.distance2;
    };
    if (near.size() > size_t(kNeighbours)) {
        std::nth_element(near.begin(), near.begin() + (kNeighbours - 1), near.end(), closer);
        near.resize(kNeighbours);
    }
    const auto nearest = std::min_element(near.begin(), near.end(), closer);
    const double nearestValue = nearest->point->rssi;
    // At a point (closer than half a pixel) its own value, as a kriged map honours it.
    if (nearest->distance2 < 0.25 || near.size() == 1) return nearestValue;

    // In a fixed order, so that the same points make the same system.
    std::sort(near.begin(), near.end(),
              [](const auto& a, const auto& b) { return a.point < b.point; });
    chosen.clear();
    for (const CoverageGrid::Nearby& p : near)
        chosen.push_back(p.point);
    if (chosen != factored) {
        factored = chosen;
        singular = !factor();
    }
    if (singular) return nearestValue;

    // Solve with the spot's variogram values on the right, the weights summing to 1.
    const int n = int(chosen.size()) + 1;
    std::array<double, kOrder> b{};
    for (int i = 0; i + 1 < n; ++i)
        b[size_t(i)] = variogram(std::sqrt(near[size_t(i)].distance2));
    b[size_t(n - 1)] = 1.0;
    // The rows as the factoring swapped them, then L (unit diagonal) and U.
    for (int k = 0; k < n; ++k)
        std::swap(b[size_t(k)], b[size_t(pivot[size_t(k)])]);
    for (int k = 0; k < n; ++k)
        for (int i = k + 1; i < n; ++i)
            b[size_t(i)] -= lu[size_t(i * n + k)] * b[size_t(k)];
    for (int k = n - 1; k >= 0; --k) {
        for (int j = k + 1; j < n; ++j)
            b[size_t(k)] -= lu[size_t(k * n + j)] * b[size_t(j)];
        b[size_t(k)] /= lu[size_t(k * n + k)];
    }
    double value = 0;
    for (int i = 0; i + 1 < n; ++i)
        value += b[size_t(i)] * chosen[size_t(i)]->rssi;
    return value;
}

} // namespace walkmere
