#include "coverage/ApLocation.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace walkmere {

namespace {

// A reading nearer than this (one unit) is taken as at this distance: the model holds only
// in the far field.
constexpr double kNearest = 1;
// Chi-square with two degrees of freedom at 95 %: how much worse than the best the fit of a
// position may be and still hold the access point.
constexpr double kChiSquare95 = 5.99;
// The first search is a grid of about this many steps along the plan's longer side; two
// finer grids follow around its best, each a quarter of the step before.
constexpr double kCoarseSteps = 64;
constexpr int kRefinements = 2;
constexpr int kRefineReach = 5; // steps either way

struct Sample {
    double x, y, rssi; // units, dBm
};

struct Trial {
    double x, y; // units
    double sse;
    double a, n;
};

// The best A and n for a position, by linear least squares in 10 log10(d), with n held to
// its bounds, and the squared residuals that leaves.
Trial fitAt(std::span<const Sample> samples, double x, double y) {
    double sL = 0, sLL = 0, sR = 0, sRL = 0, sRR = 0;
    for (const Sample& s : samples) {
        const double d2 = std::max((s.x - x) * (s.x - x) + (s.y - y) * (s.y - y), kNearest);
        const double l = 5 * std::log10(d2); // 10 log10(d)
        sL += l;
        sLL += l * l;
        sR += s.rssi;
        sRL += s.rssi * l;
        sRR += s.rssi * s.rssi;
    }
    const double m = double(samples.size());
    const double spread = sLL - sL * sL / m;
    const double together = sRL - sL * sR / m;
    const double n =
        std::clamp(spread > 0 ? -together / spread : kLeastExponent, kLeastExponent, kMostExponent);
    const double a = (sR + n * sL) / m;
    // The sum of (rssi - a + n l)^2, multiplied out.
    const double sse = sRR + m * a * a + n * n * sLL - 2 * a * sR + 2 * n * sRL - 2 * a * n * sL;
    return {x, y, std::max(sse, 0.0), a, n};
}

} // namespace

std::optional<ApFix> locateAp(std::span<const RadioHearing> heard, PlanScale scale, int32_t width,
                              int32_t height) {
    if (heard.size() < kLeastHearings || width <= 0 || height <= 0) return std::nullopt;
    std::vector<Sample> samples;
    samples.reserve(heard.size());
    for (const RadioHearing& h : heard)
        samples.push_back({h.x / scale.pixelsPerUnitX, h.y / scale.pixelsPerUnitY, h.rssi});
    const double right = width / scale.pixelsPerUnitX, bottom = height / scale.pixelsPerUnitY;

    // Every position tried, kept to judge the uncertainty by.
    std::vector<Trial> trials;
    const auto tryGrid = [&](double x0, double y0, double x1, double y1, double step) {
        for (double y = std::max(y0, 0.0); y <= std::min(y1, bottom); y += step)
            for (double x = std::max(x0, 0.0); x <= std::min(x1, right); x += step)
                trials.push_back(fitAt(samples, x, y));
    };
    const auto best = [&] {
        return *std::min_element(trials.begin(), trials.end(),
                                 [](const Trial& a, const Trial& b) { return a.sse < b.sse; });
    };
    double step = std::max(right, bottom) / kCoarseSteps;
    tryGrid(step / 2, step / 2, right, bottom, step);
    for (int i = 0; i < kRefinements; ++i) {
        const Trial around = best();
        const double reach = kRefineReach * step / 4;
        step /= 4;
        tryGrid(around.x - reach, around.y - reach, around.x + reach, around.y + reach, step);
    }

    const Trial fit = best();
    const double freedom = double(samples.size()) - 4;
    const double noise = fit.sse / freedom; // the residuals' variance
    const double worstSse = fit.sse + kChiSquare95 * noise;
    double radius = step;
    for (const Trial& t : trials)
        if (t.sse <= worstSse) radius = std::max(radius, std::hypot(t.x - fit.x, t.y - fit.y));
    return ApFix{fit.x * scale.pixelsPerUnitX,
                 fit.y * scale.pixelsPerUnitY,
                 radius,
                 fit.a,
                 fit.n,
                 std::sqrt(fit.sse / double(samples.size()))};
}

PlanScale fitScale(const SiteHeader& header) {
    if (!siteScale(header)) return {};
    return {header.pixelsPerUnitX(), header.pixelsPerUnitY()};
}

std::string radioName(const SurveyRadio& radio) {
    std::string name;
    for (const std::string& ssid : radioSsids(radio))
        if (!ssid.empty()) name += (name.empty() ? "" : "/") + ssid;
    return name + (name.empty() ? "ch " : " ch ") + std::to_string(radio.channel);
}

std::vector<NamedAp> locatedAccessPoints(const SurveyData& data, const SiteHeader& header,
                                         int32_t width, int32_t height) {
    std::vector<NamedAp> located;
    for (const SurveyRadio& radio : surveyRadios(data))
        if (const auto fix = locateAp(radio.heard, fitScale(header), width, height))
            located.push_back(
                {int32_t(std::lround(fix->x)), int32_t(std::lround(fix->y)), radioName(radio)});
    return located;
}

} // namespace walkmere
