// How fast the link worker's receive side is: bytes per second through the frame
// assembler for a stream of entry packets, and what the reset after each frame costs.

#include "link/FrameAssembler.h"
#include "link/FrameEncoder.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace walkmere {
namespace {

// A 70-byte entry packet as the board sends it: a record with a MAC address, an SSID,
// channel and signal fields, some of whose bytes are 0x11 and get stuffed.
std::vector<uint8_t> entryPacketPayload(int n) {
    std::vector<uint8_t> p(70, 0);
    p[0] = uint8_t(1 + n % 16); // entry number
    const uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, uint8_t(n)};
    std::memcpy(&p[4], mac, 6);
    const char ssid[] = "walkmere-office-11";
    std::memcpy(&p[12], ssid, sizeof ssid - 1);
    p[44] = 0x11; // channel code low byte
    p[45] = 0x14;
    p[48] = uint8_t(-60 - n % 30); // RSSI
    p[52] = 0x11;                  // age
    return p;
}

std::vector<uint8_t> entryStream(int frames) {
    std::vector<uint8_t> stream;
    for (int i = 0; i < frames; ++i) {
        std::vector<uint8_t> payload = entryPacketPayload(i);
        appendFrame(stream, 0x04, payload.data(), payload.size());
    }
    return stream;
}

void BM_FeedEntryStream(benchmark::State& state) {
    const std::vector<uint8_t> stream = entryStream(1024);
    auto a = std::make_unique<CFrameAssembler>();
    int64_t frames = 0;
    for (auto _ : state) {
        for (uint8_t b : stream) {
            a->feed(b);
            if (a->state() == CFrameAssembler::Complete) {
                benchmark::DoNotOptimize(a->payload()[a->length() - 1]);
                a->reset();
                ++frames;
            }
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
    state.counters["frames/s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FeedEntryStream);

// The reset that follows every dispatched frame, after a 70-byte entry packet. Filling
// the assemblers is not timed; the pause is paid once for a batch of resets.
void BM_ResetAfterEntryPacket(benchmark::State& state) {
    constexpr int kBatch = 256; // only the 70 bytes written of each are touched
    const std::vector<uint8_t> one = entryStream(1);
    std::vector<std::unique_ptr<CFrameAssembler>> batch;
    for (int i = 0; i < kBatch; ++i)
        batch.push_back(std::make_unique<CFrameAssembler>());
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& a : batch)
            for (uint8_t b : one)
                a->feed(b);
        state.ResumeTiming();
        for (auto& a : batch)
            a->reset();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kBatch);
}
BENCHMARK(BM_ResetAfterEntryPacket);

// One whole entry packet: its bytes fed and the reset after it.
void BM_FeedAndResetOneEntryPacket(benchmark::State& state) {
    const std::vector<uint8_t> one = entryStream(1);
    auto a = std::make_unique<CFrameAssembler>();
    for (auto _ : state) {
        for (uint8_t b : one)
            a->feed(b);
        benchmark::DoNotOptimize(a->state());
        a->reset();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_FeedAndResetOneEntryPacket);

// Resetting by clearing all 8192 bytes, for comparison.
void BM_FullBufferMemset(benchmark::State& state) {
    auto buffer = std::make_unique<uint8_t[]>(kMaxPayload);
    for (auto _ : state) {
        std::memset(buffer.get(), 0, kMaxPayload);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FullBufferMemset);

} // namespace
} // namespace walkmere
