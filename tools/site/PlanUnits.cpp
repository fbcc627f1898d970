#include "tools/site/PlanUnits.h"

#include "coverage/PlanScale.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/TextEscape.h"

#include <cmath>
#include <cstdio>

namespace walkmere::sitetool {

bool usableScale(double pixelsPerUnit) {
    return usablePlanScale(pixelsPerUnit);
}

bool calibrated(const SiteHeader& header) {
    return siteScale(header).has_value();
}

std::optional<std::string> unitsOption(const ToolArgs& parsed) {
    std::optional<std::string> unit = parsed.value("--units");
    if (unit && *unit != "m" && *unit != "ft")
        throw UsageError("option '--units' takes m or ft, not '" + *unit + "'");
    return unit;
}

std::string scaleText(const SiteHeader& header) {
    // The handheld takes the mark as the 10 it truncates to.
    if (header.markedUncalibrated())
        return "10 x 10 pixels per unit (not calibrated: the site was made without a scale)";
    const double pixelsPerUnitX = header.pixelsPerUnitX(), pixelsPerUnitY = header.pixelsPerUnitY();
    const auto number = [](double v) -> std::string {
        if (std::isnan(v)) return "nan";
        if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
        return jsonNumber(v);
    };
    std::string text = number(pixelsPerUnitX) + " x " + number(pixelsPerUnitY) + " pixels per unit";
    if (!usableScale(pixelsPerUnitX) || !usableScale(pixelsPerUnitY))
        text += " (not calibrated: a scale is from " + rangeText(kScaleRange) + ")";
    return text;
}

std::string planRealSize(uint64_t width, uint64_t height, const SiteHeader& header,
                         const std::string& unit) {
    if (!calibrated(header)) return "unknown (not calibrated)";
    const auto length = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, v < 1e9 ? "%.1f" : "%.3g", v);
        return std::string(text);
    };
    return length(double(width) / header.pixelsPerUnitX()) + " x " +
           length(double(height) / header.pixelsPerUnitY()) + " " + unit;
}

} // namespace walkmere::sitetool
