#include "tools/site/MapOptions.h"

#include "survey/BmpInfo.h"
#include "tools/site/PlanUnits.h"
#include "tools/site/SiteCommand.h"

#include <algorithm>

namespace walkmere::sitetool {

std::optional<PlanScale> mapScale(const SiteHeader& header,
                                  const std::optional<std::string>& unit) {
    if (!calibrated(header)) return std::nullopt;
    return PlanScale{header.pixelsPerUnitX(), header.pixelsPerUnitY(), unit.value_or("m")};
}

double radiusPixels(double given, const std::optional<PlanScale>& scale) {
    if (!scale) return given;
    // Less than a pixel reaches no neighbour; the option's own limit is
    // as far as a map ever needs to reach.
    const double pixels = scale->pixels(given > 0 ? given : scale->defaultRadius());
    return std::clamp(pixels, 1.0, double(kMaxPlanPixels));
}

Interpolation interpolationOption(const ToolArgs& args) {
    const auto name = args.value("--interpolation");
    if (!name) return kDefaultInterpolation;
    const auto method = interpolationNamed(name->c_str());
    if (!method)
        throw UsageError("option '--interpolation' takes idw or kriging, not '" + *name + "'");
    return *method;
}

} // namespace walkmere::sitetool
