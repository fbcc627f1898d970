// Pictures at a whole-number UI scale: every line, fill and bitmap is an N x N block of the
// scale-1 picture, and the texts are drawn again at device resolution, not magnified.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <vector>

#include "sample_pictures.h"
#include "scan/ScanPainter.h"

namespace walkmere {
namespace {

struct Picture {
    QImage image;
    DrawnTexts texts;
};

Picture siteMap(int scale) {
    sample::SiteMap site;
    Picture p;
    site.scene.drawnTexts = &p.texts;
    p.image = composeSiteMap(QSize(240, 268), scale, site.scene);
    return p;
}

Picture scanView(int scale) {
    const std::vector<ApRecord> aps = sample::scanAps();
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
