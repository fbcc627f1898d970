#include "coverage/PlanScale.h"

#include <cmath>
#include <cstdio>

namespace walkmere {

bool usablePlanScale(double pixelsPerUnit) {
    return pixelsPerUnit >= kLeastPlanScale && pixelsPerUnit <= kMostPlanScale; // not NaN
}

std::optional<PlanScale> siteScale(const SiteHeader& header, const std::string& unit) {
    if (!usablePlanScale(header.pixelsPerUnitX()) || !usablePlanScale(header.pixelsPerUnitY()) ||
        header.markedUncalibrated())
        return std::nullopt;
    return PlanScale{header.pixelsPerUnitX(), header.pixelsPerUnitY(), unit};
}

std::string areaText(double area, const std::string& unit, int decimals) {
    char text[64];
    if (area < 1e12)
        std::snprintf(text, sizeof text, "%.*f %s\u00b2", decimals, area, unit.c_str());
    else
        std::snprintf(text, sizeof text, "%.3g %s\u00b2", area, unit.c_str());
    return text;
}

std::string radiusText(double pixels, const std::optional<PlanScale>& scale) {
    char text[96];
    const double wholePixels = std::floor(pixels + 0.5);
    if (scale)
        std::snprintf(text, sizeof text, "%.1f %s (%.0f pixels)", pixels / scale->pixels(1.0),
                      scale->unit.c_str(), wholePixels);
    else
        std::snprintf(text, sizeof text, "%.0f pixels (the plan has no usable scale)", wholePixels);
    return text;
}

std::string surveyedAreaText(uint64_t pixels, const std::optional<PlanScale>& scale) {
    if (scale) return areaText(scale->area(pixels), scale->unit);
    return std::to_string(pixels) + " pixels";
}

} // namespace walkmere
