// Merging one sweep into a full live table: 32 entries, 16 non-empty slots that each match
// an entry (the worst case for the linear MAC search is a match near the end), ages that
// never grow so nothing is removed and the table stays full.
#include <benchmark/benchmark.h>

#include "scan/LiveApTable.h"

namespace walkmere {
namespace {

ApRecord benchRecord(uint8_t id) {
    const uint8_t mac[6] = {0x00, 0xA0, 0xF8, 0x12, 0x34, id};
    ApRecord r;
    r.setMac(mac);
    r.setAge(3);
    r.setRssi(-60);
    r.setChannelCode(5180);
    r.setSsid("survey-net");
    return r;
}

void BM_ProcessSweepFullTable(benchmark::State& state) {
    CLiveApTable table;
    for (uint8_t id = 1; id <= CLiveApTable::kMaxEntries; ++id)
        table.addEntry(benchRecord(id));
    SweepSlots slots{};
    for (int i = 1; i <= kSweepSlots; ++i)
        slots[i] = benchRecord(static_cast<uint8_t>(CLiveApTable::kMaxEntries + 1 - i)); // 32..17

    for (auto _ : state) {
        table.processSweep(slots);
        benchmark::ClobberMemory();
    }
    if (table.entryCount() != CLiveApTable::kMaxEntries) state.SkipWithError("table lost entries");
    state.counters["sweeps/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessSweepFullTable);

// Copying the certified records of a full table, as a scan-view repaint or a point commit
// does on the UI thread (this is how long it holds the merge off).
void BM_CertifiedRecordsFullTable(benchmark::State& state) {
    CLiveApTable table;
    table.setSettleCount(1);
    for (uint8_t id = 1; id <= CLiveApTable::kMaxEntries; ++id)
        table.addEntry(benchRecord(id));
    for (auto _ : state) {
        auto records = table.certifiedRecords();
        benchmark::DoNotOptimize(records.data());
    }
}
BENCHMARK(BM_CertifiedRecordsFullTable);

} // namespace
} // namespace walkmere
