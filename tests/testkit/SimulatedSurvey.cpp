#include "testkit/SimulatedSurvey.h"

#include <random>

#include <algorithm>

#include "app/SimulatedBoard.h"
#include "board/BoardSettings.h"
#include "link/SerialLink.h"
#include "platform/Clock.h"
#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "sim/WalkerTimeline.h"
#include "survey/PointMeasurement.h"
#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"
#include "survey/WalkSession.h"
#include "testkit/ScriptedPrompter.h"
#include "testkit/Wakeups.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <optional>

namespace walkmere::simtest {

using namespace std::chrono_literals;

std::vector<Spot> surveyGrid(const sim::SimulatedSite& site, double metres) {
    const int32_t step = int32_t(std::lround(metres / site.distanceM(0, 0, 1, 0)));
    std::vector<Spot> grid;
    if (step < 1) return grid;
    std::vector<int32_t> columns, rows;
    for (int32_t x = step; x < site.width() - step / 2; x += step)
        columns.push_back(x);
    for (int32_t y = step; y < site.height() - step / 2; y += step)
        rows.push_back(y);
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t i = 0; i < columns.size(); ++i)
            grid.push_back({columns[r % 2 ? columns.size() - 1 - i : i], rows[r]});
    return grid;
}

namespace {

// The program's measuring path on a simulated board, without a window: the link, the board
// protocol, the live table and the store on the model's site file, the link running.
struct ProgramOnBoard {
    std::unique_ptr<SimulatedBoard> board;
    CSurveyStore store;
    testkit::ScriptedPrompter prompter;
    CSerialLink link{prompter, systemClock(), nullptr};
    CLiveApTable table;
    CBoardProtocol protocol{link, table, systemClock()};
    testkit::Wakeups sweeps;

    ~ProgramOnBoard() { link.stop(); }

    // False, with `why`, when any of it cannot be had.
    bool start(std::unique_ptr<SimulatedBoard> started, std::string& why) {
        board = std::move(started);
        if (!board) return false;
        const ReadOnlySite site = openSiteReadOnly(board->sitePath());
        if (!site.accepted()) {
            why = "the model's site cannot be opened";
            return false;
        }
        store.adoptSite(board->sitePath(), site.validation.layout.header);
        if (!store.loadPoints()) {
            why = "the site's points cannot be loaded";
            return false;
        }
        protocol.setNotifySink([&](uint32_t w, uint32_t) {
            if (w == kUpdateSweepWParam) sweeps.post();
        });
        if (!link.openPort(board->slavePath())) {
            why = "the board's port cannot be opened";
            return false;
        }
        link.setPacketHandler(&protocol);
        link.start();
        protocol.requestFirmware();
        return true;
    }

    // Waits until the table has merged a sweep begun after this call; false after 5 s
    // without a sweep.
    bool awaitWholeSweep() {
        const uint32_t from = table.sweepsMerged();
        while (table.sweepsMerged() - from < 2)
            if (!sweeps.take(5s)) return false;
        return true;
    }
};

} // namespace

size_t surveyThroughProgram(const std::filesystem::path& model, std::span<const Spot> spots,
                            std::string& why) {
    ProgramOnBoard program;
    program.table.setSettleCount(2); // the APs that come into the 16 strongest are certified
    program.table.setDecertifyTime(4);
    PointMeasurement measurement(program.store, program.protocol, program.table);
    if (!program.start(SimulatedBoard::start(model.string(), std::nullopt, 100, why), why))
        return 0;
    program.board->follow(measurement, program.table);

    size_t stored = 0;
    for (const Spot& spot : spots) {
        measurement.begin(spot.x, spot.y, "TEST");
        for (;;) {
            if (!program.sweeps.take(5s)) {
                why = "no sweep for 5 s";
                return stored;
            }
            if (const auto certified = measurement.takeFinished()) {
                if (program.store.commitPoint(*certified).stored < 1) {
                    why = "a point with no reading";
                    return stored;
                }
                ++stored;
                break;
            }
            measurement.tick();
        }
    }
    return stored;
}

size_t walkThroughProgram(const std::filesystem::path& model, const std::filesystem::path& walk,
                          double stepSeconds, double scanSeconds, std::string& why) {
    std::optional<sim::WalkerTimeline> timeline = sim::loadWalkerTimeline(walk.string(), why);
    if (!timeline || !(stepSeconds > 0) || !(scanSeconds > 0)) return 0;
    // The walker's clock and the session's times are one: the clock starts well after 0.
    constexpr double kStart = 100;
    std::atomic<double> clock{kStart};
    ProgramOnBoard program;
    // The board scans when told to, and only then.
    if (!program.start(SimulatedBoard::start(model.string(), std::nullopt, kMaxWifiIntervalMs, why,
                                             walk.string(), [&] { return clock.load(); }),
                       why))
        return 0;
    WalkSession session(program.store, program.table);
    program.board->followWalk(session);
    session.arm();

    // Every step of the clock, and every waypoint's time, in order.
    std::map<double, const sim::Waypoint*> moments;
    const double end = timeline->waypoints().back().seconds;
    for (int k = 0; k * stepSeconds < end; ++k)
        moments[k * stepSeconds] = nullptr;
    for (const sim::Waypoint& w : timeline->waypoints())
        moments[w.seconds] = &w;
    size_t written = 0;
    double nextScan = 0;
    for (const auto& [t, waypoint] : moments) {
        clock = kStart + t;
        const WalkTime now(std::llround((kStart + t) * 1000));
        if (t >= nextScan) {
            program.board->scanNow();
            nextScan = t + scanSeconds;
        }
        if (!program.awaitWholeSweep()) {
            why = "no sweep for 5 s";
            return written;
        }
        session.update(now);
        if (!waypoint) continue;
        const WalkTapOutcome tapped =
            session.tap(int32_t(std::lround(waypoint->x)), int32_t(std::lround(waypoint->y)), now);
        if (!tapped.notices.empty()) {
            why = tapped.notices.front().text;
            return written;
        }
        written += size_t(tapped.written);
    }
    return written;
}

std::vector<Spot> spotsInside(const SurveyData& survey, size_t count) {
    if (survey.points.empty()) return {};
    const auto [left, right] = std::minmax_element(survey.points.begin(), survey.points.end(),
                                                   [](auto& a, auto& b) { return a.x < b.x; });
    const auto [top, bottom] = std::minmax_element(survey.points.begin(), survey.points.end(),
                                                   [](auto& a, auto& b) { return a.y < b.y; });
    std::mt19937 random(2025);
    std::uniform_int_distribution<int32_t> spotX(left->x, right->x), spotY(top->y, bottom->y);
    std::vector<Spot> spots(count);
    for (Spot& spot : spots)
        spot = {spotX(random), spotY(random)};
    return spots;
}

} // namespace walkmere::simtest
