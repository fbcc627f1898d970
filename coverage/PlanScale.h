#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "survey/SiteHeader.h"

namespace walkmere {

// The radius a survey point's value reaches on a calibrated plan unless told otherwise: a
// guess at how far one measurement says something of the signal indoors, where a wall or
// two within a few metres change it by several dB.
inline constexpr double kDefaultRadiusMetres = 5.0;
inline constexpr double kMetresPerFoot = 0.3048;

// The real lengths and areas of a calibrated plan, in the unit its scale counts ("m" or
// "ft"; the site file keeps only pixels per unit). The interpolation reaches as far in every
// direction in pixels, so a length becomes pixels by the mean of the two axes' scales; an
// area takes each axis's own.
struct PlanScale {
    double pixelsPerUnitX = 1;
    double pixelsPerUnitY = 1;
    std::string unit = "m";

    double pixels(double length) const { return length * (pixelsPerUnitX + pixelsPerUnitY) / 2; }
    double area(uint64_t pixelCount) const {
        return double(pixelCount) / (pixelsPerUnitX * pixelsPerUnitY);
    }
    // kDefaultRadiusMetres in the plan's unit.
    double defaultRadius() const {
        return unit == "ft" ? kDefaultRadiusMetres / kMetresPerFoot : kDefaultRadiusMetres;
    }
};

// The scales, in plan pixels per unit of site length, a site is measured with: from a pixel a
// thousand units to a million pixels a unit. A stored scale outside them (from an older
// version, or damaged) counts as none.
inline constexpr double kLeastPlanScale = 0.001;
inline constexpr double kMostPlanScale = 1'000'000;
bool usablePlanScale(double pixelsPerUnit);
// The site's scale in `unit`, or nothing when the plan has none to measure with: a scale
// outside the usable ones, or the mark of a site made without one.
std::optional<PlanScale> siteScale(const SiteHeader& header, const std::string& unit = "m");

// "1234.5 m²", "12 ft²" (as many decimals as `decimals`).
std::string areaText(double area, const std::string& unit, int decimals = 1);

// How far a map reaches, for people: "5.0 m (100 pixels)" on a calibrated plan, "120 pixels
// (the plan has no usable scale)" on one without a scale.
std::string radiusText(double pixels, const std::optional<PlanScale>& scale);
// The size of a map's surveyed area (its pixels with a value): "480.2 m²", or "12345
// pixels" without a scale.
std::string surveyedAreaText(uint64_t pixels, const std::optional<PlanScale>& scale);

} // namespace walkmere
