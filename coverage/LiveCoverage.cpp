#include "coverage/LiveCoverage.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace walkmere {

namespace {

bool sameMetric(const MetricChoice& a, const MetricChoice& b) {
    return a.metric == b.metric && a.band == b.band && a.threshold == b.threshold &&
           a.group == b.group;
}

bool sameProfile(const std::optional<RequirementProfile>& a,
                 const std::optional<RequirementProfile>& b) {
    if (a.has_value() != b.has_value()) return false;
    if (!a) return true;
    return a->name == b->name && a->primary == b->primary && a->secondary == b->secondary &&
           a->accessPointCount == b->accessPointCount &&
           a->accessPointLevel == b->accessPointLevel && a->coChannelLimit == b->coChannelLimit;
}

bool sameChoice(const CoverageChoice& a, const CoverageChoice& b) {
    return sameMetric(a.metric, b.metric) && a.filter.mac == b.filter.mac &&
           a.filter.ssid == b.filter.ssid && sameProfile(a.profile, b.profile) &&
           a.interpolation == b.interpolation;
}

bool sampleLess(const SampleValue& a, const SampleValue& b) {
    return std::tie(a.x, a.y, a.rssi) < std::tie(b.x, b.y, b.rssi);
}

// The samples in one sorted list and not in the other (as multisets).
std::vector<SampleValue> changedSamples(std::vector<SampleValue> before,
                                        std::vector<SampleValue> after) {
    std::sort(before.begin(), before.end(), sampleLess);
    std::sort(after.begin(), after.end(), sampleLess);
    std::vector<SampleValue> changed;
    std::set_symmetric_difference(before.begin(), before.end(), after.begin(), after.end(),
                                  std::back_inserter(changed), sampleLess);
    return changed;
}

void include(PlanArea& area, const PlanArea& more) {
    if (more.empty()) return;
    if (area.empty()) {
        area = more;
        return;
    }
    area.left = std::min(area.left, more.left);
    area.top = std::min(area.top, more.top);
    area.right = std::max(area.right, more.right);
    area.bottom = std::max(area.bottom, more.bottom);
}

int32_t clampTo(double v, int32_t least, int32_t most) {
    if (!(v > least)) return least;
    if (!(v < most)) return most;
    return int32_t(v);
}

} // namespace

LiveCoverage::LiveCoverage(int32_t width, int32_t height, std::optional<PlanScale> planScale)
    : w(std::max(width, 0)), h(std::max(height, 0)), scale(std::move(planScale)) {}

std::vector<HeatmapOptions> LiveCoverage::layerOptions(const CoverageChoice& choice) const {
    HeatmapOptions base;
    static_cast<MetricChoice&>(base) = choice.metric;
    base.interpolation = choice.interpolation;
    // The map tool's radius: a fixed length on a calibrated plan, the survey's spacing on one
    // without a scale.
    if (scale) base.radius = std::max(1.0, scale->pixels(scale->defaultRadius()));
    if (!choice.profile) return {base};
    std::vector<HeatmapOptions> all;
    for (const Requirement requirement : kRequirements) {
        HeatmapOptions one = base;
        static_cast<MetricChoice&>(one) = requirementChoice(*choice.profile, requirement, base);
        all.push_back(one);
    }
    return all;
}

void LiveCoverage::rebuild(const SurveyData& survey, const CoverageChoice& choice) {
    layers.clear();
    for (const HeatmapOptions& options : layerOptions(choice)) {
        Layer layer;
        layer.options = options;
        layer.taken = mapSamples(survey, choice.filter, options, w, h);
        const auto interpolator = makeInterpolator(options.interpolation, layer.taken.samples,
                                                   layer.taken.radius, options.power);
        layer.raster = std::make_unique<CoverageRaster>(*interpolator, w, h, options.step);
        layers.push_back(std::move(layer));
    }
    shown = choice;
}

bool LiveCoverage::refreshLayer(Layer& layer, MapSamples now, PlanArea& changed) const {
    if (now.radius != layer.taken.radius) return false;
    const std::vector<SampleValue> moved = changedSamples(layer.taken.samples, now.samples);
    layer.taken = std::move(now);
    if (moved.empty()) return true;
    // A node feels a sample within the radius; the pixels between nodes follow the nodes
    // up to a step away.
    const double reach = layer.taken.radius + 1;
    const int32_t step = std::max(layer.options.step, 1);
    PlanArea nodes;
    for (const SampleValue& s : moved)
        include(nodes, {clampTo(std::floor(s.x - reach), -1, w + step),
                        clampTo(std::floor(s.y - reach), -1, h + step),
                        clampTo(std::ceil(s.x + reach), -1, w + step),
                        clampTo(std::ceil(s.y + reach), -1, h + step)});
    const auto interpolator = makeInterpolator(layer.options.interpolation, layer.taken.samples,
                                               layer.taken.radius, layer.options.power);
    layer.raster->refresh(*interpolator, nodes.left, nodes.top, nodes.right, nodes.bottom);
    include(changed, {std::max(nodes.left - step, 0), std::max(nodes.top - step, 0),
                      std::min(nodes.right + step, w - 1), std::min(nodes.bottom + step, h - 1)});
    return true;
}

PlanArea LiveCoverage::update(const SurveyData& survey, const CoverageChoice& choice) {
    const PlanArea whole{0, 0, w - 1, h - 1};
    lastFull = false;
    if (!shown || !sameChoice(*shown, choice)) {
        rebuild(survey, choice);
        lastFull = true;
        return whole;
    }
    PlanArea changed;
    for (Layer& layer : layers) {
        MapSamples now = mapSamples(survey, choice.filter, layer.options, w, h);
        if (!refreshLayer(layer, std::move(now), changed)) {
            rebuild(survey, choice);
            lastFull = true;
            return whole;
        }
    }
    return changed;
}

void LiveCoverage::paint(RgbImage& part, int32_t originX, int32_t originY) const {
    if (layers.empty() || !shown) return;
    if (shown->profile) {
        std::array<const MapRaster*, kRequirementCount> rasters{};
        for (size_t i = 0; i < kRequirementCount; ++i)
            rasters[i] = layers[i].raster.get();
        paintSurveyProfile(part, originX, originY, rasters, *shown->profile);
        return;
    }
    paintSurveyValues(part, originX, originY, *layers.front().raster, shown->metric);
}

RgbImage LiveCoverage::legend() const {
    if (!shown) return {};
    return shown->profile ? profileLegendPicture(*shown->profile) : legendPicture(shown->metric);
}

float LiveCoverage::valueAt(int32_t x, int32_t y) const {
    if (layers.empty() || x < 0 || y < 0 || x >= w || y >= h)
        return std::numeric_limits<float>::quiet_NaN();
    std::vector<float> row(static_cast<size_t>(w));
    layers.front().raster->fillRow(y, row.data());
    return row[size_t(x)];
}

double LiveCoverage::radius() const {
    return layers.empty() ? 0 : layers.front().taken.radius;
}

size_t LiveCoverage::mappedPoints() const {
    return layers.empty() ? 0 : layers.front().taken.mappedPoints;
}

} // namespace walkmere
