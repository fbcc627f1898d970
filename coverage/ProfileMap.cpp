#include "coverage/ProfileMap.h"

#include "coverage/MapText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace walkmere {

MetricChoice requirementChoice(const RequirementProfile& profile, Requirement requirement,
                               const MetricChoice& base) {
    MetricChoice choice = base;
    switch (requirement) {
    case Requirement::Primary:
        choice.metric = Metric::Best;
        choice.threshold = profile.primary;
        break;
    case Requirement::Secondary:
        choice.metric = Metric::Second;
        choice.threshold = profile.secondary.value_or(profile.primary);
        break;
    case Requirement::AccessPoints:
        choice.metric = Metric::Count;
        choice.threshold = profile.accessPointLevel;
        break;
    case Requirement::CoChannel:
        choice.metric = Metric::Overlap;
        break;
    }
    return choice;
}

bool meetsRequirement(const RequirementProfile& profile, Requirement requirement, float value) {
    if (requirement == Requirement::Secondary && !profile.secondary) return true;
    if (std::isnan(value)) return false;
    // Interpolated counts are rounded as the count maps' legend rounds them.
    const long whole = std::lround(std::clamp(value, 0.0f, 1000.0f));
    switch (requirement) {
    case Requirement::Primary:
        return value >= static_cast<float>(profile.primary);
    case Requirement::Secondary:
        return value >= static_cast<float>(*profile.secondary);
    case Requirement::AccessPoints:
        return whole >= profile.accessPointCount;
    case Requirement::CoChannel:
        return whole <= profile.coChannelLimit;
    }
    return false;
}

const char* requirementName(Requirement requirement) {
    switch (requirement) {
    case Requirement::Primary:
        return "primary";
    case Requirement::Secondary:
        return "secondary";
    case Requirement::AccessPoints:
        return "access points";
    case Requirement::CoChannel:
        return "co-channel";
    }
    return "";
}

std::string requirementText(const RequirementProfile& profile, Requirement requirement) {
    const auto dbm = [](double level) { return std::to_string(std::lround(level)) + " dBm"; };
    switch (requirement) {
    case Requirement::Primary:
        return "the strongest access point at " + dbm(profile.primary) + " or stronger";
    case Requirement::Secondary:
        return profile.secondary ? "a second access point at " + dbm(*profile.secondary) +
                                       " or stronger, to roam to"
                                 : "no second access point required";
    case Requirement::AccessPoints:
        return "at least " + std::to_string(profile.accessPointCount) + " access point" +
               (profile.accessPointCount == 1 ? "" : "s") + " at " + dbm(profile.accessPointLevel) +
               " or stronger";
    case Requirement::CoChannel:
        return "at most " + std::to_string(profile.coChannelLimit) + " other access point" +
               (profile.coChannelLimit == 1 ? "" : "s") + " at " + dbm(kOverlapLevel) +
               " or stronger on the strongest one's channel";
    }
    return "";
}

SurveyProfileValues::SurveyProfileValues(const SurveyData& data, const NetworkFilter& filter,
                                         const HeatmapOptions& options,
                                         const RequirementProfile& profile, int32_t width,
                                         int32_t height) {
    maps.reserve(kRequirementCount);
    for (const Requirement requirement : kRequirements) {
        HeatmapOptions one = options;
        static_cast<MetricChoice&>(one) = requirementChoice(profile, requirement, options);
        maps.emplace_back(data, filter, one, width, height);
    }
}

std::array<const MapRaster*, kRequirementCount> SurveyProfileValues::rasters() const {
    std::array<const MapRaster*, kRequirementCount> out{};
    for (size_t i = 0; i < kRequirementCount; ++i)
        out[i] = maps[i].raster.get();
    return out;
}

namespace {

constexpr Rgb kPassColour{40, 190, 70};
constexpr Rgb kFailColour{215, 35, 35};
constexpr Rgb kFailLines{110, 0, 0};

uint8_t mix(uint8_t plan, uint8_t colour, int share) {
    return static_cast<uint8_t>((plan * (256 - share) + colour * share) >> 8);
}

void blend(uint8_t* p, Rgb c, int share) {
    p[0] = mix(p[0], c.r, share);
    p[1] = mix(p[1], c.g, share);
    p[2] = mix(p[2], c.b, share);
}

// Failing areas are red with dark diagonal lines, so that they read without colour too.
bool onHatchLine(int32_t x, int32_t y, int32_t s) {
    return ((x + y) / s) % 12 < 3;
}

// Which pixels a map without a value of the strongest access point counts.
enum class NoValue {
    ShowsPlan, // a survey's map beyond the reach of its points
    Fails,     // a prediction where nothing is heard
};

// `img` is the part of the plan whose top left pixel is (originX, originY).
ProfileShare paintProfile(RgbImage& img,
                          const std::array<const MapRaster*, kRequirementCount>& rasters,
                          const RequirementProfile& profile, NoValue noValue, int32_t originX = 0,
                          int32_t originY = 0) {
    ProfileShare share;
    const int32_t width = rasters[0]->width(), height = rasters[0]->height();
    std::array<std::vector<float>, kRequirementCount> rows;
    for (std::vector<float>& row : rows)
        row.resize(size_t(std::max(width, 0)));
    const int32_t columns = std::min(img.width, width - originX);
    for (int32_t py = 0; py < img.height && originY + py < height; ++py) {
        const int32_t y = originY + py;
        for (size_t i = 0; i < kRequirementCount; ++i)
            rasters[i]->fillRow(y, rows[i].data());
        uint8_t* p = img.at(0, py);
        for (int32_t px = 0; px < columns; ++px, p += 3) {
            const int32_t x = originX + px;
            // The strongest access point's map says where the survey reaches.
            if (std::isnan(rows[0][size_t(x)]) && noValue == NoValue::ShowsPlan) continue;
            ++share.surveyedPixels;
            bool passes = true;
            for (size_t i = 0; i < kRequirementCount; ++i) {
                const bool met = meetsRequirement(profile, kRequirements[i], rows[i][size_t(x)]);
                share.meeting[i] += met;
                passes = passes && met;
            }
            share.passing += passes;
            if (passes)
                blend(p, kPassColour, 150);
            else
                blend(p, onHatchLine(x, y, 1) ? kFailLines : kFailColour, 170);
        }
    }
    return share;
}

// The legend, in a white box at the top left corner: the profile's name, then a green
// swatch "PASS" and a hatched red one "FAIL".
void drawProfileLegend(RgbImage& image, const RequirementProfile& profile) {
    // Sized to the plan as the metric maps' legend is.
    const int32_t s = std::max(1, std::min(image.width, image.height) / 500);
    const int32_t margin = 4 * s, lineHeight = 10 * s, swatch = 12 * s;
    const std::string heading = "PROFILE " + fontText(profile.name);
    const int32_t boxWidth =
        margin + std::max(textWidth(heading, s), swatch + 3 * s + textWidth("FAIL", s)) + margin;
    const int32_t boxHeight = margin + lineHeight + margin + 2 * lineHeight + margin;
    const int32_t left = 2 * margin, top = 2 * margin;
    fillRect(image, left - s, top - s, left + boxWidth + s, top + boxHeight + s, {0, 0, 0});
    fillRect(image, left, top, left + boxWidth, top + boxHeight, {255, 255, 255});
    const int32_t textLeft = left + margin;
    drawText(image, textLeft, top + margin, heading, s);
    const int32_t passTop = top + margin + lineHeight + margin;
    const int32_t failTop = passTop + lineHeight;
    fillRect(image, textLeft, passTop, textLeft + swatch, passTop + 8 * s, kPassColour);
    for (int32_t y = 0; y < 8 * s; ++y)
        for (int32_t x = 0; x < swatch; ++x)
            fillRect(image, textLeft + x, failTop + y, textLeft + x + 1, failTop + y + 1,
                     onHatchLine(x, y, s) ? kFailLines : kFailColour);
    drawText(image, textLeft + swatch + 3 * s, passTop, "PASS", s);
    drawText(image, textLeft + swatch + 3 * s, failTop, "FAIL", s);
}

} // namespace

ProfileShare paintSurveyProfile(RgbImage& part, int32_t originX, int32_t originY,
                                const std::array<const MapRaster*, kRequirementCount>& rasters,
                                const RequirementProfile& profile) {
    return paintProfile(part, rasters, profile, NoValue::ShowsPlan, originX, originY);
}

RgbImage profileLegendPicture(const RequirementProfile& profile) {
    RgbImage blank(400, 400, 255);
    drawProfileLegend(blank, profile);
    return cutOutLegend(blank);
}

ProfileMap renderProfileMap(RgbImage plan, const SurveyData& data, const NetworkFilter& filter,
                            const HeatmapOptions& options, const RequirementProfile& profile) {
    const SurveyProfileValues values(data, filter, options, profile, plan.width, plan.height);
    ProfileMap map;
    map.radius = values.radius();
    map.mappedPoints = values.mappedPoints();
    map.image = std::move(plan);
    map.share = paintProfile(map.image, values.rasters(), profile, NoValue::ShowsPlan);
    drawSurveyMarks(map.image, data, {255, 255, 255}, options.named);
    drawProfileLegend(map.image, profile);
    return map;
}

ProfileMap renderProfileValueMap(RgbImage plan,
                                 const std::array<const MapRaster*, kRequirementCount>& rasters,
                                 const RequirementProfile& profile,
                                 std::span<const NamedAp> accessPoints) {
    ProfileMap map;
    map.image = std::move(plan);
    map.share = paintProfile(map.image, rasters, profile, NoValue::Fails);
    drawNamedAps(map.image, accessPoints);
    drawProfileLegend(map.image, profile);
    return map;
}

std::string profileShareText(const RequirementProfile& profile, const ProfileShare& share) {
    const auto percent = [&](uint64_t part) {
        char text[16];
        std::snprintf(text, sizeof text, "%.1f %%",
                      share.surveyedPixels ? 100.0 * double(part) / double(share.surveyedPixels)
                                           : 0.0);
        return std::string(text);
    };
    std::string text = percent(share.passing) + " passing:";
    for (size_t i = 0; i < kRequirementCount; ++i) {
        const bool asked = kRequirements[i] != Requirement::Secondary || profile.secondary;
        text += std::string(i ? ", " : " ") + requirementName(kRequirements[i]) + " " +
                (asked ? percent(share.meeting[i]) : "not required");
    }
    return text;
}

} // namespace walkmere
