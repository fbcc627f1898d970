// End-to-end sweep rate: the serial link and the board protocol against the stand-in board
// on a pseudo-terminal, with and without the board pacing its answers at the line's
// 3840 bytes per second (38400 baud, 10 bits a byte).
//
// What the line allows: a sweep is 16 requests of 17 bytes and 16 entry packets of at least
// 75 bytes (70 payload bytes, 5 bytes of framing, more when a payload byte is 0x11).
// Requests and answers alternate, so one entry costs at least (17 + 75) / 3840 s = 24.0 ms
// when both directions run at line speed: 2.61 sweeps per second. The stand-in paces only
// its own answers, so here the bound is 3840 / (16 * 75) = 3.2 sweeps per second.
#include "link/SerialLink.h"
#include "platform/Clock.h"
#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "testkit/ScriptedPrompter.h"
#include "tools/board/PseudoTerminal.h"
#include "tools/board/Scenario.h"
#include "tools/board/StandInBoard.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace walkmere;
using namespace std::chrono;

namespace {

void SweepRate(benchmark::State& state, bool paced) {
    std::string error;
    auto pty = PseudoTerminal::open(error);
    if (!pty) {
        state.SkipWithError(error.c_str());
        return;
    }
    Scenario scenario = defaultScenario();
    scenario.faults.pace = paced;
    StandInBoard board(pty->masterFd(), scenario);

    testkit::ScriptedPrompter prompter;
    CLiveApTable table;
    CSerialLink link(prompter, systemClock(), nullptr);
    CBoardProtocol protocol(link, table, systemClock());
    std::atomic<int> sweeps{0};
    protocol.setNotifySink([&](uint32_t w, uint32_t) {
        if (w == kUpdateSweepWParam) sweeps.fetch_add(1);
    });
    link.setPacketHandler(&protocol);
    if (!link.openPort(pty->slavePath())) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    board.start();
    link.start();
    protocol.requestFirmware();

    // Let the identification and the first sweep pass, then time whole sweeps.
    while (sweeps.load() < 1)
        std::this_thread::sleep_for(milliseconds(1));
    const int sweepsPerRun = paced ? 3 : 40;
    for (auto _ : state) {
        auto start = steady_clock::now();
        int target = sweeps.load() + sweepsPerRun;
        while (sweeps.load() < target)
            std::this_thread::sleep_for(microseconds(200));
        state.SetIterationTime(duration<double>(steady_clock::now() - start).count());
    }
    state.SetItemsProcessed(state.iterations() * sweepsPerRun);
    state.counters["sweeps_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * sweepsPerRun), benchmark::Counter::kIsRate);
    link.stop();
    board.stop();
}

} // namespace

BENCHMARK_CAPTURE(SweepRate, unpaced, false)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SweepRate, paced_38400, true)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
