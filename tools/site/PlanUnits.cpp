#include "tools/site/PlanUnits.h"

#include "tools/site/SiteCommand.h"
#include "tools/site/TextEscape.h"

#include <cmath>
#include <cstdio>

namespace walkmere::sitetool {

bool usableScale(double pixelsPerUnit) {
    return pixelsPerUnit >= kScaleRange.least && pixelsPerUnit <= kScaleRange.most; // not NaN
}

std::optional<std::string> unitsOption(const ToolArgs& parsed) {
    std::optional<std::string> unit = parsed.value("--units");
    if (unit && *unit != "m" && *unit != "ft")
        throw UsageError("option '--units' takes m or ft, not '" + *unit + "'");
    return unit;
}

std::string scaleText(double pixelsPerUnitX, double pixelsPerUnitY) {
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

std::string planRealSize(uint64_t width, uint64_t height, double pixelsPerUnitX,
                         double pixelsPerUnitY, const std::string& unit) {
    if (!usableScale(pixelsPerUnitX) || !usableScale(pixelsPerUnitY))
        return "unknown (not calibrated)";
    const auto length = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, v < 1e9 ? "%.1f" : "%.3g", v);
        return std::string(text);
    };
    return length(double(width) / pixelsPerUnitX) + " x " +
           length(double(height) / pixelsPerUnitY) + " " + unit;
}

} // namespace walkmere::sitetool
