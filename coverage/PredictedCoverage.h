#pragma once

#include "coverage/CoverageMetric.h"
#include "coverage/HeatmapData.h"
#include "coverage/MapRaster.h"
#include "image/RgbImage.h"
#include "sim/SimulatedSite.h"
#include "sim/TruthGrid.h"
#include "survey/SiteHeader.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace walkmere {

// The side of the cells a prediction over the site's plan is worked out on: the smallest
// odd number of pixels (so that a cell's middle is a pixel's) that keeps the grid within
// kPredictionCells cells and, for a model of many radios, kPredictionValues values in all.
inline constexpr uint64_t kPredictionCells = 500'000;
inline constexpr uint64_t kPredictionValues = 50'000'000;
int32_t predictionCell(const sim::SimulatedSite& site);

// Whether the map is about a BSS: its network matches the filter and its radio is in the
// band (6 GHz radios only when no band is asked for).
bool mapsBss(const sim::ModelRadio& radio, const sim::ModelBss& bss, const NetworkFilter& filter,
             Band band);
size_t mappedBssCount(const sim::SiteModel& model, const NetworkFilter& filter, Band band);

// The metric over the model's truth at one spot (no fluctuation), as a prediction weighs the
// BSSs heard there: what a survey's map should show at that spot.
std::optional<double> truthMetricAt(const sim::SimulatedSite& site, double x, double y,
                                    const NetworkFilter& filter, const MetricChoice& choice);

// The metric at every cell of `grid` (whose cell is odd), as nodes at the cells' middles:
// the metric over the BSSs heard there, each at or above its band's noise floor with its
// radio's RSSI, and NaN where it has no value.
MapNodes predictedNodes(const sim::SimulatedSite& site, const sim::TruthGrid& grid,
                        const NetworkFilter& filter, const MetricChoice& choice);

} // namespace walkmere
