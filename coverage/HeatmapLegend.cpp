#include "coverage/HeatmapRender.h"

#include "coverage/MapText.h"
#include "coverage/RssiColour.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace walkmere {

namespace {

// A swatch hatched as the map's areas that miss the mark.
void drawHatchedSwatch(RgbImage& image, int32_t left, int32_t top, int32_t width, int32_t s) {
    for (int32_t y = 0; y < 8 * s; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const bool line = ((x + y) / s) % 6 < 2;
            const uint8_t v = line ? 70 : 170;
            fillRect(image, left + x, top + y, left + x + 1, top + y + 1, {v, v, v});
        }
}

} // namespace

void drawLegend(RgbImage& image, const MetricChoice& choice) {
    // Sized to the plan: one font pixel per 500 plan pixels of the smaller side.
    const int32_t s = std::max(1, std::min(image.width, image.height) / 500);
    const int32_t margin = 4 * s;
    const int32_t lineHeight = 10 * s; // 7 rows of the font and a gap
    const int32_t barWidth = 12 * s;
    const int32_t barHeight = 160 * s;
    const int32_t swatchHeight = 8 * s, swatchStep = 12 * s;

    std::vector<std::string> heading{legendTitle(choice.metric), legendUnit(choice)};
    if (choice.band != Band::Any) heading.push_back(bandName(choice.band) + std::string(" ONLY"));
    const std::vector<CountSwatch> swatches = countSwatches(choice.metric);
    size_t widest = 4; // "-100" beside the ramp
    for (const std::string& line : heading)
        widest = std::max(widest, line.size());
    const int32_t scaleHeight =
        swatches.empty() ? barHeight + 3 * margin + swatchHeight
                         : int32_t(swatches.size()) * swatchStep - (swatchStep - swatchHeight);
    const int32_t boxWidth =
        margin + std::max(int32_t(widest) * 6 * s, barWidth + 3 * s + 4 * 6 * s) + margin;
    const int32_t boxHeight =
        margin + int32_t(heading.size()) * lineHeight + margin + scaleHeight + margin;
    const int32_t left = 2 * margin, top = 2 * margin;
    fillRect(image, left - s, top - s, left + boxWidth + s, top + boxHeight + s, {0, 0, 0});
    fillRect(image, left, top, left + boxWidth, top + boxHeight, {255, 255, 255});

    const int32_t textLeft = left + margin;
    for (size_t i = 0; i < heading.size(); ++i)
        drawText(image, textLeft, top + margin + int32_t(i) * lineHeight, heading[i], s);
    const int32_t scaleTop = top + margin + int32_t(heading.size()) * lineHeight + margin;

    if (!swatches.empty()) {
        for (size_t i = 0; i < swatches.size(); ++i) {
            const int32_t y = scaleTop + int32_t(i) * swatchStep;
            const float value = float(swatches[i].value);
            if (missesMark(choice, value))
                drawHatchedSwatch(image, textLeft, y, barWidth, s);
            else
                fillRect(image, textLeft, y, textLeft + barWidth, y + swatchHeight,
                         metricColour(choice.metric, value));
            drawText(image, textLeft + barWidth + 3 * s, y, swatches[i].label, s);
        }
        return;
    }
    for (int32_t y = 0; y < barHeight; ++y) {
        const double dbm = -20.0 - 80.0 * y / (barHeight - 1);
        fillRect(image, textLeft, scaleTop + y, textLeft + barWidth, scaleTop + y + 1,
                 rssiColour(static_cast<int16_t>(std::lround(dbm))));
    }
    for (int dbm = -20; dbm >= -100; dbm -= 20) {
        const int32_t y = scaleTop + (-20 - dbm) * (barHeight - 1) / 80;
        drawText(image, textLeft + barWidth + 3 * s, y - 3 * s, std::to_string(dbm), s);
    }
    // The not-covered swatch, labelled "<threshold".
    const int32_t swatchTop = scaleTop + barHeight + 3 * margin;
    drawHatchedSwatch(image, textLeft, swatchTop, barWidth, s);
    const std::string dbm = std::to_string(static_cast<int>(std::lround(choice.threshold)));
    drawText(image, textLeft + barWidth + 2 * s, swatchTop, "<" + dbm, s);
}

RgbImage cutOutLegend(const RgbImage& drawn) {
    // The box's black border starts at (7, 7) on a picture this small (one font pixel per
    // picture pixel) and runs right and down as far as the box reaches.
    constexpr int32_t kCorner = 7;
    const auto black = [&](int32_t x, int32_t y) {
        const uint8_t* p = drawn.at(x, y);
        return p[0] == 0 && p[1] == 0 && p[2] == 0;
    };
    if (drawn.width <= kCorner || drawn.height <= kCorner || !black(kCorner, kCorner)) return {};
    int32_t right = kCorner, bottom = kCorner;
    while (right + 1 < drawn.width && black(right + 1, kCorner))
        ++right;
    while (bottom + 1 < drawn.height && black(kCorner, bottom + 1))
        ++bottom;
    RgbImage box(right - kCorner + 1, bottom - kCorner + 1, 0);
    for (int32_t y = 0; y < box.height; ++y)
        std::copy_n(drawn.at(kCorner, kCorner + y), size_t(box.width) * 3, box.at(0, y));
    return box;
}

RgbImage legendPicture(const MetricChoice& choice) {
    RgbImage blank(400, 400, 255);
    drawLegend(blank, choice);
    return cutOutLegend(blank);
}

} // namespace walkmere
