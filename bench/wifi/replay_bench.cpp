// Replaying a scan capture: the time to open it and the heap it holds while it plays, for
// captures of empty dumps (NLMSG_DONE alone, 20 bytes each: the most dumps a file of a
// given size can hold).
//
// heap_held is what the allocator counts in use after the capture is opened and a few
// hundred dumps are played, less what it counted before; peak_rss_kB is the process's peak
// so far, so it means most for the largest capture (run it alone with --benchmark_filter).
#include "testkit/TempDir.h"
#include "wifi/WifiSource.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <fcntl.h>
#include <linux/netlink.h>
#include <malloc.h>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace walkmere;

namespace {

// Bytes handed out by malloc, the large blocks it maps on their own included.
size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// `count` empty dumps, written a block at a time.
void writeEmptyDumps(const std::string& path, size_t count) {
    struct Done {
        nlmsghdr header;
        int32_t code;
    };
    Done done{{sizeof(Done), NLMSG_DONE, NLM_F_MULTI, 1, 4242}, 0};
    const std::vector<Done> block(4096, done);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    for (size_t left = count; left > 0;) {
        const size_t n = std::min(left, block.size());
        const auto bytes = static_cast<ssize_t>(n * sizeof(Done));
        if (::write(fd, block.data(), static_cast<size_t>(bytes)) != bytes) {
            ::close(fd);
            throw std::runtime_error("cannot write " + path);
        }
        left -= n;
    }
    ::close(fd);
}

void ReplayEmptyDumps(benchmark::State& state) {
    const auto count = static_cast<size_t>(state.range(0));
    testkit::TempDir dir;
    const std::string path = dir.file("empty.nlscan").string();
    writeEmptyDumps(path, count);
    size_t held = 0;
    for (auto _ : state) {
        const size_t before = heapInUse();
        std::string error;
        std::unique_ptr<ReplayWifiSource> source = ReplayWifiSource::open(path, error);
        if (!source) {
            state.SkipWithError(error.c_str());
            return;
        }
        for (int i = 0; i < 500; ++i)
            benchmark::DoNotOptimize(source->next(error));
        held = heapInUse() - before;
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["dumps"] = static_cast<double>(count);
    state.counters["file_bytes"] = static_cast<double>(count * 20);
    state.counters["heap_held"] = static_cast<double>(held);
    state.counters["peak_rss_kB"] = static_cast<double>(usage.ru_maxrss);
}

} // namespace

BENCHMARK(ReplayEmptyDumps)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(12500000) // 250 MB, just under the capture limit
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
