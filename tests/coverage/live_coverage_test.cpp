// The coverage map the program keeps while a survey grows: after each change it holds what a
// map worked out from scratch holds, whether it refreshed only around the change or not.
#include "coverage/LiveCoverage.h"

#include <gtest/gtest.h>

#include <cmath>

namespace walkmere {
namespace {

constexpr int32_t kWidth = 640, kHeight = 480;

// Four access points on two networks and two channels, heard with a log-distance fall-off.
SurveyPoint pointAt(int32_t x, int32_t y) {
    SurveyPoint p{x, y, 0, {}};
    for (uint8_t ap = 1; ap <= 4; ++ap) {
        const double ax = 80 + 160.0 * ap, ay = ap % 2 ? 120 : 360;
        const double d = std::hypot(x - ax, y - ay) / 10 + 1;
        ApReading r;
        const uint8_t mac[6] = {0, 0x1A, 0x2B, 0x3C, 0x4D, ap};
        r.setMac(mac);
        r.setChannel(ap % 2 ? 1 : 6);
        r.setRssi256(int16_t(int(-35 - 22 * std::log10(d)) * 256));
        r.setSsid(ap <= 2 ? "office" : "guest");
        p.readings.push_back(r);
    }
    return p;
}

RgbImage painted(const LiveCoverage& map) {
    RgbImage img(kWidth, kHeight, 200);
    map.paint(img, 0, 0);
    return img;
}

TEST(LiveCoverage, KeepsTheMapAFreshOneWouldDraw) {
    struct Case {
        const char* name;
        std::optional<PlanScale> scale;
        CoverageChoice choice;
        bool refreshesInPlace; // a calibrated plan's radius stays as points come; the
                               // spacing's may change with any point
    };
    CoverageChoice second;
    second.metric.metric = Metric::Second;
    second.filter.ssid = "office";
    CoverageChoice voice;
    voice.profile = builtInProfile("voice");
    CoverageChoice idw;
    idw.interpolation = Interpolation::Idw;
    const PlanScale tenPerMetre{10, 10, "m"};
    const Case cases[] = {
        {"best, calibrated", tenPerMetre, {}, true},
        {"second of one network", tenPerMetre, second, true},
        {"voice profile", tenPerMetre, voice, true},
        {"idw", tenPerMetre, idw, true},
        {"best, no scale", std::nullopt, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LiveCoverage live(kWidth, kHeight, c.scale);
        SurveyData survey;
        for (int32_t x = 40; x < kWidth; x += 90)
            survey.points.push_back(pointAt(x, 100));
        EXPECT_FALSE(live.update(survey, c.choice).empty());
        EXPECT_TRUE(live.lastUpdateWasFull());

        // A walk across the plan one point at a time, a point deleted, and nothing at all.
        std::vector<std::function<void()>> changes;
        for (int32_t x = 60; x < kWidth; x += 120)
            changes.push_back([&, x] { survey.points.push_back(pointAt(x, 300 + x / 10)); });
        changes.push_back([&] { survey.points.erase(survey.points.begin() + 2); });
        changes.push_back([] {});
        for (size_t k = 0; k < changes.size(); ++k) {
            changes[k]();
            const PlanArea area = live.update(survey, c.choice);
            if (c.refreshesInPlace) {
                EXPECT_FALSE(live.lastUpdateWasFull());
            }
            if (k + 1 == changes.size()) {
                EXPECT_TRUE(area.empty()) << "nothing changed";
            }
            LiveCoverage fresh(kWidth, kHeight, c.scale);
            (void)fresh.update(survey, c.choice);
            ASSERT_TRUE(painted(live).pixels == painted(fresh).pixels) << "after change " << k;
            if (c.refreshesInPlace && k + 1 < changes.size()) {
                EXPECT_LT(int64_t(area.right - area.left + 1) * (area.bottom - area.top + 1),
                          int64_t(kWidth) * kHeight / 2)
                    << "refreshed only around the change";
            }
        }
    }
}

// The values are the map tool's: SurveyValues over the same survey and options.
TEST(LiveCoverage, ValuesAreTheMapToolsValues) {
    SurveyData survey;
    for (int32_t y = 50; y < kHeight; y += 110)
        for (int32_t x = 50; x < kWidth; x += 110)
            survey.points.push_back(pointAt(x, y));
    const PlanScale scale{10, 10, "m"};
    LiveCoverage live(kWidth, kHeight, scale);
    (void)live.update(survey, {});
    HeatmapOptions options;
    options.radius = scale.pixels(kDefaultRadiusMetres);
    const SurveyValues tool(survey, {}, options, kWidth, kHeight);
    std::vector<float> row(kWidth);
    int compared = 0;
    for (int32_t y = 0; y < kHeight; y += 37) {
        tool.raster->fillRow(y, row.data());
        for (int32_t x = 0; x < kWidth; x += 41) {
            const float v = live.valueAt(x, y);
            EXPECT_TRUE(std::isnan(v) ? std::isnan(row[x]) : v == row[x]) << x << "," << y;
            compared += !std::isnan(v);
        }
    }
    EXPECT_GT(compared, 50);
    EXPECT_EQ(live.radius(), 50);
}

} // namespace
} // namespace walkmere
