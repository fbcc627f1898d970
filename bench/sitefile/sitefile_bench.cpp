// Validating a site file and walking a large survey the way the site tool does.
#include "platform/ByteOrder.h"
#include "platform/OwnedFd.h"
#include "survey/BitmapExpander.h"
#include "survey/PointRecords.h"
#include "survey/SiteFile.h"
#include "survey/SiteFileWriter.h"
#include "tools/site/SiteReading.h"
#include "tools/site/SiteTool.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace walkmere;

// A site with `points` survey points of 8 readings each (the floor-plan block is a bare
// weight table: the walk does not decode it).
std::string makeSurvey(int points) {
    std::vector<uint8_t> section;
    for (int p = 0; p < points; ++p) {
        PointRecord r;
        r.setX(p);
        r.setY(p * 2);
        r.setLabel("TEST");
        r.setReadingCount(8);
        section.insert(section.end(), r.bytes.begin(), r.bytes.end());
        for (int i = 0; i < 8; ++i) {
            ApReading a;
            a.setChannel(static_cast<uint8_t>(1 + i));
            a.setRssi256(static_cast<int16_t>((-40 - i * 5) * 256));
            a.setSsid("survey-net-" + std::to_string(i));
            section.insert(section.end(), a.bytes.begin(), a.bytes.end());
        }
    }
    std::vector<uint8_t> block(FloorPlanBlockHeader::kSize);
    writeLe32(block.data(), FloorPlanBlockHeader::kSize);
    NewSiteFile site;
    site.points = section;
    char name[] = "/tmp/walkmere-bench-XXXXXX";
    OwnedFd fd(::mkstemp(name));
    FdPositionalSink sink(fd.get());
    if (!fd.valid() || writeSiteFileWithBlock(sink, block, site).status != SiteWriteStatus::Ok)
        std::abort();
    return name;
}

void BM_ValidateSiteFile(benchmark::State& state) {
    const std::string path = makeSurvey(10);
    const int fd = ::open(path.c_str(), O_RDONLY);
    for (auto _ : state)
        benchmark::DoNotOptimize(validateSiteFile(fd).accepted());
    ::close(fd);
    ::unlink(path.c_str());
}
BENCHMARK(BM_ValidateSiteFile);

void BM_WalkPoints(benchmark::State& state) {
    const std::string path = makeSurvey(static_cast<int>(state.range(0)));
    ReadOnlySite site = openSiteReadOnly(path);
    for (auto _ : state) {
        const PointsWalkEnd end = sitetool::walkSitePoints(site);
        benchmark::DoNotOptimize(end.counts.readingTotal);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    ::unlink(path.c_str());
}
BENCHMARK(BM_WalkPoints)->Arg(1000)->Arg(10000);

void BM_PointsJson(benchmark::State& state) {
    const std::string path = makeSurvey(static_cast<int>(state.range(0)));
    const char* argv[] = {"walkmere-site", "points", path.c_str(), "--json"};
    for (auto _ : state) {
        std::ostringstream out, err;
        benchmark::DoNotOptimize(sitetool::runSiteTool(4, argv, out, err));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    ::unlink(path.c_str());
}
BENCHMARK(BM_PointsJson)->Arg(10000);

} // namespace
