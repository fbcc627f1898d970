#pragma once

#include "tools/site/ToolArgs.h"

#include <cstdint>
#include <optional>
#include <string>

namespace walkmere::sitetool {

// The unit of site length the tool's own output names with --units: "m" or "ft". The site
// file holds only pixels per unit, never the unit's name. Throws UsageError for another.
std::optional<std::string> unitsOption(const ToolArgs& parsed);

// The plan's real size: "80.0 x 60.0 m" (width / scale-x by height / scale-y).
std::string planRealSize(uint64_t width, uint64_t height, double pixelsPerUnitX,
                         double pixelsPerUnitY, const std::string& unit);

} // namespace walkmere::sitetool
