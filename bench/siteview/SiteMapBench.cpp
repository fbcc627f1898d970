// One full paint of the site map into an off-screen picture, as the site view does on every
// repaint: 100,000 index entries on a 4000 x 3000 floor plan; also with the coverage map on
// (the plan coloured by the strongest signal of the walked survey, and its legend).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <random>
#include <vector>

#include "coverage/LiveCoverage.h"
#include "siteview/SiteMapPainter.h"

namespace walkmere {
namespace {

constexpr int kPlanW = 4000, kPlanH = 3000, kPoints = 100000;

// A surveyor's walk: each point a short step from the last, turned back at the plan's edges;
// one entry in 20 a placed AP, one in 50 deleted.
std::vector<PointIndexEntry> walkedSurvey(bool scattered) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> step(-40, 40), rssi(-100, -20), pick(0, 99);
    std::uniform_int_distribution<int> anyX(0, kPlanW), anyY(0, kPlanH);
    std::vector<PointIndexEntry> v(kPoints);
    int x = kPlanW / 2, y = kPlanH / 2;
    for (PointIndexEntry& e : v) {
        if (scattered) {
            x = anyX(rng);
            y = anyY(rng);
        } else {
            x = std::clamp(x + step(rng), 0, kPlanW);
            y = std::clamp(y + step(rng), 0, kPlanH);
        }
        e.x = x;
        e.y = y;
        e.bestRssi = int16_t(rssi(rng));
        const int k = pick(rng);
        e.kind = k < 5 ? KIND_DYNAMIC_AP : k < 7 ? KIND_DELETED : KIND_SURVEY_POINT;
    }
    return v;
}

const QImage& floorPlan() {
    static const QImage plan = [] {
        QImage img(kPlanW, kPlanH, QImage::Format_RGB32);
        img.fill(Qt::white);
        for (int y = 0; y < kPlanH; y += 50) {
            for (int x = 0; x < kPlanW; ++x)
                img.setPixel(x, y, qRgb(0, 0, 0));
        }
        return img;
    }();
    return plan;
}

SiteMapScene surveyScene(const CViewport& vp, bool scattered, const QImage& cursor) {
    static const std::vector<PointIndexEntry> walk = walkedSurvey(false);
    static const std::vector<PointIndexEntry> scatter = walkedSurvey(true);
    SiteMapScene scene;
    scene.viewport = &vp;
    scene.points = scattered ? scatter : walk;
    scene.locationCount = kPoints;
    scene.readingTotal = kPoints * 6;
    scene.siteOpen = true;
    scene.floorPlan = &floorPlan();
    scene.pixelsPerUnitX = scene.pixelsPerUnitY = 12.5;
    scene.cursor = &cursor;
    return scene;
}

void paintOnce(benchmark::State& state, bool scattered) {
    const int w = int(state.range(0)), h = int(state.range(1)), zoomSteps = int(state.range(2));
    const QImage cursor = siteCursorImage();

    CViewport vp;
    vp.setBounds(kPlanW, kPlanH);
    vp.initView(std::min(w, h), std::min(w, h));
    vp.setCentreX(kPlanW / 2);
    vp.setCentreY(kPlanH / 2);
    for (int i = 0; i < zoomSteps; ++i)
        vp.zoomIn();

    const SiteMapScene scene = surveyScene(vp, scattered, cursor);

    QImage picture(w, h, QImage::Format_RGB32);
    for (auto _ : state) {
        paintSiteMap(picture, scene);
        benchmark::DoNotOptimize(picture.constBits());
    }
}

// The desktop map at 100 % about the plan's middle.
CViewport desktopMap() {
    CViewport vp;
    vp.setBounds(kPlanW, kPlanH);
    vp.initView(227, 227);
    vp.setCentreX(kPlanW / 2);
    vp.setCentreY(kPlanH / 2);
    vp.beginDesktopMap();
    return vp;
}

// The site view filling a window: the desktop map at 100 % about the plan's middle, the
// picture composed at the UI scale with its texts drawn at device resolution.
void windowPaint(benchmark::State& state, bool scattered) {
    const int w = int(state.range(0)), h = int(state.range(1)), scale = int(state.range(2));
    const QImage cursor = siteCursorImage();
    const int logicalW = w / scale, logicalH = h / scale;

    CViewport vp = desktopMap();

    const SiteMapScene scene = surveyScene(vp, scattered, cursor);
    for (auto _ : state) {
        const QImage picture = composeSiteMap(QSize(logicalW, logicalH), scale, scene);
        benchmark::DoNotOptimize(picture.constBits());
    }
}

// The plan coloured by the walked survey's strongest signal (each point hearing one access
// point at its best RSSI), on a plan of 20 pixels a metre, and its legend.
struct ColouredPlan {
    QImage plan;
    QImage legend;
};
const ColouredPlan& colouredPlan() {
    static const ColouredPlan coloured = [] {
        SurveyData survey;
        for (const PointIndexEntry& e : walkedSurvey(false)) {
            if (e.kind != KIND_SURVEY_POINT) continue;
            ApReading r;
            const uint8_t mac[6] = {0, 1, 2, 3, 4, 5};
            r.setMac(mac);
            r.setChannel(6);
            r.setRssi256(int16_t(e.bestRssi * 256));
            survey.points.push_back({e.x, e.y, 0, {r}});
        }
        LiveCoverage live(kPlanW, kPlanH, PlanScale{20, 20, "m"});
        (void)live.update(survey, {});
        RgbImage rgb(kPlanW, kPlanH, 255);
        live.paint(rgb, 0, 0);
        const auto toQ = [](const RgbImage& from) {
            QImage img(from.width, from.height, QImage::Format_RGB32);
            for (int y = 0; y < from.height; ++y)
                for (int x = 0; x < from.width; ++x) {
                    const uint8_t* p = from.at(x, y);
                    img.setPixel(x, y, qRgb(p[0], p[1], p[2]));
                }
            return img;
        };
        return ColouredPlan{toQ(rgb), toQ(live.legend())};
    }();
    return coloured;
}

// The full window of the desktop map with the coverage map on: the whole plan (range 2 = 0)
// or 100 % about its middle (1).
void BM_WindowCoverage(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    const QImage cursor = siteCursorImage();
    CViewport vp = desktopMap();
    if (state.range(2) == 0) vp.showWholePlan({0, 0, w, h});
    SiteMapScene scene = surveyScene(vp, false, cursor);
    scene.floorPlan = &colouredPlan().plan;
    scene.coverageLegend = &colouredPlan().legend;
    scene.calibrated = true;
    for (auto _ : state) {
        const QImage picture = composeSiteMap(QSize(w, h), 1, scene);
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_WindowCoverage)
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Unit(benchmark::kMillisecond);

void BM_SiteMapWalk(benchmark::State& state) {
    paintOnce(state, false);
}
void BM_WindowWalk(benchmark::State& state) {
    windowPaint(state, false);
}
void BM_WindowScatter(benchmark::State& state) {
    windowPaint(state, true);
}
void BM_SiteMapScatter(benchmark::State& state) {
    paintOnce(state, true);
}

// Arguments: client width, client height, zoom steps (0 = 100 %, 3 = 800 %).
BENCHMARK(BM_SiteMapWalk)
    ->Args({240, 268, 0})
    ->Args({240, 268, 3})
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 3})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SiteMapScatter)
    ->Args({240, 268, 0})
    ->Args({240, 268, 3})
    ->Args({1920, 1080, 0})
    ->Unit(benchmark::kMillisecond);

// Arguments: device width, device height, UI scale.
BENCHMARK(BM_WindowWalk)
    ->Args({1920, 1080, 1})
    ->Args({1920, 1080, 3})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowScatter)
    ->Args({1920, 1080, 1})
    ->Args({1920, 1080, 3})
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace walkmere

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv); // fonts need it
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
