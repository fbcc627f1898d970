#pragma once

#include "tools/site/BmpPixels.h"
#include "tools/site/CoverageGrid.h"
#include "tools/site/HeatmapData.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace walkmere::sitetool {

struct HeatmapOptions {
    double radius = 0;      // 0: CoverageGrid::defaultRadius
    double power = 2.0;     // of the inverse-distance weights
    double threshold = -70; // weaker than this is marked not covered
    int32_t step = 4;       // pixels between interpolated nodes
};

// How much of the surveyed area (pixels with a value) reaches the two usual design levels.
struct CoverageShare {
    uint64_t surveyedPixels = 0;
    uint64_t atLeast67 = 0; // -67 dBm or stronger
    uint64_t atLeast70 = 0; // -70 dBm or stronger
};

struct Heatmap {
    RgbImage image;
    CoverageShare share;
    double radius = 0;
    size_t mappedPoints = 0; // survey points with a value for the filter
};

// The coverage map of `filter` over `plan`: the interpolated values in the RSSI colour ramp
// blended over the plan, areas weaker than the threshold greyed and hatched, then the
// survey points (coloured by their value; a small cross for a point that heard nothing that
// matches), the placed access points and a legend. The plan is taken by value: a caller
// that needs it no more can move it in.
Heatmap renderHeatmap(RgbImage plan, const SurveyData& data, const NetworkFilter& filter,
                      const HeatmapOptions& options);

// Counts the shares only (no picture).
CoverageShare measureCoverage(const CoverageRaster& raster);

// The legend: the colour ramp from -20 (top) to -100 dBm with labels every 20 dB and a
// hatched swatch for "below the threshold", in a white box at the top left corner.
void drawLegend(RgbImage& image, double threshold);

} // namespace walkmere::sitetool
