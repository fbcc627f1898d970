#include "siteview/Ruler.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace walkmere {

int32_t rulerStep(int16_t zoom, double pixelsPerUnit) {
    if (!(pixelsPerUnit >= 1.0)) return 0; // also catches NaN
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    const int64_t scale = pixelsPerUnit >= static_cast<double>(kMax)
                              ? kMax
                              : static_cast<int64_t>(std::trunc(pixelsPerUnit));
    const int64_t step = static_cast<int64_t>(zoom) * scale;
    if (step <= 0) return 0;
    return step > kMax ? static_cast<int32_t>(kMax) : static_cast<int32_t>(step);
}

std::vector<RulerTick> rulerTicks(int32_t step, int32_t extent) {
    std::vector<RulerTick> ticks;
    if (step <= 0 || extent <= kRulerBand) return ticks;
    const int64_t s = step;
    for (int64_t offset = 0; offset + kRulerBand < extent; offset += s) {
        RulerTick t;
        t.position = static_cast<int32_t>(offset + kRulerBand);
        if (offset % (10 * s) == 0) {
            t.length = 20;
            t.labelled = true;
            t.label = std::to_string(offset / s);
            t.labelFrom = static_cast<int32_t>(offset + kRulerBand + 1);
            const int64_t to = offset + kRulerBand + 5 * s;
            t.labelTo = to > std::numeric_limits<int32_t>::max()
                            ? std::numeric_limits<int32_t>::max()
                            : static_cast<int32_t>(to);
        } else if (offset % (5 * s) == 0) {
            t.length = 10;
        } else if (offset % (2 * s) == 0) {
            t.length = 4;
        } else {
            t.length = 2;
        }
        ticks.push_back(std::move(t));
    }
    return ticks;
}

namespace {

// 1, 2 or 5 times a power of ten, the smallest at or above `least`.
double niceStepAtLeast(double least, int& mantissa) {
    double power = std::pow(10.0, std::floor(std::log10(least)));
    for (;;) {
        for (int m : {1, 2, 5}) {
            if (m * power >= least * (1 - 1e-12)) {
                mantissa = m;
                return m * power;
            }
        }
        power *= 10;
    }
}

// A distance as the ruler writes it: no decimals for whole numbers, else as few as the step
// needs ("2.5", "0.25").
std::string distanceText(double value, double step) {
    int decimals = 0;
    while (decimals < 6 && std::fabs(step * std::pow(10.0, decimals) -
                                     std::round(step * std::pow(10.0, decimals))) > 1e-9)
        ++decimals;
    if (std::fabs(value) < step * 1e-9) value = 0; // no "-0"
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

bool usableScale(double pixelsPerUnit) {
    return std::isfinite(pixelsPerUnit) && pixelsPerUnit > 1e-9 && pixelsPerUnit < 1e9;
}

} // namespace

MapRulerStep mapRulerStep(double pixelsPerUnit) {
    if (!usableScale(pixelsPerUnit)) return {};
    int mantissa = 1;
    MapRulerStep step;
    step.label = niceStepAtLeast(kMapLabelSpacing / pixelsPerUnit, mantissa);
    if (!std::isfinite(step.label) || !(step.label > 0)) return {};
    const int minors = mantissa == 1 ? 10 : mantissa == 2 ? 4 : 5;
    const double labelPixels = step.label * pixelsPerUnit;
    if (labelPixels / minors >= kMinorSpacing) {
        step.minors = minors;
    } else if (mantissa != 2 && labelPixels / 2 >= kMinorSpacing) {
        step.minors = 2;
    }
    return step;
}

std::vector<RulerTick> mapRulerTicks(double origin, double pixelsPerUnit, int32_t extent) {
    std::vector<RulerTick> ticks;
    const MapRulerStep step = mapRulerStep(pixelsPerUnit);
    if (step.label <= 0 || extent <= kRulerBand) return ticks;
    const double minorUnits = step.label / step.minors;
    const double minorPixels = minorUnits * pixelsPerUnit;
    // Tick k stands at origin + k * minorPixels; the first one at or past the band's end.
    const double first = std::ceil((kRulerBand - origin) / minorPixels);
    const double last = std::floor((extent - 1 - origin) / minorPixels);
    if (!(last >= first) || last - first > extent) return ticks;
    const int64_t labelEvery = step.minors;
    const int64_t halfway = step.minors % 2 == 0 ? step.minors / 2 : 0;
    for (int64_t k = int64_t(first); k <= int64_t(last); ++k) {
        RulerTick t;
        t.position = int32_t(std::lround(origin + double(k) * minorPixels));
        if (t.position < kRulerBand || t.position >= extent) continue;
        const int64_t within = ((k % labelEvery) + labelEvery) % labelEvery;
        if (within == 0) {
            t.length = 10;
            t.labelled = true;
            t.label = distanceText(double(k) * minorUnits, step.label);
            const int32_t half = int32_t(std::lround(step.label * pixelsPerUnit / 2));
            t.labelFrom = t.position - half;
            t.labelTo = t.position + half + 1;
        } else {
            t.length = halfway != 0 && within == halfway ? 6 : 3;
        }
        ticks.push_back(std::move(t));
    }
    return ticks;
}

std::optional<ScaleBar> scaleBar(double pixelsPerUnit, double maxPixels, const std::string& unit) {
    if (!usableScale(pixelsPerUnit) || !(maxPixels > 0)) return std::nullopt;
    const double most = maxPixels / pixelsPerUnit; // units that fit
    if (!(most >= 1e-3)) return std::nullopt;
    double power = std::pow(10.0, std::floor(std::log10(most)));
    double units = power;
    for (int m : {5, 2, 1}) {
        if (m * power <= most * (1 + 1e-12)) {
            units = m * power;
            break;
        }
    }
    return ScaleBar{units, units * pixelsPerUnit, distanceText(units, units) + " " + unit};
}

} // namespace walkmere
