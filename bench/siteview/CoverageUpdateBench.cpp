// How soon the coverage map in the view follows a new survey point: a 4000 x 3000 plan at
// 12.9 pixels a metre with 1,000 points in its site file, the map shown.
//
//   AfterCommit  one point committed through the store, then the layer brought up to date:
//                the survey read again from the file, the values within the radius of the
//                new point worked out again and that piece of the plan coloured anew
//   WholeMap     the map worked out and coloured from nothing (turning it on, or a new choice)
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>

#include <cmath>
#include <random>

#include "siteview/CoverageLayer.h"
#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"
#include "testkit/DataHome.h"
#include "testkit/SiteFileBuilder.h"
#include "testkit/SiteToolTesting.h"
#include "testkit/TempDir.h"

namespace walkmere {
namespace {

constexpr int32_t kWidth = 4000, kHeight = 3000;
constexpr int kPoints = 1000;

// Twelve access points on a grid of 1,000 pixels, heard with a log-distance fall-off.
std::vector<ApRecord> heardAt(int32_t x, int32_t y) {
    std::vector<ApRecord> heard;
    for (uint8_t i = 0; i < 12; ++i) {
        const double d = std::hypot(x - (500 + (i % 4) * 1000), y - (500 + (i / 4) * 1000)) / 13;
        const int rssi = int(-30 - 25 * std::log10(d + 1));
        if (rssi >= -95)
            heard.push_back(
                sitetooltest::heardAp(uint8_t(i + 1), int8_t(rssi), i % 2 ? 36 : 6, "office"));
    }
    return heard;
}

struct Survey {
    testkit::ScopedDataHome home;
    testkit::TempDir dir;
    CSurveyStore store;
    QImage plan{kWidth, kHeight, QImage::Format_RGB32};
    std::mt19937 random{7};

    Survey() {
        plan.fill(Qt::white);
        sitefiletest::SiteLayout layout;
        layout.plan = sitefiletest::makeBmp(kWidth, kHeight);
        const std::string path = dir.file("office.kvs").string();
        testkit::writeFileBytes(path, sitefiletest::buildSite(layout).bytes);
        const ReadOnlySite site = openSiteReadOnly(path);
        store.adoptSite(path, site.validation.layout.header);
        (void)store.loadPoints();
        for (int i = 0; i < kPoints; ++i)
            commitOne();
    }
    void commitOne() {
        std::uniform_int_distribution<int32_t> xs(0, kWidth - 1), ys(0, kHeight - 1);
        const int32_t x = xs(random), y = ys(random);
        store.beginPoint(x, y, "");
        (void)store.commitPoint(heardAt(x, y));
    }
};

Survey& survey() {
    static Survey s;
    return s;
}

void AfterCommit(benchmark::State& state) {
    Survey& s = survey();
    CoverageLayer layer;
    layer.setShown(true);
    layer.sync(s.plan, s.store, "m");
    for (auto _ : state) {
        state.PauseTiming();
        s.commitOne();
        state.ResumeTiming();
        layer.sync(s.plan, s.store, "m");
        benchmark::DoNotOptimize(layer.colouredPlan().constBits());
    }
    state.counters["points"] = double(s.store.locationCount());
}
BENCHMARK(AfterCommit)->Unit(benchmark::kMillisecond);

void WholeMap(benchmark::State& state) {
    Survey& s = survey();
    for (auto _ : state) {
        CoverageLayer layer;
        layer.setShown(true);
        layer.sync(s.plan, s.store, "m");
        benchmark::DoNotOptimize(layer.colouredPlan().constBits());
    }
}
BENCHMARK(WholeMap)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace walkmere
