#pragma once

#include <cstdint>

namespace walkmere::sim {

// A smooth random field over the plane (in metres) with a normal value of mean 0 and
// standard deviation `sigma` dB at every spot, correlated over `spacing` metres: normal
// values on a square lattice of that spacing, drawn from a hash of the key and the node,
// blended between the four nodes around a spot with smoothstep weights and divided by the
// root of the weights' squares (which keeps the spread sigma between the nodes too). The
// same key gives the same field on every run.
class ShadowingField {
public:
    ShadowingField() = default;
    ShadowingField(uint64_t key, double sigma, double spacing)
        : key(key), sigma(sigma), spacing(spacing) {}

    double at(double xM, double yM) const;
    double sigmaDb() const { return sigma; }
    double spacingM() const { return spacing; }
    // The standard normal value of lattice node (ix, iy).
    double node(int64_t ix, int64_t iy) const;
    // Where a coordinate falls on the lattice: the node below it and the smoothstep weight
    // of the node above.
    void locate(double metres, int64_t& below, double& weightAbove) const;

private:
    uint64_t key = 0;
    double sigma = 0;
    double spacing = 1;
};

} // namespace walkmere::sim
