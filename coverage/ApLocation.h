#pragma once

#include "coverage/HeatmapRender.h"
#include "coverage/PlanScale.h"
#include "coverage/SurveyRadios.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace walkmere {

// Where an access point stands, told by how its radio's signal falls off over the survey
// points that heard it: the log-distance path-loss model rssi = A - 10 n log10(d) fitted
// by least squares over the position, A (the RSSI at one unit of length) and n (the
// exponent, held to what buildings give). Walls the signal crosses weigh like distance,
// so the fit leans away from them; the uncertainty says how far.

inline constexpr size_t kLeastHearings = 5; // four unknowns, and one to judge the fit by
inline constexpr double kLeastExponent = 1.5;
inline constexpr double kMostExponent = 5;

struct ApFix {
    double x = 0; // plan pixels
    double y = 0;
    // How far the access point may stand from (x, y), in units: the farthest position
    // whose fit is not worse than the best by more than chance explains at 95 % (the
    // residual's spread taken as the readings' noise).
    double radius = 0;
    double referenceDbm = 0; // A
    double exponent = 0;     // n
    double rmsDb = 0;        // of the residuals of the best fit
};

// The fit over the points that heard the radio, searched over the width x height plan
// (an access point off the plan is placed at its edge). Nothing when fewer than
// kLeastHearings points heard it. The fit works in the units of `scale` (pixels on a plan
// without a usable scale: a scale of 1 and 1).
std::optional<ApFix> locateAp(std::span<const RadioHearing> heard, PlanScale scale, int32_t width,
                              int32_t height);

// The scale a located access point is fitted in: the site's, where it is usable.
PlanScale fitScale(const SiteHeader& header);
// "Corp/Guest ch 36": a radio's networks, as heard first by each BSSID, and its channel.
std::string radioName(const SurveyRadio& radio);
// Every radio of the survey that could be located on the width x height plan, named.
std::vector<NamedAp> locatedAccessPoints(const SurveyData& data, const SiteHeader& header,
                                         int32_t width, int32_t height);

} // namespace walkmere
