#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace walkmere {

struct SampleValue;

// How a map fills in the survey values between the points.
enum class Interpolation {
    Idw,     // inverse-distance weighting with a radius (CoverageGrid)
    Kriging, // ordinary kriging over the nearest points within the radius (Kriging)
};

// The method the maps use unless told otherwise: the one that came closest to a simulated
// site's truth (tests/coverage/ground_truth_test.cpp).
inline constexpr Interpolation kDefaultInterpolation = Interpolation::Kriging;

// A value anywhere on the plan from the survey values, or nothing farther than the radius
// from every point.
class Interpolator {
public:
    virtual ~Interpolator() = default;
    virtual std::optional<double> valueAt(double x, double y) const = 0;
};

// The interpolator of `method` over the samples, with a radius in pixels (and the
// inverse-distance weights' power, which only IDW uses).
std::unique_ptr<Interpolator> makeInterpolator(Interpolation method,
                                               std::span<const SampleValue> samples, double radius,
                                               double power);

// "idw", "kriging": the option's words.
const char* interpolationName(Interpolation method);
std::optional<Interpolation> interpolationNamed(const char* name);

} // namespace walkmere
