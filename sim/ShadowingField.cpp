#include "sim/ShadowingField.h"

#include <cmath>
#include <numbers>

namespace walkmere::sim {

namespace {

// SplitMix64's finaliser: every bit of the input reaches every bit of the output.
uint64_t mix(uint64_t z) {
    z += 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

double unitInterval(uint64_t bits) {
    return static_cast<double>(bits >> 11) * 0x1.0p-53;
}

} // namespace

uint64_t ShadowingField::keyOf(uint64_t seed, uint64_t owner) {
    return mix(seed ^ mix(owner));
}

double ShadowingField::node(int64_t ix, int64_t iy) const {
    const uint64_t h = mix(mix(key ^ static_cast<uint64_t>(ix)) ^ static_cast<uint64_t>(iy));
    // Box and Muller: two uniform draws make one normal one. 1 - u keeps the log away from 0.
    const double u1 = 1.0 - unitInterval(h);
    const double u2 = unitInterval(mix(h));
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

void ShadowingField::locate(double metres, int64_t& first, std::array<double, 4>& weights) const {
    const double u = metres / spacing;
    const double f = std::floor(u);
    first = static_cast<int64_t>(f) - 1;
    const double t = u - f, t2 = t * t, t3 = t2 * t;
    weights = {(1 - 3 * t + 3 * t2 - t3) / 6, (4 - 6 * t2 + 3 * t3) / 6,
               (1 + 3 * t + 3 * t2 - 3 * t3) / 6, t3 / 6};
    double squares = 0;
    for (double w : weights)
        squares += w * w;
    const double norm = std::sqrt(squares);
    for (double& w : weights)
        w /= norm;
}

double ShadowingField::at(double xM, double yM) const {
    if (sigma == 0) return 0;
    int64_t ix, iy;
    std::array<double, 4> wx, wy;
    locate(xM, ix, wx);
    locate(yM, iy, wy);
    double sum = 0;
    for (int j = 0; j < 4; ++j) {
        double row = 0;
        for (int i = 0; i < 4; ++i)
            row += wx[i] * node(ix + i, iy + j);
        sum += wy[j] * row;
    }
    return sigma * sum;
}

} // namespace walkmere::sim
