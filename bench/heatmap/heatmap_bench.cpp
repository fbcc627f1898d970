// How long a coverage map of a large survey takes: a 4000 x 3000 floor plan with 1,000
// survey points, each hearing a few of 12 access points on 3 networks.
//
//   Render/metric:N        interpolation, colouring and markers (no file work)
//   EncodePng              the finished map as PNG
//   WholeCommand/metric:N  `walkmere-site heatmap --metric M` on a site file: decode the
//                          plan, read the points, render, encode, write
// N is the metric: 0 best, 1 second, 2 count, 3 overlap.
//
// Set WALKMERE_BENCH_KEEP=DIR to keep the site file and the map in DIR.

#include "coverage/HeatmapRender.h"
#include "image/PngWriter.h"
#include "scan/ApRecord.h"
#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"
#include "testkit/BmpBytes.h"
#include "testkit/TempDir.h"
#include "tools/site/SiteTool.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

namespace walkmere {
namespace {

constexpr int32_t kWidth = 4000, kHeight = 3000;
constexpr int kPoints = 1000;

// White with grey walls every 400 pixels and a door gap in each.
RgbImage floorPlan() {
    RgbImage plan(kWidth, kHeight, 255);
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            const bool wall = (x % 400 < 6 && y % 400 > 60) || (y % 400 < 6 && x % 400 > 60);
            if (wall) std::fill_n(plan.at(x, y), 3, 60);
        }
    return plan;
}

struct ApSpot {
    int32_t x, y;
    uint8_t tail;
    const char* ssid;
};

std::vector<ApSpot> accessPoints() {
    static const char* ssids[] = {"office", "guest", "lab"};
    std::vector<ApSpot> aps;
    for (int i = 0; i < 12; ++i)
        aps.push_back({500 + (i % 4) * 1000, 500 + (i / 4) * 1000, uint8_t(i + 1), ssids[i % 3]});
    return aps;
}

// 2.4 GHz channels 1, 6 and 11 used three times each, so that neighbours share a channel,
// and three 5 GHz channels.
int channelOf(uint8_t tail) {
    static const int channels[] = {1, 6, 11, 36, 1, 6, 11, 40, 1, 6, 11, 44};
    return channels[(tail - 1) % 12];
}

const Metric kMetrics[] = {Metric::Best, Metric::Second, Metric::Count, Metric::Overlap};

// The APs a point at (x, y) hears: free-space-like fall-off, those above -95 dBm.
std::vector<ApRecord> heardAt(int32_t x, int32_t y) {
    std::vector<ApRecord> heard;
    for (const ApSpot& ap : accessPoints()) {
        const double d = std::hypot(double(x - ap.x), double(y - ap.y)) / 20.0 + 1.0;
        const int rssi = int(-30 - 25 * std::log10(d));
        if (rssi < -95) continue;
        ApRecord r;
        const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, ap.tail};
        r.setMac(mac);
        r.setRssi(int8_t(rssi));
        r.setChannelCode(uint16_t(5000 + 5 * channelOf(ap.tail)));
        r.setSsid(ap.ssid);
        heard.push_back(r);
    }
    return heard;
}

SurveyData survey() {
    SurveyData data;
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> xs(0, kWidth - 1), ys(0, kHeight - 1);
    for (int i = 0; i < kPoints; ++i) {
        SurveyPoint p;
        p.x = xs(random);
        p.y = ys(random);
        for (const ApRecord& a : heardAt(p.x, p.y)) {
            ApReading r;
            r.setChannel(uint8_t(a.channel()));
            r.setRssi256(int16_t(a.rssi() * 256));
            r.setMac(a.mac());
            r.setSsid(a.ssid());
            p.readings.push_back(r);
        }
        data.points.push_back(std::move(p));
    }
    for (const ApSpot& ap : accessPoints())
        data.accessPoints.push_back({ap.x, ap.y});
    return data;
}

void Render(benchmark::State& state) {
    const RgbImage plan = floorPlan();
    const SurveyData data = survey();
    HeatmapOptions options;
    options.metric = kMetrics[state.range(0)];
    state.SetLabel(metricName(options.metric));
    for (auto _ : state) {
        Heatmap map = renderHeatmap(plan, data, NetworkFilter{}, options);
        benchmark::DoNotOptimize(map.image.pixels.data());
        state.counters["radius"] = map.radius;
    }
}
BENCHMARK(Render)->Unit(benchmark::kMillisecond)->DenseRange(0, 3)->ArgName("metric");

void EncodePng(benchmark::State& state) {
    const Heatmap map = renderHeatmap(floorPlan(), survey(), NetworkFilter{}, HeatmapOptions{});
    std::vector<uint8_t> png;
    for (auto _ : state) {
        encodePng(map.image, png);
        benchmark::DoNotOptimize(png.data());
    }
    state.counters["bytes"] = double(png.size());
}
BENCHMARK(EncodePng)->Unit(benchmark::kMillisecond);

// A 24-bit bottom-up bitmap file of the plan.
void writeBmp(const std::filesystem::path& path, const RgbImage& plan) {
    const size_t stride = testkit::bmpStride(plan.width, 24);
    testkit::BmpFile f{.width = plan.width, .height = plan.height};
    f.pixels.resize(stride * size_t(plan.height));
    for (int32_t y = 0; y < plan.height; ++y)
        for (int32_t x = 0; x < plan.width; ++x) {
            const uint8_t* p = plan.at(x, plan.height - 1 - y);
            uint8_t* q = f.pixels.data() + size_t(y) * stride + size_t(x) * 3;
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
        }
    testkit::writeFileBytes(path, testkit::writeBmp(f));
}

int runTool(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"walkmere-site"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int code = sitetool::runSiteTool(int(argv.size()), argv.data(), out, err);
    if (code != 0) std::fprintf(stderr, "%s", err.str().c_str());
    return code;
}

void WholeCommand(benchmark::State& state) {
    const char* keep = std::getenv("WALKMERE_BENCH_KEEP");
    const std::filesystem::path dir = keep ? std::filesystem::path(keep)
                                           : std::filesystem::temp_directory_path() /
                                                 ("heatmap-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const char* metric = metricName(kMetrics[state.range(0)]);
    const std::string site = (dir / "large.kvs").string();
    const std::string map = (dir / ("large-" + std::string(metric) + ".png")).string();
    writeBmp(dir / "large.bmp", floorPlan());
    if (runTool({"create", (dir / "large.bmp").string(), "-o", site, "--force"}) != 0) {
        state.SkipWithError("cannot make the site file");
        return;
    }
    CSurveyStore store;
    store.adoptSite(site, openSiteReadOnly(site).validation.layout.header);
    const SurveyData data = survey();
    for (const SurveyPoint& p : data.points) {
        store.beginPoint(p.x, p.y, "TEST");
        (void)store.commitPoint(heardAt(p.x, p.y));
    }
    for (const PlacedAp& ap : data.accessPoints)
        (void)store.placeAccessPoint(ap.x, ap.y);

    state.SetLabel(metric);
    for (auto _ : state)
        if (runTool({"heatmap", site, "-o", map, "--metric", metric, "--force"}) != 0)
            state.SkipWithError("heatmap failed");
    if (!keep) std::filesystem::remove_all(dir);
}
BENCHMARK(WholeCommand)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->DenseRange(0, 3)
    ->ArgName("metric");

} // namespace
} // namespace walkmere
