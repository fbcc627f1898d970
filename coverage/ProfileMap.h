#pragma once

#include "coverage/CoverageMetric.h"
#include "coverage/HeatmapRender.h"
#include "coverage/MapRaster.h"
#include "coverage/RequirementProfile.h"
#include "image/RgbImage.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace walkmere {

// The requirements of a profile, in the order the maps and the report list them.
enum class Requirement { Primary, Secondary, AccessPoints, CoChannel };
inline constexpr size_t kRequirementCount = 4;
inline constexpr Requirement kRequirements[] = {Requirement::Primary, Requirement::Secondary,
                                                Requirement::AccessPoints, Requirement::CoChannel};

// The metric a requirement is judged on, with the profile's level where the metric takes one
// (the count's threshold); band and grouping as in `base`.
MetricChoice requirementChoice(const RequirementProfile& profile, Requirement requirement,
                               const MetricChoice& base);
// Whether a value of that metric (NaN: none) meets the requirement. A secondary signal the
// profile does not require is always met; no value meets nothing else.
bool meetsRequirement(const RequirementProfile& profile, Requirement requirement, float value);
// "primary", "secondary", ...: the word of the output line; and the requirement in words,
// with the profile's numbers: "the strongest access point at -67 dBm or stronger".
const char* requirementName(Requirement requirement);
std::string requirementText(const RequirementProfile& profile, Requirement requirement);

// How much of the area the profile is judged over meets each requirement, and all of them.
struct ProfileShare {
    uint64_t surveyedPixels = 0;
    std::array<uint64_t, kRequirementCount> meeting{};
    uint64_t passing = 0; // every requirement met
};

struct ProfileMap {
    RgbImage image;
    ProfileShare share;
    double radius = 0;       // of a survey's map
    size_t mappedPoints = 0; // survey points with a value of the strongest access point
};

// The interpolated values of the four metrics a profile judges, as a survey's maps paint
// them, over a width x height plan.
class SurveyProfileValues {
public:
    SurveyProfileValues(const SurveyData& data, const NetworkFilter& filter,
                        const HeatmapOptions& options, const RequirementProfile& profile,
                        int32_t width, int32_t height);
    // One raster per requirement, in the order of kRequirements.
    std::array<const MapRaster*, kRequirementCount> rasters() const;
    double radius() const { return maps.front().radius; }
    size_t mappedPoints() const { return maps.front().mappedPoints; }

private:
    std::vector<SurveyValues> maps;
};

// Paints the pass/fail colours of a survey's values over `part`, the piece of the plan whose
// top left pixel is (originX, originY), as renderProfileMap does over the whole plan.
ProfileShare paintSurveyProfile(RgbImage& part, int32_t originX, int32_t originY,
                                const std::array<const MapRaster*, kRequirementCount>& rasters,
                                const RequirementProfile& profile);
// The profile map's legend alone, on a picture of its box's size.
RgbImage profileLegendPicture(const RequirementProfile& profile);

// The pass/fail map of a survey: each surveyed pixel (one with a value of the strongest
// access point) green where every requirement of the profile holds and hatched red where
// one fails, the rest of the plan left as it is; then the survey points, the placed and
// named access points, and a legend naming the profile.
ProfileMap renderProfileMap(RgbImage plan, const SurveyData& data, const NetworkFilter& filter,
                            const HeatmapOptions& options, const RequirementProfile& profile);

// The same of values worked out for the whole plan (a prediction), one raster per
// requirement: every pixel counts, and one where nothing is heard fails. The access points
// are marked with their names.
ProfileMap renderProfileValueMap(RgbImage plan,
                                 const std::array<const MapRaster*, kRequirementCount>& rasters,
                                 const RequirementProfile& profile,
                                 std::span<const NamedAp> accessPoints);

// "87.3 % passing: primary 95.0 %, secondary -, access points 90.1 %, co-channel 100.0 %".
std::string profileShareText(const RequirementProfile& profile, const ProfileShare& share);

} // namespace walkmere
