#pragma once

#include "coverage/Interpolation.h"
#include "coverage/PlanScale.h"
#include "survey/SiteFile.h"
#include "tools/site/ToolArgs.h"

#include <optional>
#include <string>

namespace walkmere::sitetool {

// The plan's scale as the maps measure with it, in `unit` ("m" when none was asked for:
// a site model counts metres unless it says feet), or nothing when the site is not
// calibrated (calibrated).
std::optional<PlanScale> mapScale(const SiteHeader& header, const std::optional<std::string>& unit);

// The radius of the maps in pixels from --radius (radiusOption; 0 when absent): a length in
// the plan's unit on a calibrated plan, where the default is PlanScale::defaultRadius; pixels
// on a plan without a scale, where 0 leaves the radius to the maps (defaultRadius of the
// point spacing).
double radiusPixels(double given, const std::optional<PlanScale>& scale);

// --interpolation idw|kriging, kDefaultInterpolation when absent.
Interpolation interpolationOption(const ToolArgs& args);

} // namespace walkmere::sitetool
