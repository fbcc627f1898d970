#include "coverage/Interpolation.h"

#include "coverage/CoverageGrid.h"
#include "coverage/Kriging.h"

#include <cstring>

namespace walkmere {

std::unique_ptr<Interpolator> makeInterpolator(Interpolation method,
                                               std::span<const SampleValue> samples, double radius,
                                               double power) {
    if (method == Interpolation::Kriging) return std::make_unique<Kriging>(samples, radius);
    return std::make_unique<CoverageGrid>(samples, radius, power);
}

const char* interpolationName(Interpolation method) {
    return method == Interpolation::Kriging ? "kriging" : "idw";
}

std::optional<Interpolation> interpolationNamed(const char* name) {
    for (const Interpolation m : {Interpolation::Idw, Interpolation::Kriging})
        if (std::strcmp(name, interpolationName(m)) == 0) return m;
    return std::nullopt;
}

} // namespace walkmere
