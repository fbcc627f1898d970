#include "coverage/HeatmapRender.h"

#include "coverage/MapText.h"
#include "coverage/RssiColour.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace walkmere {

namespace {

// Share of the colour in a covered pixel; the rest is the plan, so walls stay readable.
constexpr int kColourShare = 150; // of 256

// The ramp for every whole dBm the colours distinguish (-100 to -20).
std::array<Rgb, 81> rampTable() {
    std::array<Rgb, 81> table{};
    for (int i = 0; i <= 80; ++i)
        table[i] = rssiColour(static_cast<int16_t>(-100 + i));
    return table;
}

uint8_t mix(uint8_t plan, uint8_t colour, int share) {
    return static_cast<uint8_t>((plan * (256 - share) + colour * share) >> 8);
}

void setPixel(RgbImage& img, int32_t x, int32_t y, Rgb c) {
    if (x < 0 || y < 0 || x >= img.width || y >= img.height) return;
    uint8_t* p = img.at(x, y);
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

// Whether a marker of radius r around (cx, y) touches the picture; markers far off the plan
// are skipped before their coordinates are added to.
bool touches(const RgbImage& img, int32_t cx, int32_t cy, int32_t r) {
    return int64_t{cx} >= -r && int64_t{cy} >= -r && int64_t{cx} < int64_t{img.width} + r &&
           int64_t{cy} < int64_t{img.height} + r;
}

void drawDisc(RgbImage& img, int32_t cx, int32_t cy, int32_t r, Rgb fill) {
    if (!touches(img, cx, cy, r)) return;
    for (int32_t dy = -r; dy <= r; ++dy)
        for (int32_t dx = -r; dx <= r; ++dx) {
            const int32_t d2 = dx * dx + dy * dy;
            if (d2 > r * r) continue;
            setPixel(img, cx + dx, cy + dy, d2 > (r - 1) * (r - 1) ? Rgb{0, 0, 0} : fill);
        }
}

void drawCross(RgbImage& img, int32_t cx, int32_t cy, int32_t r) {
    if (!touches(img, cx, cy, 2 * r)) return;
    for (int32_t d = -r; d <= r; ++d)
        for (int32_t t = 0; t < std::max(1, r / 3); ++t) {
            setPixel(img, cx + d + t, cy + d, {0, 0, 0});
            setPixel(img, cx + d + t, cy - d, {0, 0, 0});
        }
}

// A placed access point: a blue diamond with a black outline.
void drawApMarker(RgbImage& img, int32_t cx, int32_t cy, int32_t r) {
    if (!touches(img, cx, cy, r)) return;
    for (int32_t dy = -r; dy <= r; ++dy)
        for (int32_t dx = -r; dx <= r; ++dx) {
            const int32_t d = std::abs(dx) + std::abs(dy);
            if (d > r) continue;
            setPixel(img, cx + dx, cy + dy, d >= r - 1 ? Rgb{0, 0, 0} : Rgb{40, 80, 230});
        }
}

// The samples that can reach the interpolation nodes of a width x height plan (they run to
// one step past the last pixel) within `reach`. The others change no pixel; left in, two
// points at +-2^31 stretch the grid's cells over billions of pixels, every other point
// lands in one cell, and the work grows with the square of the point count.
std::vector<SampleValue> withinReach(const std::vector<SampleValue>& samples, int32_t width,
                                     int32_t height, double reach, int32_t step) {
    std::vector<SampleValue> kept;
    for (const SampleValue& s : samples)
        if (s.x >= -reach && s.y >= -reach && s.x <= width + step + reach &&
            s.y <= height + step + reach)
            kept.push_back(s);
    return kept;
}

// How a map draws a pixel without a value.
enum class NoValue {
    ShowsPlan,  // a survey's map beyond the reach of its points
    MissesMark, // a prediction where nothing is heard
};

// Colours the values over the plan, and counts their share.
// `img` is the part of the plan whose top left pixel is (originX, originY).
CoverageShare paintValues(RgbImage& img, const MapRaster& values, const MetricChoice& choice,
                          NoValue noValue, int32_t originX = 0, int32_t originY = 0) {
    static const std::array<Rgb, 81> ramp = rampTable();
    const bool inDbm = choice.metric == Metric::Best || choice.metric == Metric::Second;
    CoverageShare share;
    // Hatching of the areas that miss the mark: diagonal lines every 12 pixels, 3 wide.
    const int32_t hatchPeriod = 12, hatchWidth = 3;
    const auto hatch = [&](uint8_t* p, int32_t x, int32_t y) {
        const bool line = (x + y) % hatchPeriod < hatchWidth;
        const uint8_t grey = line ? 60 : 150;
        for (int k = 0; k < 3; ++k)
            p[k] = mix(p[k], grey, 190);
    };
    std::vector<float> row(static_cast<size_t>(std::max(values.width(), 0)));
    const int32_t columns = std::min(img.width, values.width() - originX);
    for (int32_t py = 0; py < img.height && originY + py < values.height(); ++py) {
        const int32_t y = originY + py;
        values.fillRow(y, row.data());
        uint8_t* p = img.at(0, py);
        for (int32_t px = 0; px < columns; ++px, p += 3) {
            const int32_t x = originX + px;
            const float v = row[size_t(x)];
            if (std::isnan(v)) {
                if (noValue == NoValue::ShowsPlan) continue;
                ++share.surveyedPixels;
                hatch(p, x, y);
                continue;
            }
            ++share.surveyedPixels;
            if (meetsTarget(choice.metric, v)) ++share.meetingTarget;
            if (inDbm && v >= -67.0f) ++share.atLeast67;
            if (inDbm && v >= -70.0f) ++share.atLeast70;
            if (missesMark(choice, v)) {
                hatch(p, x, y);
                continue;
            }
            // Rounded to the nearest dBm; anything below the ramp clamps to its red end.
            const Rgb c = inDbm ? ramp[size_t(std::clamp(static_cast<int>(v + 100.5f), 0, 80))]
                                : metricColour(choice.metric, v);
            p[0] = mix(p[0], c.r, kColourShare);
            p[1] = mix(p[1], c.g, kColourShare);
            p[2] = mix(p[2], c.b, kColourShare);
        }
    }
    return share;
}

// Markers sized to the plan so they stay visible on large plans.
int32_t markerRadius(const RgbImage& img) {
    return std::max(4, std::min(img.width, img.height) / 150);
}

// A label's white box; its right and bottom edges are the first pixels past it.
struct LabelBox {
    int64_t left, top, right, bottom;
    bool overlaps(const LabelBox& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
};

// A name in a white box to the right of an access point's marker of radius r, or to its
// left where the right runs off the picture, moved down past the boxes already `drawn`
// that it would cover (the radios of one box stand at one spot). Long names are cut to
// what a label holds.
void drawApName(RgbImage& img, int32_t cx, int32_t cy, int32_t r, const std::string& name,
                std::vector<LabelBox>& drawn) {
    constexpr size_t kLabelCharacters = 40;
    const std::string text = fontText(name).substr(0, kLabelCharacters);
    if (text.empty() || !touches(img, cx, cy, r)) return;
    // The legend's font size.
    const int32_t s = std::max(1, std::min(img.width, img.height) / 500);
    const int32_t width = textWidth(text, s) - s, height = 7 * s;
    int32_t left = cx + r + 3 * s;
    if (int64_t{left} + width + s > img.width) left = cx - r - 3 * s - width;
    LabelBox box{left - s, cy - height / 2 - s, int64_t{left} + width + s,
                 cy - height / 2 + height + s};
    for (size_t i = 0; i < drawn.size(); ++i)
        if (box.overlaps(drawn[i])) {
            const int64_t down = drawn[i].bottom - box.top;
            box.top += down;
            box.bottom += down;
            i = size_t(-1); // look again from the first
        }
    if (box.top > img.height) return;
    drawn.push_back(box);
    fillRect(img, int32_t(box.left), int32_t(box.top), int32_t(box.right), int32_t(box.bottom),
             {255, 255, 255});
    drawText(img, left, int32_t(box.top + s), text, s);
}

} // namespace

// The names first, so that no name hides another access point's marker.
void drawNamedAps(RgbImage& img, std::span<const NamedAp> accessPoints) {
    const int32_t r = markerRadius(img);
    std::vector<LabelBox> drawn;
    for (const NamedAp& ap : accessPoints)
        drawApName(img, ap.x, ap.y, r + 2, ap.name, drawn);
    for (const NamedAp& ap : accessPoints)
        drawApMarker(img, ap.x, ap.y, r + 2);
}

void drawSurveyMarks(RgbImage& img, const SurveyData& data, Rgb pointColour,
                     std::span<const NamedAp> named) {
    const int32_t r = markerRadius(img);
    for (const SurveyPoint& p : data.points)
        drawDisc(img, p.x, p.y, r, pointColour);
    for (const PlacedAp& ap : data.accessPoints)
        drawApMarker(img, ap.x, ap.y, r + 2);
    drawNamedAps(img, named);
}

MapSamples mapSamples(const SurveyData& data, const NetworkFilter& filter,
                      const HeatmapOptions& options, int32_t width, int32_t height) {
    const std::vector<SampleValue> samples = metricSamples(data, filter, options);
    MapSamples out;
    out.mappedPoints = samples.size();
    // The spacing of the survey is judged from the points on the plan or within a plan's
    // size of it; one farther off is no point of this survey.
    const double planSide = std::max(width, height);
    out.radius = options.radius > 0
                     ? options.radius
                     : CoverageGrid::defaultRadius(withinReach(samples, width, height, planSide, 0),
                                                   width, height);
    out.samples =
        withinReach(samples, width, height, std::max(out.radius, 1.0), std::max(options.step, 1));
    return out;
}

SurveyValues::SurveyValues(const SurveyData& data, const NetworkFilter& filter,
                           const HeatmapOptions& options, int32_t width, int32_t height) {
    const MapSamples taken = mapSamples(data, filter, options, width, height);
    mappedPoints = taken.mappedPoints;
    radius = taken.radius;
    const std::unique_ptr<Interpolator> interpolator =
        makeInterpolator(options.interpolation, taken.samples, radius, options.power);
    raster = std::make_unique<CoverageRaster>(*interpolator, width, height, options.step);
}

CoverageShare paintSurveyValues(RgbImage& part, int32_t originX, int32_t originY,
                                const MapRaster& values, const MetricChoice& choice) {
    return paintValues(part, values, choice, NoValue::ShowsPlan, originX, originY);
}

Heatmap renderHeatmap(RgbImage plan, const SurveyData& data, const NetworkFilter& filter,
                      const HeatmapOptions& options) {
    const SurveyValues values(data, filter, options, plan.width, plan.height);
    Heatmap map;
    map.mappedPoints = values.mappedPoints;
    map.radius = values.radius;
    const CoverageRaster& raster = *values.raster;

    map.image = std::move(plan);
    RgbImage& img = map.image;
    map.share = paintValues(img, raster, options, NoValue::ShowsPlan);

    const int32_t r = markerRadius(img);
    for (const SurveyPoint& p : data.points) {
        if (const auto v = metricValue(p, filter, options))
            drawDisc(img, p.x, p.y, r, metricColour(options.metric, static_cast<float>(*v)));
        else
            drawCross(img, p.x, p.y, r - 1);
    }
    for (const PlacedAp& ap : data.accessPoints)
        drawApMarker(img, ap.x, ap.y, r + 2);
    drawNamedAps(img, options.named);
    drawLegend(img, options);
    return map;
}

Heatmap renderValueMap(RgbImage plan, const MapRaster& values, const MetricChoice& choice,
                       std::span<const NamedAp> accessPoints) {
    Heatmap map;
    map.image = std::move(plan);
    RgbImage& img = map.image;
    map.share = paintValues(img, values, choice, NoValue::MissesMark);
    drawNamedAps(img, accessPoints);
    drawLegend(img, choice);
    return map;
}

} // namespace walkmere
