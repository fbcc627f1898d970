#pragma once

#include "coverage/CoverageGrid.h"
#include "coverage/CoverageMetric.h"
#include "coverage/HeatmapData.h"
#include "coverage/Interpolation.h"
#include "coverage/MapRaster.h"
#include "image/RgbImage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace walkmere {

// An access point with its name, where it stands on the plan.
struct NamedAp {
    int32_t x = 0;
    int32_t y = 0;
    std::string name;
};

// The metric, band and threshold of the map, and how it is interpolated.
struct HeatmapOptions : MetricChoice {
    double radius = 0;  // pixels; 0: CoverageGrid::defaultRadius
    double power = 2.0; // of the inverse-distance weights
    Interpolation interpolation = kDefaultInterpolation;
    int32_t step = 4; // pixels between interpolated nodes
    // Access points marked with their names besides the placed ones: those the survey
    // located (ApLocation.h).
    std::vector<NamedAp> named;
};

// How much of the surveyed area (pixels with a value) reaches the metric's design target,
// and for the dBm metrics the two usual design levels.
struct CoverageShare {
    uint64_t surveyedPixels = 0;
    uint64_t meetingTarget = 0; // see meetsTarget
    uint64_t atLeast67 = 0;     // -67 dBm or stronger
    uint64_t atLeast70 = 0;     // -70 dBm or stronger
};

struct Heatmap {
    RgbImage image;
    CoverageShare share;
    double radius = 0;       // of a survey's map
    size_t mappedPoints = 0; // survey points with a value for the filter and metric
};

// The interpolated values of the chosen metric for `filter` over a width x height plan: what
// a survey's map paints, pixel by pixel.
struct SurveyValues {
    SurveyValues(const SurveyData& data, const NetworkFilter& filter, const HeatmapOptions& options,
                 int32_t width, int32_t height);

    std::unique_ptr<CoverageRaster> raster;
    double radius = 0;       // of the interpolation
    size_t mappedPoints = 0; // survey points with a value for the filter and metric
};

// The survey values a map of the chosen metric interpolates (those that can reach the plan),
// the radius it reaches and how many survey points have a value: what SurveyValues works from.
struct MapSamples {
    std::vector<SampleValue> samples;
    double radius = 0;
    size_t mappedPoints = 0;
};
MapSamples mapSamples(const SurveyData& data, const NetworkFilter& filter,
                      const HeatmapOptions& options, int32_t width, int32_t height);

// Colours a survey's values over `part`, the piece of the plan whose top left pixel is
// (originX, originY), as renderHeatmap does over the whole plan; returns the piece's share.
CoverageShare paintSurveyValues(RgbImage& part, int32_t originX, int32_t originY,
                                const MapRaster& values, const MetricChoice& choice);

// The map of the chosen metric for `filter` over `plan`: the interpolated values in the
// metric's colours blended over the plan, areas that miss the mark (missesMark) greyed and
// hatched, then the survey points (coloured by their value; a small cross for a point
// without one), the placed access points, the named ones and a legend. The plan is taken
// by value: a caller that needs it no more can move it in.
Heatmap renderHeatmap(RgbImage plan, const SurveyData& data, const NetworkFilter& filter,
                      const HeatmapOptions& options);

// The map of values worked out for the whole plan (a prediction) over `plan`, drawn as a
// survey's map is: the values in the metric's colours, areas that miss the mark greyed and
// hatched, and so are pixels without a value, where nothing is heard. Then the access
// points, each marked as a placed one with its name beside it, and the legend. Every pixel
// counts in the share.
Heatmap renderValueMap(RgbImage plan, const MapRaster& values, const MetricChoice& choice,
                       std::span<const NamedAp> accessPoints);

// Access points marked as placed ones, each with its name beside it.
void drawNamedAps(RgbImage& image, std::span<const NamedAp> accessPoints);
// Every survey point as a disc of one colour, then the placed and the named access points.
void drawSurveyMarks(RgbImage& image, const SurveyData& data, Rgb pointColour,
                     std::span<const NamedAp> named);

// The legend, in a white box at the top left corner: the metric, its unit and the band,
// then for the dBm metrics the colour ramp from -20 (top) to -100 dBm with labels every
// 20 dB and a hatched swatch for "below the threshold", for the counts one swatch per
// count, the hatched one for the counts that miss the mark.
void drawLegend(RgbImage& image, const MetricChoice& choice);
// The legend alone, on a picture of its box's size (its black border included).
RgbImage legendPicture(const MetricChoice& choice);
// The box drawLegend-like functions leave at the top left corner of a blank picture, cut out.
RgbImage cutOutLegend(const RgbImage& drawn);

} // namespace walkmere
