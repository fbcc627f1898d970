#pragma once
// Scenes with something of everything, for the tests that compare whole pictures.
#include <QImage>

#include <memory>
#include <vector>

#include "scan/ApRecord.h"
#include "siteview/SiteMapPainter.h"
#include "siteview/Viewport.h"

namespace walkmere::sample {

// A site map: a patterned plan, survey points joined by the walk path, a placed AP in the
// open and one under the cursor, both banners, rulers (the last vertical label under the
// status line) and the status line. The scene points into the object: keep it alive.
struct SiteMap {
    QImage plan{600, 500, QImage::Format_RGB32};
    QImage cursor = siteCursorImage();
    CViewport viewport;
    std::vector<PointIndexEntry> points;
    SiteMapScene scene;

    explicit SiteMap(bool open = true) {
        for (int y = 0; y < plan.height(); ++y)
            for (int x = 0; x < plan.width(); ++x)
                plan.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, ((x + y) * 3) & 255));
        viewport.setBounds(plan.width(), plan.height());
        viewport.initView(227, 227);
        for (int i = 0; i < 6; ++i)
            points.push_back(
                {40 + 30 * i, 60 + 20 * i, int16_t(-90 + 12 * i), 3, KIND_SURVEY_POINT, 0});
        points.push_back({150, 40, -100, 0, KIND_DYNAMIC_AP, 0});
        points.push_back({113, 113, -60, 0, KIND_DYNAMIC_AP, 0});
        scene.points = points;
        scene.viewport = &viewport;
        scene.locationCount = 6;
        scene.readingTotal = 18;
        scene.noApHeard = true;
        scene.placingAp = true;
        scene.siteOpen = open;
        scene.floorPlan = &plan;
        scene.pixelsPerUnitX = 10;
        scene.pixelsPerUnitY = 12;
        scene.cursor = &cursor;
    }
    SiteMap(const SiteMap&) = delete;
};

// Three certified APs for the scan screen.
inline std::vector<ApRecord> scanAps() {
    std::vector<ApRecord> aps(3);
    for (size_t i = 0; i < aps.size(); ++i) {
        const uint8_t mac[6] = {0x00, 0xa0, 0xf8, 0x12, 0x34, uint8_t(i)};
        aps[i].setMac(mac);
        aps[i].setChannelCode(5180);
        aps[i].setRssi(int8_t(-50 - 7 * int(i)));
        aps[i].setSsid("office");
    }
    return aps;
}

} // namespace walkmere::sample
