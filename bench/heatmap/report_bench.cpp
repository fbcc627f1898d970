// The survey report of a site with many networks: a 3000 x 4000 floor plan, 1,200 survey
// points and 300 access points, spread over N networks (SSIDs), so that the report draws
// N + 4 maps of the whole plan.
//
//   Report/networks:N   `walkmere-site report` run as its own process; the counters give
//                       the page's size and the process's peak memory (maximum resident
//                       set), which should not grow with N.
//
// Set WALKMERE_BENCH_KEEP=DIR to keep the site file and the page in DIR.

#include "testkit/SiteFileBuilder.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace walkmere {
namespace {

constexpr int32_t kWidth = 3000, kHeight = 4000;
constexpr int kApColumns = 15, kApRows = 20; // 300 access points, 200 pixels apart
constexpr int32_t kPointSpacing = 100;       // 30 x 40 survey points

// A 24-bit bottom-up bitmap file: white with grey walls every 400 pixels, a door gap in each.
sitefiletest::Bytes floorPlanBmp() {
    const size_t stride = testkit::bmpStride(kWidth, 24);
    testkit::BmpFile f{.width = kWidth, .height = kHeight};
    f.pixels.assign(stride * kHeight, 255);
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x)
            if ((x % 400 < 6 && y % 400 > 60) || (y % 400 < 6 && x % 400 > 60))
                std::fill_n(f.pixels.begin() + ptrdiff_t(y) * stride + x * 3, 3, 60);
    return testkit::writeBmp(f);
}

// Every point hears the access points within about 570 pixels (-35 dBm at the AP, a dB
// less every 10 pixels, down to -92), at most the 32 a point keeps, nearest first.
sitefiletest::Bytes surveyPoints(int networks) {
    sitefiletest::Bytes bytes;
    for (int32_t y = kPointSpacing / 2; y < kHeight; y += kPointSpacing)
        for (int32_t x = kPointSpacing / 2; x < kWidth; x += kPointSpacing) {
            std::vector<std::pair<double, int>> heard; // distance, AP
            for (int ap = 0; ap < kApColumns * kApRows; ++ap) {
                const double d = std::hypot(x - (100 + 200 * (ap % kApColumns)),
                                            y - (100 + 200 * (ap / kApColumns)));
                if (-35 - d / 10 >= -92) heard.push_back({d, ap});
            }
            std::sort(heard.begin(), heard.end());
            heard.resize(std::min<size_t>(heard.size(), kMaxReadingsPerPoint));
            PointRecord point;
            point.setX(x);
            point.setY(y);
            point.setLabel("TEST");
            point.setReadingCount(uint16_t(heard.size()));
            bytes.insert(bytes.end(), point.bytes.begin(), point.bytes.end());
            for (const auto& [d, ap] : heard) {
                ApReading r;
                r.setChannel(uint8_t(1 + 5 * (ap % 3)));
                r.setRssi256(int16_t(std::lround(-35 - d / 10) * 256));
                const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, uint8_t(ap >> 8), uint8_t(ap)};
                r.setMac(mac);
                r.setSsid("net-" + std::to_string(ap % networks));
                bytes.insert(bytes.end(), r.bytes.begin(), r.bytes.end());
            }
        }
    return bytes;
}

// Runs the tool as a child process; false when it fails. `peakKib` is its peak memory.
bool runReport(const std::string& site, const std::string& page, long& peakKib) {
    const char* argv[] = {WALKMERE_SITE_PROGRAM, "report",  site.c_str(), "-o",
                          page.c_str(),          "--force", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0); // its summary
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) return false;
    peakKib = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Report(benchmark::State& state) {
    const char* keep = std::getenv("WALKMERE_BENCH_KEEP");
    const std::filesystem::path dir = keep ? std::filesystem::path(keep)
                                           : std::filesystem::temp_directory_path() /
                                                 ("report-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const int networks = int(state.range(0));
    const std::string site = (dir / ("networks-" + std::to_string(networks) + ".kvs")).string();
    const std::string page = (dir / ("networks-" + std::to_string(networks) + ".html")).string();
    {
        sitefiletest::SiteLayout layout;
        layout.plan = floorPlanBmp();
        layout.points = surveyPoints(networks);
        const sitefiletest::Bytes bytes = sitefiletest::buildSite(layout).bytes;
        std::ofstream(site, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    long peakKib = 0;
    bool ran = true;
    for (auto _ : state)
        ran = ran && runReport(site, page, peakKib);
    if (ran) {
        state.counters["peak_MB"] = double(peakKib) / 1024;
        state.counters["page_MB"] = double(std::filesystem::file_size(page)) / (1024 * 1024);
    } else {
        state.SkipWithError("the report failed");
    }
    if (!keep) std::filesystem::remove_all(dir);
}
BENCHMARK(Report)->Unit(benchmark::kSecond)->Iterations(1)->Arg(30)->Arg(300)->ArgName("networks");

} // namespace
} // namespace walkmere
