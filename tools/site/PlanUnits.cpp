#include "tools/site/PlanUnits.h"

#include "tools/site/SiteCommand.h"

#include <cmath>
#include <cstdio>

namespace walkmere::sitetool {

std::optional<std::string> unitsOption(const ToolArgs& parsed) {
    std::optional<std::string> unit = parsed.value("--units");
    if (unit && *unit != "m" && *unit != "ft")
        throw UsageError("option '--units' takes m or ft, not '" + *unit + "'");
    return unit;
}

std::string planRealSize(uint64_t width, uint64_t height, double pixelsPerUnitX,
                         double pixelsPerUnitY, const std::string& unit) {
    const auto positive = [](double v) { return std::isfinite(v) && v > 0; };
    if (!positive(pixelsPerUnitX) || !positive(pixelsPerUnitY))
        return "unknown (the scale is not a positive number)";
    const auto length = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, v < 1e9 ? "%.1f" : "%.3g", v);
        return std::string(text);
    };
    return length(double(width) / pixelsPerUnitX) + " x " +
           length(double(height) / pixelsPerUnitY) + " " + unit;
}

} // namespace walkmere::sitetool
