#pragma once

#include "coverage/PlanScale.h"
#include "survey/SiteHeader.h"
#include "tools/site/ToolArgs.h"

#include <cstdint>
#include <optional>
#include <string>

namespace walkmere::sitetool {

// The scales, in plan pixels per unit of site length, that the tool writes and takes as a
// calibration: from a pixel a thousand units (a kilometre a pixel in metres) to a million
// pixels a unit. Any plan within the pixel limit has a finite real size at such a scale;
// a scale outside it is refused when a site is made, and one read from a file (written by
// an older version, or damaged) is shown as not calibrated.
inline constexpr NumberRange kScaleRange{kLeastPlanScale, kMostPlanScale};
bool usableScale(double pixelsPerUnit);
// Whether the site's plan has a scale to measure with: both usable, and not the mark of a
// site made without one (SiteHeader::markedUncalibrated).
bool calibrated(const SiteHeader& header);

// The unit of site length the tool's own output names with --units: "m" or "ft". The site
// file holds only pixels per unit, never the unit's name. Throws UsageError for another.
std::optional<std::string> unitsOption(const ToolArgs& parsed);

// "10 x 12.5 pixels per unit", the stored values as they are (inf, nan) with
// "(not calibrated: ...)" after them when they are not a usable scale or the site was made
// without one.
std::string scaleText(const SiteHeader& header);

// The plan's real size: "80.0 x 60.0 m" (width / scale-x by height / scale-y), or
// "unknown (not calibrated)" when the site is not calibrated.
std::string planRealSize(uint64_t width, uint64_t height, const SiteHeader& header,
                         const std::string& unit);

} // namespace walkmere::sitetool
