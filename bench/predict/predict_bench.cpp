// How long a predicted coverage map of a large site takes: a 4000 x 3000 floor plan at 100
// pixels a metre (a 40 x 30 m office, the demo office five times over) with walls every 4 m
// and a door in each, and a model of 12 access points, each with a 2.4 and a 5 GHz radio
// sending two networks.
//
//   Load                   read the model and the site file, decode the plan, bind them
//   TruthGrid              every radio's RSSI over the grid of the plan's cell size
//   Metric/metric:N        the metric at every cell of the grid
//   Render/metric:N        the values over the plan, the access points and the legend
//   EncodePng              the finished map as PNG
//   WholeCommand/metric:N  `walkmere-site predict --metric M`: all of the above, and the
//                          file written
// N is the metric: 0 best, 1 second, 2 count, 3 overlap.
//
// Set WALKMERE_BENCH_KEEP=DIR to keep the site file, the model and the maps in DIR.

#include "coverage/HeatmapRender.h"
#include "coverage/ModelSite.h"
#include "coverage/PredictedCoverage.h"
#include "image/PngWriter.h"
#include "sim/SimulatedSite.h"
#include "sim/SiteModel.h"
#include "sim/TruthGrid.h"
#include "survey/SiteFile.h"
#include "testkit/BmpBytes.h"
#include "testkit/TempDir.h"
#include "tools/site/SiteTool.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

namespace walkmere {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kWidth = 4000, kHeight = 3000;
constexpr int kPixelsPerMetre = 100;
const Metric kMetrics[] = {Metric::Best, Metric::Second, Metric::Count, Metric::Overlap};

// An 8-bit top-down bitmap: white, with walls 6 pixels thick every 400 pixels, each with a
// gap of 60 pixels for a door.
testkit::Bytes planBitmap() {
    testkit::BmpFile bmp{.width = kWidth, .height = -kHeight, .bits = 8};
    bmp.palette = {0xFFFFFF, 0x3C3C3C};
    bmp.pixels.resize(size_t(kWidth) * kHeight);
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            const bool wall = (x % 400 < 6 && y % 400 > 60) || (y % 400 < 6 && x % 400 > 60);
            bmp.pixels[size_t(y) * kWidth + size_t(x)] = wall ? 1 : 0;
        }
    return testkit::writeBmp(bmp);
}

// Four rows of three access points, 2.4 GHz on channels 1, 6 and 11 and 5 GHz on four
// channels, so that neighbours share channels as a real design's do; every radio sends
// "Corp" and "Guest".
std::string modelJson() {
    static const int channels24[] = {1, 6, 11};
    static const int channels5[] = {36, 52, 100, 149};
    std::ostringstream json;
    json << R"({"version": 1, "site": "large.kvs", "units": "m", "accessPoints": [)";
    for (int i = 0; i < 12; ++i) {
        const auto radio = [&](const char* band, int channel, int power, int tag) {
            char text[300];
            std::snprintf(text, sizeof text,
                          R"({"band": "%s", "channel": %d, "power": %d, "bss": [)"
                          R"({"bssid": "00:1a:1e:%02x:%02x:00", "ssid": "Corp"}, )"
                          R"({"bssid": "00:1a:1e:%02x:%02x:01", "ssid": "Guest"}]})",
                          band, channel, power, i, tag, i, tag);
            return std::string(text);
        };
        json << (i ? ", " : "") << R"({"name": "AP )" << i + 1 << R"(", "x": )"
             << 500 + (i % 4) * 1000 << R"(, "y": )" << 500 + (i / 4) * 1000 << R"(, "radios": [)"
             << radio("2.4", channels24[i % 3], 17, 0x24) << ", "
             << radio("5", channels5[i % 4], 20, 0x50) << "]}";
    }
    json << R"(], "propagation": {"shadowing": {"sigma": 3, "distance": 5, "seed": 7}}})";
    return json.str();
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

// The site file and the model, made once for every benchmark.
struct LargeSite {
    fs::path dir;
    std::string site, model;
    bool made = false;

    LargeSite() {
        const char* keep = std::getenv("WALKMERE_BENCH_KEEP");
        dir = keep ? fs::path(keep)
                   : fs::temp_directory_path() / ("predict-bench-" + std::to_string(getpid()));
        fs::create_directories(dir);
        site = (dir / "large.kvs").string();
        model = (dir / "large.json").string();
        testkit::writeFileBytes(dir / "large.bmp", planBitmap());
        const std::string scale = std::to_string(kPixelsPerMetre);
        made = runTool({"create", (dir / "large.bmp").string(), "-o", site, "--scale-x", scale,
                        "--scale-y", scale, "--force"}) == 0;
        const std::string json = modelJson();
        testkit::writeFileBytes(model, testkit::Bytes(json.begin(), json.end()));
    }
    ~LargeSite() {
        if (!std::getenv("WALKMERE_BENCH_KEEP")) fs::remove_all(dir);
    }
};

const LargeSite& largeSite() {
    static const LargeSite site;
    return site;
}

// What the phases after loading start from.
struct Loaded {
    RgbImage plan;
    std::shared_ptr<const sim::SimulatedSite> site;
};

std::optional<Loaded> load(const LargeSite& files, std::string& error) {
    Loaded loaded;
    std::optional<ModelSite> opened = openModelSite(files.model, error, &loaded.plan);
    if (!opened) return std::nullopt;
    loaded.site = std::move(opened->site);
    return loaded;
}

std::vector<NamedAp> namedAps(const sim::SimulatedSite& site) {
    std::vector<NamedAp> aps;
    for (const sim::ModelAccessPoint& ap : site.model().accessPoints)
        aps.push_back({int32_t(ap.x), int32_t(ap.y), ap.name});
    return aps;
}

// Skips the benchmark when the site cannot be made or read.
std::optional<Loaded> loadOrSkip(benchmark::State& state) {
    const LargeSite& files = largeSite();
    std::string error = "cannot make the site file";
    std::optional<Loaded> loaded = files.made ? load(files, error) : std::nullopt;
    if (!loaded) state.SkipWithError(error.c_str());
    return loaded;
}

void Load(benchmark::State& state) {
    if (!loadOrSkip(state)) return;
    std::string error;
    for (auto _ : state)
        benchmark::DoNotOptimize(load(largeSite(), error));
}
BENCHMARK(Load)->Unit(benchmark::kMillisecond);

void TruthGrid(benchmark::State& state) {
    const std::optional<Loaded> loaded = loadOrSkip(state);
    if (!loaded) return;
    for (auto _ : state) {
        const sim::TruthGrid grid(*loaded->site, predictionCell(*loaded->site));
        benchmark::DoNotOptimize(grid.values(0).data());
        state.counters["cell"] = grid.cell();
    }
}
BENCHMARK(TruthGrid)->Unit(benchmark::kMillisecond);

void Metric(benchmark::State& state) {
    const std::optional<Loaded> loaded = loadOrSkip(state);
    if (!loaded) return;
    const sim::TruthGrid grid(*loaded->site, predictionCell(*loaded->site));
    MetricChoice choice;
    choice.metric = kMetrics[state.range(0)];
    state.SetLabel(metricName(choice.metric));
    for (auto _ : state) {
        const MapNodes nodes = predictedNodes(*loaded->site, grid, {}, choice);
        benchmark::DoNotOptimize(nodes.values.data());
    }
}
BENCHMARK(Metric)->Unit(benchmark::kMillisecond)->DenseRange(0, 3)->ArgName("metric");

void Render(benchmark::State& state) {
    const std::optional<Loaded> loaded = loadOrSkip(state);
    if (!loaded) return;
    const sim::TruthGrid grid(*loaded->site, predictionCell(*loaded->site));
    MetricChoice choice;
    choice.metric = kMetrics[state.range(0)];
    state.SetLabel(metricName(choice.metric));
    const MapRaster values(kWidth, kHeight, predictedNodes(*loaded->site, grid, {}, choice));
    const std::vector<NamedAp> aps = namedAps(*loaded->site);
    for (auto _ : state) {
        Heatmap map = renderValueMap(loaded->plan, values, choice, aps);
        benchmark::DoNotOptimize(map.image.pixels.data());
    }
}
BENCHMARK(Render)->Unit(benchmark::kMillisecond)->DenseRange(0, 3)->ArgName("metric");

void EncodePng(benchmark::State& state) {
    const std::optional<Loaded> loaded = loadOrSkip(state);
    if (!loaded) return;
    const sim::TruthGrid grid(*loaded->site, predictionCell(*loaded->site));
    const MetricChoice choice;
    const MapRaster values(kWidth, kHeight, predictedNodes(*loaded->site, grid, {}, choice));
    const Heatmap map = renderValueMap(loaded->plan, values, choice, namedAps(*loaded->site));
    std::vector<uint8_t> png;
    for (auto _ : state) {
        encodePng(map.image, png);
        benchmark::DoNotOptimize(png.data());
    }
    state.counters["bytes"] = double(png.size());
}
BENCHMARK(EncodePng)->Unit(benchmark::kMillisecond);

void WholeCommand(benchmark::State& state) {
    const LargeSite& files = largeSite();
    if (!files.made) {
        state.SkipWithError("cannot make the site file");
        return;
    }
    const char* metric = metricName(kMetrics[state.range(0)]);
    const std::string map = (files.dir / ("large-" + std::string(metric) + ".png")).string();
    state.SetLabel(metric);
    for (auto _ : state)
        if (runTool({"predict", files.model, "-o", map, "--metric", metric, "--force"}) != 0)
            state.SkipWithError("predict failed");
}
BENCHMARK(WholeCommand)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->DenseRange(0, 3)
    ->ArgName("metric");

} // namespace
} // namespace walkmere
