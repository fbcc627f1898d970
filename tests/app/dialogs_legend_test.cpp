#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <algorithm>

#include "app/RssiLegend.h"
#include "coverage/RssiColour.h"

namespace walkmere {
namespace {

// A colour the legend never uses, so every pixel it leaves alone can be told apart.
const QRgb kUntouched = qRgb(10, 20, 30);

QImage renderLegend() {
    QImage img(240, 40, QImage::Format_RGB32);
    img.fill(kUntouched);
    QPainter p(&img);
    DrawRssiLegend(p);
    return img;
}

QRgb rampAt(int v) {
    const Rgb c = rssiColour(static_cast<int16_t>(v));
    return qRgb(c.r, c.g, c.b);
}

bool anyPixel(const QImage& img, QRect area, QRgb colour) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (img.pixel(x, y) == colour) return true;
        }
    }
    return false;
}

TEST(RssiLegend, EndStripsSitWhereTheScaleSays) {
    const QImage img = renderLegend();
    EXPECT_EQ(img.pixel(41, 27), qRgb(255, 0, 0)); // -100 dBm, pure red, from x = 40
    EXPECT_EQ(img.pixel(198, 27), rampAt(-21));    // the last strip starts at x = 198
    EXPECT_NE(rampAt(-21), qRgb(255, 255, 255));   // -20 (white) has no strip
}

TEST(RssiLegend, EveryStripHasItsOwnColourInsideTheFrame) {
    const QImage img = renderLegend();
    for (int v = -100; v <= -21; ++v) {
        for (int x = 2 * (v + 120); x < 2 * (v + 120) + 2; ++x) {
            if (x == 40 || x == 199) continue; // the frame's columns
            for (int y = 21; y <= 33; ++y) {
                ASSERT_EQ(img.pixel(x, y), rampAt(v)) << "v=" << v << " x=" << x << " y=" << y;
            }
        }
    }
}

TEST(RssiLegend, FrameCoversOnlyTheOutermostPixels) {
    const QImage img = renderLegend();
    const QRgb black = qRgb(0, 0, 0);
    for (int x = 40; x <= 199; ++x) {
        EXPECT_EQ(img.pixel(x, 20), black) << x;
        EXPECT_EQ(img.pixel(x, 34), black) << x;
    }
    for (int y = 20; y <= 34; ++y) {
        EXPECT_EQ(img.pixel(40, y), black) << y;
        EXPECT_EQ(img.pixel(199, y), black) << y;
    }
    // GDI's frame stops at right - 1 and bottom - 1: nothing at x = 200 or y = 35.
    for (int y = 19; y <= 35; ++y)
        EXPECT_EQ(img.pixel(200, y), kUntouched) << y;
    for (int x = 41; x <= 198; ++x)
        EXPECT_EQ(img.pixel(x, 35), kUntouched) << x;
}

TEST(RssiLegend, GapsBesideTheStripStayUntouched) {
    const QImage img = renderLegend();
    for (int x = 200; x <= 209; ++x)
        EXPECT_EQ(img.pixel(x, 27), kUntouched) << x;
    for (int x = 30; x <= 39; ++x)
        EXPECT_EQ(img.pixel(x, 27), kUntouched) << x;
}

TEST(RssiLegend, CaptionAndEndLabelsAreBlackOnWhite) {
    const QImage img = renderLegend();
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    const QRect caption(0, 0, 240, 15), right(210, 20, 25, 15), left(0, 20, 30, 15);
    for (const QRect& r : {caption, right, left}) {
        EXPECT_TRUE(anyPixel(img, r, black)) << r.x() << "," << r.y();
        EXPECT_TRUE(anyPixel(img, r, white)) << r.x() << "," << r.y();
    }
    // The caption is centred: its ink is spread about the middle, not pushed to one side.
    int first = 240, last = -1;
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 240; ++x) {
            if (img.pixel(x, y) != black) continue;
            first = std::min(first, x);
            last = std::max(last, x);
        }
    }
    ASSERT_LT(first, last);
    EXPECT_NEAR((first + last) / 2.0, 120.0, 4.0);
}

TEST(RssiLegend, NothingFallsLeftOfTheWindowEdge) {
    // Drawn 10 pixels in, so that anything that would land left of x = 0 shows.
    QImage img(250, 40, QImage::Format_RGB32);
    img.fill(kUntouched);
    QPainter p(&img);
    p.translate(10, 0);
    DrawRssiLegend(p);
    p.end();
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(img.pixel(x, y), kUntouched) << x << "," << y;
    }
    EXPECT_TRUE(anyPixel(img, QRect(10, 20, 5, 15), qRgb(0, 0, 0))); // the minus sign
}

TEST(RssiLegend, LeavesThePainterAsItFoundIt) {
    QImage img(240, 40, QImage::Format_RGB32);
    QPainter p(&img);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(23);
    p.setFont(font);
    p.setPen(Qt::red);
    p.setBackgroundMode(Qt::TransparentMode);
    DrawRssiLegend(p);
    EXPECT_EQ(p.font().pixelSize(), 23);
    EXPECT_EQ(p.pen().color(), QColor(Qt::red));
    EXPECT_EQ(p.backgroundMode(), Qt::TransparentMode);
}

} // namespace
} // namespace walkmere
