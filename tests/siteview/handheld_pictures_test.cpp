// At the handheld's size and scale 1 the site map and the scan screen are exactly the
// pictures kept in pictures/ (taken before the program learned larger windows and scales).
// WALKMERE_WRITE_PICTURES=DIR writes them anew into DIR instead of comparing.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <vector>

#include "scan/ScanPainter.h"
#include "siteview/SiteMapPainter.h"
#include "siteview/Viewport.h"

namespace walkmere {
namespace {

QImage siteMap(bool open) {
    QImage plan(600, 500, QImage::Format_RGB32);
    for (int y = 0; y < plan.height(); ++y)
        for (int x = 0; x < plan.width(); ++x)
            plan.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, ((x + y) * 3) & 255));
    const QImage cursor = siteCursorImage();
    CViewport vp;
    vp.setBounds(plan.width(), plan.height());
    vp.initView(227, 227);
    std::vector<PointIndexEntry> points;
    for (int i = 0; i < 6; ++i)
        points.push_back(
            {40 + 30 * i, 60 + 20 * i, int16_t(-90 + 12 * i), 3, KIND_SURVEY_POINT, 0});
    points.push_back({150, 40, -100, 0, KIND_DYNAMIC_AP, 0});
    points.push_back({113, 113, -60, 0, KIND_DYNAMIC_AP, 0}); // under the cursor
    SiteMapScene s;
    s.viewport = &vp;
    s.points = points;
    s.locationCount = 6;
    s.readingTotal = 18;
    s.noApHeard = true;
    s.placingAp = true;
    s.siteOpen = open;
    s.floorPlan = &plan;
    s.pixelsPerUnitX = 10;
    s.pixelsPerUnitY = 12;
    s.cursor = &cursor;
    QImage img(227, 255, QImage::Format_RGB32);
    paintSiteMap(img, s);
    return img;
}

QImage scanView() {
    std::vector<ApRecord> aps(3);
    for (size_t i = 0; i < aps.size(); ++i) {
        const uint8_t mac[6] = {0x00, 0xa0, 0xf8, 0x12, 0x34, uint8_t(i)};
        aps[i].setMac(mac);
        aps[i].setChannelCode(5180);
        aps[i].setRssi(int8_t(-50 - 7 * int(i)));
        aps[i].setSsid("office");
    }
    QImage img(240, 268, QImage::Format_RGB32);
    paintScanView(img, 64, aps);
    return img;
}

TEST(HandheldPictures, AtScaleOneTheViewsPaintWhatTheyPaintedBefore) {
    const char* source = std::getenv("WALKMERE_SOURCE_DIR");
    ASSERT_TRUE(source && *source) << "WALKMERE_SOURCE_DIR is not set";
    const QString kept = QString(source) + "/tests/siteview/pictures/";
    const char* write = std::getenv("WALKMERE_WRITE_PICTURES");
    const std::vector<std::pair<QString, QImage>> pictures = {
        {"site-map.png", siteMap(true)}, {"no-site.png", siteMap(false)}, {"scan.png", scanView()}};
    for (const auto& [name, now] : pictures) {
        if (write && *write) {
            ASSERT_TRUE(now.save(QString(write) + "/" + name));
            continue;
        }
        const QImage before = QImage(kept + name).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(before.isNull()) << name.toStdString();
        EXPECT_TRUE(before == now) << name.toStdString() << " differs from the picture kept";
    }
}

} // namespace
} // namespace walkmere
