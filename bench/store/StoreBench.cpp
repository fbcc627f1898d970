// Loading a large survey, checking it when the site is opened, and storing one point with
// its flush to the disk.
// The files go to WALKMERE_BENCH_DIR, else the system's temporary folder.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/OwnedFd.h"
#include "survey/PointsWalk.h"
#include "survey/SiteFile.h"
#include "survey/SiteFileWriter.h"
#include "survey/SurveyStore.h"

namespace walkmere {
namespace {

class BenchDir {
public:
    BenchDir() {
        const char* base = std::getenv("WALKMERE_BENCH_DIR");
        std::string tmpl =
            (std::filesystem::path(base ? base : std::filesystem::temp_directory_path().c_str()) /
             "walkmere-bench-XXXXXX")
                .string();
        if (!mkdtemp(tmpl.data())) std::abort();
        root = tmpl;
    }
    ~BenchDir() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::filesystem::path root;
};

// A site whose points section holds `points` survey points of `readingsEach` readings,
// with no floor plan; returns its header.
SiteHeader writeSurvey(const std::filesystem::path& path, int points, int readingsEach) {
    std::vector<uint8_t> section;
    for (int n = 0; n < points; ++n) {
        PointRecord p;
        p.setX(n % 4000);
        p.setY(n / 4000);
        p.setLabel("TEST");
        p.setReadingCount(static_cast<uint16_t>(readingsEach));
        section.insert(section.end(), p.bytes.begin(), p.bytes.end());
        for (int j = 0; j < readingsEach; ++j) {
            ApReading r;
            r.setChannel(static_cast<uint8_t>(1 + j));
            r.setRssi256(static_cast<int16_t>((-90 + 4 * j) * 256));
            const uint8_t mac[6] = {0, 1, 2, 3, uint8_t(n), uint8_t(j)};
            r.setMac(mac);
            r.setSsid("bench");
            section.insert(section.end(), r.bytes.begin(), r.bytes.end());
        }
    }
    NewSiteFile site;
    site.points = section;
    OwnedFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    FdPositionalSink sink(fd.get());
    const SiteWriteResult written = writeSiteFileWithBlock(sink, {}, site);
    if (!fd.valid() || written.status != SiteWriteStatus::Ok) std::abort();
    return written.header;
}

void BM_LoadPoints(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0));
    BenchDir dir;
    const auto path = dir.root / "site.kvs";
    const SiteHeader h = writeSurvey(path, points, 10);
    CSurveyStore store;
    store.adoptSite(path.string(), h);
    (void)store.loadPoints(); // warm the page cache
    for (auto _ : state) {
        if (!store.loadPoints() || store.locationCount() != points) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(store.index().data());
    }
    state.SetItemsProcessed(state.iterations() * points);
    state.SetBytesProcessed(state.iterations() * points * int64_t{71 + 10 * 41});
}
BENCHMARK(BM_LoadPoints)->Arg(100000)->Unit(benchmark::kMillisecond);

// The reader alone: what loading costs before the index is built.
void BM_WalkPoints(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0));
    BenchDir dir;
    const auto path = dir.root / "site.kvs";
    const SiteHeader h = writeSurvey(path, points, 10);
    int fd = ::open(path.c_str(), O_RDONLY);
    for (auto _ : state) {
        int n = 0;
        walkPointsSection(fd, h.pointsOffset(), [&](const PointsEntry&, const PointSummary&) {
            ++n;
            return true;
        });
        if (n != points) state.SkipWithError("walk failed");
    }
    ::close(fd);
    state.SetItemsProcessed(state.iterations() * points);
}
BENCHMARK(BM_WalkPoints)->Arg(100000)->Unit(benchmark::kMillisecond);

// What opening adds: validation walks the whole points section once more, before the load.
void BM_ValidateSiteFile(benchmark::State& state) {
    const int points = static_cast<int>(state.range(0));
    BenchDir dir;
    const auto path = dir.root / "site.kvs";
    writeSurvey(path, points, 10);
    int fd = ::open(path.c_str(), O_RDONLY);
    for (auto _ : state) {
        if (!validateSiteFile(fd).accepted()) {
            state.SkipWithError("refused");
            break;
        }
    }
    ::close(fd);
    state.SetItemsProcessed(state.iterations() * points);
    state.SetBytesProcessed(state.iterations() * points * int64_t{71 + 10 * 41});
}
BENCHMARK(BM_ValidateSiteFile)->Arg(100000)->Unit(benchmark::kMillisecond);

// One survey point of 10 readings: open, lock, one write, fdatasync, close.
void BM_CommitPoint(benchmark::State& state) {
    BenchDir dir;
    const auto path = dir.root / "site.kvs";
    const SiteHeader h = writeSurvey(path, 0, 0);
    CSurveyStore store;
    store.adoptSite(path.string(), h);
    (void)store.loadPoints();
    std::vector<ApRecord> aps(10);
    for (int j = 0; j < 10; ++j) {
        const uint8_t mac[6] = {0xA0, 1, 2, 3, 4, uint8_t(j)};
        aps[size_t(j)].setMac(mac);
        aps[size_t(j)].setRssi(static_cast<int8_t>(-90 + 5 * j));
        aps[size_t(j)].setChannelCode(static_cast<uint16_t>(5005 + 5 * j));
        aps[size_t(j)].setSsid("bench");
    }
    int n = 0;
    for (auto _ : state) {
        store.beginPoint(n % 1000, n / 1000, "TEST");
        if (store.commitPoint(aps).stored != 1) {
            state.SkipWithError("commit failed");
            break;
        }
        ++n;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CommitPoint)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
} // namespace walkmere
