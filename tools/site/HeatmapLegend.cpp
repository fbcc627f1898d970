#include "tools/site/HeatmapRender.h"

#include "siteview/RssiColour.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace walkmere::sitetool {

namespace {

// A 5 x 7 pixel font with the few characters the legend needs; each row's five bits run
// from the left (bit 4) to the right (bit 0).
struct Glyph {
    char c;
    uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'<', {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02}},
    {'d', {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'m', {0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11}},
};

void fillRect(RgbImage& img, int32_t x0, int32_t y0, int32_t x1, int32_t y1, Rgb c) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, img.width);
    y1 = std::min(y1, img.height);
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x) {
            uint8_t* p = img.at(x, y);
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
}

void drawText(RgbImage& img, int32_t x, int32_t y, const std::string& text, int32_t scale) {
    for (char ch : text) {
        for (const Glyph& g : kGlyphs) {
            if (g.c != ch) continue;
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g.rows[row] & (0x10 >> col))
                        fillRect(img, x + col * scale, y + row * scale, x + (col + 1) * scale,
                                 y + (row + 1) * scale, {0, 0, 0});
        }
        x += 6 * scale;
    }
}

} // namespace

void drawLegend(RgbImage& image, double threshold) {
    // Sized to the plan: one font pixel per 500 plan pixels of the smaller side.
    const int32_t s = std::max(1, std::min(image.width, image.height) / 500);
    const int32_t margin = 4 * s;
    const int32_t barWidth = 12 * s;
    const int32_t barHeight = 160 * s;
    const int32_t boxWidth = margin * 3 + barWidth + 4 * 6 * s + margin;
    const int32_t boxHeight = margin * 4 + 7 * s + barHeight + 10 * s + 8 * s;
    const int32_t left = 2 * margin, top = 2 * margin;
    fillRect(image, left - s, top - s, left + boxWidth + s, top + boxHeight + s, {0, 0, 0});
    fillRect(image, left, top, left + boxWidth, top + boxHeight, {255, 255, 255});

    drawText(image, left + margin, top + margin, "dBm", s);
    const int32_t barTop = top + 2 * margin + 7 * s;
    const int32_t barLeft = left + margin;
    for (int32_t y = 0; y < barHeight; ++y) {
        const double dbm = -20.0 - 80.0 * y / (barHeight - 1);
        fillRect(image, barLeft, barTop + y, barLeft + barWidth, barTop + y + 1,
                 rssiColour(static_cast<int16_t>(std::lround(dbm))));
    }
    for (int dbm = -20; dbm >= -100; dbm -= 20) {
        const int32_t y = barTop + (-20 - dbm) * (barHeight - 1) / 80;
        drawText(image, barLeft + barWidth + 3 * s, y - 3 * s, std::to_string(dbm), s);
    }
    // The not-covered swatch, hatched as on the map, labelled "<threshold".
    const int32_t swatchTop = barTop + barHeight + 3 * margin;
    for (int32_t y = 0; y < 8 * s; ++y)
        for (int32_t x = 0; x < barWidth; ++x) {
            const bool line = ((x + y) / s) % 6 < 2;
            const uint8_t v = line ? 70 : 170;
            fillRect(image, barLeft + x, swatchTop + y, barLeft + x + 1, swatchTop + y + 1,
                     {v, v, v});
        }
    const std::string dbm = std::to_string(static_cast<int>(std::lround(threshold)));
    drawText(image, barLeft + barWidth + 2 * s, swatchTop, "<" + dbm, s);
}

} // namespace walkmere::sitetool
