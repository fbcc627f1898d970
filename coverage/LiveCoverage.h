#pragma once

#include "coverage/CoverageMetric.h"
#include "coverage/HeatmapRender.h"
#include "coverage/PlanScale.h"
#include "coverage/ProfileMap.h"
#include "coverage/RequirementProfile.h"
#include "image/RgbImage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace walkmere {

// What the coverage map of a survey shows: a metric (with its band, threshold and grouping)
// or, with a profile, whether each spot passes it; over the networks of `filter`.
struct CoverageChoice {
    MetricChoice metric;
    NetworkFilter filter;
    std::optional<RequirementProfile> profile;
    Interpolation interpolation = kDefaultInterpolation;
};

// A rectangle of plan pixels, edges inclusive; empty when right < left.
struct PlanArea {
    int32_t left = 0, top = 0, right = -1, bottom = -1;
    bool empty() const { return right < left || bottom < top; }
};

// The coverage map of a survey that grows while it is shown: the same values as the map
// tool's (SurveyValues, SurveyProfileValues) for the same choice, kept up to date point by
// point. A survey point changes the values only within the radius of its spot (both
// interpolations look no farther), so when the radius stays (a calibrated plan's is a fixed
// length) only the nodes around the points that came or went are worked out again; any
// other change works out the whole map.
class LiveCoverage {
public:
    // For a width x height plan with the site's scale (nothing: not calibrated).
    LiveCoverage(int32_t width, int32_t height, std::optional<PlanScale> scale);

    // Brings the values up to date with `survey` under `choice`; returns the plan area whose
    // values may have changed (the whole plan after a full update; empty for none).
    PlanArea update(const SurveyData& survey, const CoverageChoice& choice);

    // Colours `part`, the piece of the plan whose top left pixel is (originX, originY), as
    // the map tool colours its map.
    void paint(RgbImage& part, int32_t originX, int32_t originY) const;
    // The legend of what is shown.
    RgbImage legend() const;

    // The value at a plan pixel as the map tool's raster has it: the metric's (for a profile,
    // the strongest access point's), NaN for none.
    float valueAt(int32_t x, int32_t y) const;
    double radius() const;
    size_t mappedPoints() const;
    // Whether the last update worked out the whole map (false: only around changed points).
    bool lastUpdateWasFull() const { return lastFull; }

    int32_t width() const { return w; }
    int32_t height() const { return h; }

private:
    // One interpolated metric: its samples as of the last update and their raster.
    struct Layer {
        HeatmapOptions options;
        MapSamples taken;
        std::unique_ptr<CoverageRaster> raster;
    };
    std::vector<HeatmapOptions> layerOptions(const CoverageChoice& choice) const;
    void rebuild(const SurveyData& survey, const CoverageChoice& choice);
    // Refreshes one layer around the samples that came or went; false when it cannot
    // (the radius changed).
    bool refreshLayer(Layer& layer, MapSamples now, PlanArea& changed) const;

    int32_t w, h;
    std::optional<PlanScale> scale;
    std::optional<CoverageChoice> shown;
    std::vector<Layer> layers; // one, or one per requirement of the profile
    bool lastFull = false;
};

} // namespace walkmere
