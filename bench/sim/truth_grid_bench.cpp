// The truth over a whole plan, as the predict command draws it: a 4000 x 3000 plan at 20
// pixels a metre (200 x 150 m) of rooms 10 m square with 3-pixel walls and a door each, 12
// access points with a 2.4 GHz and a 5 GHz radio each, shadowing on, cells of 4 pixels
// (1000 x 750 cells, 24 radios), and at cells of 8 pixels.
#include "sim/SimulatedSite.h"
#include "sim/TruthGrid.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

using namespace walkmere::sim;

namespace {

PlanGeometry roomsPlan() {
    PlanGeometry plan{4000, 3000, std::vector<uint8_t>(size_t(4000) * 3000, 255), 20, 20};
    for (int32_t y = 0; y < plan.height; ++y)
        for (int32_t x = 0; x < plan.width; ++x) {
            const bool wall = (x % 200 < 3 && y % 200 > 40) || (y % 200 < 3 && x % 200 > 40);
            if (wall) plan.luminance[size_t(y) * 4000 + size_t(x)] = 40;
        }
    return plan;
}

SimulatedSite twelveAccessPoints() {
    SiteModel model;
    model.sitePath = "bench.kvs";
    model.propagation.shadowingSigmaDb = 3;
    for (int i = 0; i < 12; ++i) {
        ModelAccessPoint ap{
            "AP" + std::to_string(i), 350.0 + 1000 * (i % 4), 500.0 + 1000 * (i / 4), {}};
        for (int r = 0; r < 2; ++r) {
            ModelRadio radio{r == 0 ? RadioBand::Ghz24 : RadioBand::Ghz5,
                             r == 0 ? 6 : 36,
                             r == 0 ? 17.0 : 20.0,
                             {}};
            radio.bss.push_back({{0x00, 0x1a, 0x1e, uint8_t(i), uint8_t(r), 0}, "Corp"});
            ap.radios.push_back(radio);
        }
        model.accessPoints.push_back(ap);
    }
    std::string error;
    std::optional<SimulatedSite> site = SimulatedSite::bind(model, roomsPlan(), error);
    if (!site) throw std::runtime_error(error);
    return std::move(*site);
}

void BM_TruthGrid(benchmark::State& state) {
    const SimulatedSite site = twelveAccessPoints();
    const auto cell = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        TruthGrid grid(site, cell);
        benchmark::DoNotOptimize(grid.rssi(0, 0, 0));
    }
    state.counters["cells"] = double((4000 + cell - 1) / cell) * double((3000 + cell - 1) / cell);
}
// The grid shares the access points among the cores: the time that counts is the real one.
BENCHMARK(BM_TruthGrid)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
