// Importing a large, highly compressible PNG (20000 x 20000, four times the pixels a plan may
// have) scaled down to a largest side of 4000: the time goes into decoding the source rows and
// averaging them down, so it shows the cost of each source pixel.
#include "plan/PlanImport.h"
#include "testkit/PngBytes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

using namespace walkmere;

constexpr uint32_t kSide = 20000;

// Rows of a repeating pattern of colour type `type`: a few bytes of zlib each.
const std::vector<uint8_t>& largePng(int type, int depth) {
    static std::vector<uint8_t> made[7][17];
    std::vector<uint8_t>& png = made[type][depth];
    if (png.empty())
        png = testkit::writePngRows(kSide, kSide, type, depth,
                                    [](uint32_t y, std::span<uint8_t> row) {
                                        std::fill(row.begin(), row.end(), y % 2 ? 0x5A : 0xA5);
                                    });
    return png;
}

void BM_ScaleLargePng(benchmark::State& state, int type, int depth) {
    const std::vector<uint8_t>& png = largePng(type, depth);
    if (png.empty()) std::abort();
    PlanImportOptions options;
    options.maxSide = 4000;
    for (auto _ : state) {
        const PlanImportResult r = importPlanBytes(png.data(), png.size(), "bench", options);
        if (!r.ok() || r.plan.width != 4000) std::abort();
        benchmark::DoNotOptimize(r.plan.bmp.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}
BENCHMARK_CAPTURE(BM_ScaleLargePng, rgb8, PNG_COLOR_TYPE_RGB, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScaleLargePng, grey1, PNG_COLOR_TYPE_GRAY, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScaleLargePng, rgba8, PNG_COLOR_TYPE_RGBA, 8)->Unit(benchmark::kMillisecond);

} // namespace
