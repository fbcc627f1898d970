// Pictures at a whole-number UI scale: every line, fill and bitmap is an N x N block of the
// scale-1 picture, and the texts are drawn again at device resolution, not magnified.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <vector>

#include "scan/ScanPainter.h"
#include "siteview/SiteMapPainter.h"
#include "siteview/Viewport.h"

namespace walkmere {
namespace {

struct Picture {
    QImage image;
    DrawnTexts texts;
};

// A site map with something of everything: a patterned plan, points with the walk path, a
// placed AP, both banners, rulers and the status line.
Picture siteMap(int scale) {
    static QImage plan = [] {
        QImage img(600, 500, QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, ((x + y) * 3) & 255));
        return img;
    }();
    static const QImage cursor = siteCursorImage();
    CViewport vp;
    vp.setBounds(plan.width(), plan.height());
    vp.initView(240, 240);
    std::vector<PointIndexEntry> points;
    for (int i = 0; i < 6; ++i)
        points.push_back(
            {40 + 30 * i, 60 + 20 * i, int16_t(-90 + 12 * i), 3, KIND_SURVEY_POINT, 0});
    points.push_back({150, 40, -100, 0, KIND_DYNAMIC_AP, 0});
    Picture p;
    SiteMapScene s;
    s.viewport = &vp;
    s.points = points;
    s.locationCount = 6;
    s.readingTotal = 18;
    s.noApHeard = true;
    s.placingAp = true;
    s.siteOpen = true;
    s.floorPlan = &plan;
    s.pixelsPerUnitX = 10;
    s.pixelsPerUnitY = 12; // the last ruler label goes under the status line
    s.cursor = &cursor;
    s.drawnTexts = &p.texts;
    p.image = composeSiteMap(QSize(240, 268), scale, s);
    return p;
}

Picture scanView(int scale) {
    std::vector<ApRecord> aps(3);
    for (size_t i = 0; i < aps.size(); ++i) {
        const uint8_t mac[6] = {0x00, 0xa0, 0xf8, 0x12, 0x34, uint8_t(i)};
        aps[i].setMac(mac);
        aps[i].setChannelCode(5180);
        aps[i].setRssi(int8_t(-50 - 7 * int(i)));
        aps[i].setSsid("office");
    }
    Picture p;
    p.image = composeScanView(QSize(240, 268), scale, 64, aps);
    // The texts' places: the same at every scale, so take them from a recorded scale-1 paint.
    QImage unused(240, 268, QImage::Format_RGB32);
    paintScanView(unused, 64, aps, &p.texts);
    return p;
}

bool inAnyText(const DrawnTexts& texts, int x, int y) {
    for (const DrawnText& t : texts)
        if (t.rect.contains(x, y)) return true;
    return false;
}

TEST(ScaledPicture, FlatRegionsAreBlocksAndTextsAreDrawnAtDeviceResolution) {
    for (const auto& make : {siteMap, scanView}) {
        const Picture one = make(1);
        ASSERT_FALSE(one.texts.empty());
        for (const int n : {2, 3}) {
            SCOPED_TRACE(n);
            const Picture big = make(n);
            ASSERT_EQ(big.image.size(), one.image.size() * n);
            EXPECT_EQ(big.image.devicePixelRatio(), n);
            int differing = 0;
            for (int y = 0; y < one.image.height(); ++y)
                for (int x = 0; x < one.image.width(); ++x) {
                    if (inAnyText(one.texts, x, y)) continue;
                    for (int dy = 0; dy < n; ++dy)
                        for (int dx = 0; dx < n; ++dx)
                            differing +=
                                big.image.pixel(x * n + dx, y * n + dy) != one.image.pixel(x, y);
                }
            EXPECT_EQ(differing, 0)
                << "outside the texts the picture is the scale-1 one, magnified";

            // Inside the texts the glyphs are new: some device pixel of every text differs from
            // its neighbours within one block, which a magnified scale-1 raster never does.
            for (size_t i = 0; i < one.texts.size(); ++i) {
                const DrawnText& t = one.texts[i];
                // A label centred past the edge does not show, nor one under a later band.
                bool hidden = !one.image.rect().contains(t.rect);
                for (size_t j = i + 1; j < one.texts.size(); ++j)
                    hidden = hidden || one.texts[j].rect.intersects(t.rect);
                if (hidden) continue;
                bool finer = false;
                const QRect r = t.rect & one.image.rect();
                for (int y = r.top(); y <= r.bottom() && !finer; ++y)
                    for (int x = r.left(); x <= r.right() && !finer; ++x) {
                        const QRgb first = big.image.pixel(x * n, y * n);
                        for (int d = 1; d < n * n && !finer; ++d)
                            finer = big.image.pixel(x * n + d % n, y * n + d / n) != first;
                    }
                EXPECT_TRUE(finer) << t.text.toStdString() << " looks magnified";
            }
        }
    }
}

} // namespace
} // namespace walkmere
