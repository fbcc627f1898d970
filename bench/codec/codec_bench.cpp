// Decoding speed of floor-plan blocks, in bytes of decoded bitmap per second, for three
// kinds of 4000 x 3000 24-bit plans: the table decoder, the bit walk it replaces, and
// zlib's inflate of the same bitmap (level 6) for scale. Everything is in memory.

#include "PlanImages.h"

#include "survey/BitmapCompressor.h"
#include "survey/BitmapExpander.h"
#include "survey/HuffmanDecoder.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

namespace walkmere::bench {
namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

struct Fixture {
    std::vector<uint8_t> bitmap;
    std::vector<uint8_t> block;    // our floor-plan block
    std::vector<uint8_t> deflated; // zlib level 6
};

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "codec_bench: %s\n", what);
    std::exit(1);
}

const Fixture& fixture(PlanKind kind) {
    static std::map<PlanKind, std::unique_ptr<Fixture>> made;
    auto& slot = made[kind];
    if (slot) return *slot;
    slot = std::make_unique<Fixture>();
    Fixture& f = *slot;
    f.bitmap = makePlanBitmap(kind, kWidth, kHeight, 1234);

    VectorSink sink(f.block);
    if (compressFloorPlan(f.bitmap, sink).status != CompressStatus::Ok) fail("compress failed");

    uLongf deflatedSize = compressBound(f.bitmap.size());
    f.deflated.resize(deflatedSize);
    if (compress2(f.deflated.data(), &deflatedSize, f.bitmap.data(), f.bitmap.size(), 6) != Z_OK)
        fail("zlib compress failed");
    f.deflated.resize(deflatedSize);

    // The decoders must give the bitmap back before they are timed.
    std::vector<uint8_t> out;
    if (expandFloorPlan(f.block, out).status != ExpandStatus::Ok || out.size() < f.bitmap.size() ||
        !std::equal(f.bitmap.begin(), f.bitmap.end(), out.begin()))
        fail("round trip failed");
    return f;
}

std::span<const uint8_t> codeOf(const Fixture& f) {
    return std::span<const uint8_t>(f.block).subspan(FloorPlanBlockHeader::kSize);
}

void report(benchmark::State& state, const Fixture& f) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.bitmap.size()));
    state.counters["coded_MB"] = double(f.block.size()) / 1e6;
    state.counters["zlib_MB"] = double(f.deflated.size()) / 1e6;
}

// The program's decoder: tree, table and decoding, into memory.
void BM_TableDecoder(benchmark::State& state) {
    const Fixture& f = fixture(PlanKind(state.range(0)));
    state.SetLabel(planKindName(PlanKind(state.range(0))));
    std::vector<uint8_t> out(f.bitmap.size() + 64);
    for (auto _ : state) {
        const HuffmanTree tree(FloorPlanBlockHeader::parse(f.block.data()).weights);
        HuffmanDecoder decoder(tree);
        const MemoryDecodeResult r = decodeCodeStream(decoder, codeOf(f), out.data(), out.size());
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    report(state, f);
}

// The same decoder through the file path's block writer (25000-byte blocks to a sink
// that only counts them), to show what the streaming costs.
void BM_TableDecoderStreamed(benchmark::State& state) {
    class CountingSink : public ByteSink {
    public:
        bool write(const uint8_t* from, size_t n) override {
            benchmark::DoNotOptimize(from);
            total += n;
            return true;
        }
        uint64_t total = 0;
    };
    const Fixture& f = fixture(PlanKind(state.range(0)));
    state.SetLabel(planKindName(PlanKind(state.range(0))));
    for (auto _ : state) {
        MemorySource source(f.block);
        CountingSink sink;
        const ExpandResult r = expandFloorPlan(source, sink);
        benchmark::DoNotOptimize(r);
    }
    report(state, f);
}

// The reference: one bit at a time down the tree.
void BM_BitWalk(benchmark::State& state) {
    const Fixture& f = fixture(PlanKind(state.range(0)));
    state.SetLabel(planKindName(PlanKind(state.range(0))));
    const std::span<const uint8_t> code = codeOf(f);
    std::vector<uint8_t> out(f.bitmap.size() + 64);
    for (auto _ : state) {
        const HuffmanTree tree(FloorPlanBlockHeader::parse(f.block.data()).weights);
        BitWalkDecoder decoder(tree);
        // Same slicing as the memory path: each slice's worst case fits the room left.
        size_t used = 0, written = 0;
        while (used < code.size()) {
            const size_t room = out.size() - written;
            const size_t slice = std::min({code.size() - used, size_t(1) << 16, room / 8});
            if (slice == 0) break;
            written += decoder.decode(code.data() + used, slice, out.data() + written);
            used += slice;
        }
        benchmark::DoNotOptimize(written);
        benchmark::ClobberMemory();
    }
    report(state, f);
}

void BM_ZlibInflate(benchmark::State& state) {
    const Fixture& f = fixture(PlanKind(state.range(0)));
    state.SetLabel(planKindName(PlanKind(state.range(0))));
    std::vector<uint8_t> out(f.bitmap.size());
    for (auto _ : state) {
        uLongf size = out.size();
        if (uncompress(out.data(), &size, f.deflated.data(), f.deflated.size()) != Z_OK)
            fail("inflate failed");
        benchmark::DoNotOptimize(size);
        benchmark::ClobberMemory();
    }
    report(state, f);
}

void kinds(benchmark::internal::Benchmark* b) {
    b->Arg(int(PlanKind::LineDrawing))
        ->Arg(int(PlanKind::ColouredRooms))
        ->Arg(int(PlanKind::NoisyScan));
    b->Unit(benchmark::kMillisecond)->MinTime(1.0);
}

BENCHMARK(BM_TableDecoder)->Apply(kinds);
BENCHMARK(BM_TableDecoderStreamed)->Apply(kinds);
BENCHMARK(BM_BitWalk)->Apply(kinds);
BENCHMARK(BM_ZlibInflate)->Apply(kinds);

} // namespace
} // namespace walkmere::bench
