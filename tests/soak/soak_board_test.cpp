// A soak of the whole measuring path: the link worker, the board protocol, the live table
// and the survey store against a stand-in board that loses frames to line noise, splits its
// answers, falls silent, sends selectors the handheld refuses and reports its radio off.
// The test's own loop plays the main frame: it runs the measurement timer, handles the
// board updates queued from the worker, and starts a new point as soon as one is stored.
//
// WALKMERE_SOAK_SECONDS sets the length; the normal suite runs ten seconds.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "board/PseudoTerminal.h"
#include "board/Scenario.h"
#include "board/StandInBoard.h"
#include "link/SerialLink.h"
#include "platform/Clock.h"
#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "survey/PointMeasurement.h"
#include "survey/SurveyStore.h"
#include "testkit/RecordingSoundPlayer.h"
#include "testkit/ScriptedPrompter.h"
#include "testkit/StoreFixture.h"

#if defined(__SANITIZE_THREAD__)
#define SOAK_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SOAK_UNDER_TSAN 1
#endif
#endif
#ifndef SOAK_UNDER_TSAN
#define SOAK_UNDER_TSAN 0
#endif

namespace walkmere {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Eight APs, some flickering, on a line that loses frames (noise with frame markers),
// splits every answer, is silent one second in eight, refuses every 40th entry answer and
// reports the radio off every two seconds.
const char* const kSoakScenario = R"(
firmware DRV-2.14
serial A1B2C3D4E5
seed 7
ap 00:a0:f8:12:34:01 ssid=Office channel=6 rssi=-48 jitter=3
ap 00:a0:f8:12:34:02 ssid="Guest net" channel=36 rssi=-67 jitter=4
ap 00:a0:f8:12:34:03 ssid=Lab channel=149 rssi=-80 jitter=4 miss=0.2
ap 00:a0:f8:12:34:04 ssid=Hall channel=1 rssi=-71 heardEvery=2
ap 00:a0:f8:12:34:05 ssid=Stores channel=11 rssi=-85 jitter=5 miss=0.4
ap 00:a0:f8:12:34:06 ssid="" channel=44 rssi=-60
ap 00:a0:f8:12:34:07 ssid=Printers channel=6 rssi=-90 heardEvery=3
ap 00:a0:f8:12:34:08 ssid=Canteen channel=40 rssi=-58 jitter=2
noise 0.02 markers
split 2
silence 1/8
bad-selector 40
radio-off 2
)";

// The measurement timer runs faster than the frame's 750 ms, so points come quicker; two
// ticks must still outlast a sweep, or every sweep would be restarted before it completes.
constexpr auto kTickPeriod = 400ms;
constexpr int16_t kDecertifyTime = 3;
constexpr int16_t kSettleCount = 2;
constexpr long kRssGrowthLimit = 8L * 1024 * 1024;
// Long enough for a few points at the sweep rate a noisy line allows.
constexpr int kDefaultSoakSeconds = 10;

int soakSeconds() {
    const char* text = std::getenv("WALKMERE_SOAK_SECONDS");
    if (text == nullptr || *text == '\0') return kDefaultSoakSeconds;
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    return (end != text && *end == '\0' && v > 0 && v <= 24 * 3600) ? int(v) : kDefaultSoakSeconds;
}

long residentBytes() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return -1;
    long size = 0, resident = 0;
    int got = std::fscanf(f, "%ld %ld", &size, &resident);
    std::fclose(f);
    return got == 2 ? resident * ::sysconf(_SC_PAGESIZE) : -1;
}

// What the worker hands to the "UI thread": WM_BOARD_UPDATE posts and status texts.
class UiQueue {
public:
    void postUpdate(uint32_t w, uint32_t l) {
        std::lock_guard<std::mutex> g(lock);
        updates.emplace_back(w, l);
        wake.notify_one();
    }
    void postStatus(const std::string& text) {
        std::lock_guard<std::mutex> g(lock);
        statuses.push_back(text);
        wake.notify_one();
    }
    // Waits until something is posted or `until`, then hands over everything posted.
    void take(Clock::time_point until, std::deque<std::pair<uint32_t, uint32_t>>& u,
              std::vector<std::string>& s) {
        std::unique_lock<std::mutex> g(lock);
        wake.wait_until(g, until, [&] { return !updates.empty() || !statuses.empty(); });
        u.swap(updates);
        s.swap(statuses);
        updates.clear();
        statuses.clear();
    }

private:
    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::pair<uint32_t, uint32_t>> updates;
    std::vector<std::string> statuses;
};

struct StoredPoint {
    int32_t x = 0;
    int32_t y = 0;
    size_t readings = 0;
};

TEST(Soak, MeasuringAgainstAMisbehavingBoard) {
    const int seconds = soakSeconds();
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(parseScenario(kSoakScenario, scenario, error)) << error;
    std::optional<PseudoTerminal> pty = PseudoTerminal::open(error);
    ASSERT_TRUE(pty) << error;

    storetest::StoreFixture site;
    site.makeSite();
    const StoreOutcome loaded = site.store.loadPoints();
    ASSERT_TRUE(loaded);
    Notices storeNotices = loaded.notices; // what the store had to tell the surveyor
    CSurveyStore& store = site.store;

    testkit::ScriptedPrompter linkPrompter;
    CSerialLink link(linkPrompter, systemClock(), nullptr);
    CLiveApTable table;
    table.setSettleCount(kSettleCount);
    table.setDecertifyTime(kDecertifyTime);
    CBoardProtocol protocol(link, table, systemClock());
    StandInBoard board(pty->masterFd(), scenario, systemClock());

    UiQueue ui;
    protocol.setNotifySink([&](uint32_t w, uint32_t l) { ui.postUpdate(w, l); });
    protocol.setStatusMessageSink([&](const std::string& text) { ui.postStatus(text); });

    // However the test ends, the worker stops before the protocol and table go away.
    struct Shutdown {
        CSerialLink& link;
        StandInBoard& board;
        ~Shutdown() {
            link.stop();
            board.stop();
        }
    } shutdown{link, board};

    ASSERT_TRUE(board.start());
    ASSERT_TRUE(link.openPort(pty->slavePath())) << linkPrompter.messages().size();
    link.setPacketHandler(&protocol);
    link.start();
    protocol.requestFirmware();

    PointMeasurement measurement(store, protocol, table);
    std::vector<StoredPoint> stored;
    std::vector<int> results;
    size_t statusCount = 0;
    size_t sweepUpdates = 0;
    int pointNumber = 0;

    auto beginNext = [&] {
        ++pointNumber;
        measurement.begin((pointNumber % 40) * 50, (pointNumber / 40) * 50, "TEST");
    };
    beginNext();

    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::seconds(seconds);
    const Clock::time_point warmEnd = start + std::chrono::seconds(seconds >= 8 ? 2 : 1);
    long rssAfterWarmUp = -1;
    Clock::time_point nextTick = start + kTickPeriod;
    std::deque<std::pair<uint32_t, uint32_t>> updates;
    std::vector<std::string> statuses;

    while (Clock::now() < end) {
        ui.take(std::min(nextTick, end), updates, statuses);
        for (const std::string& s : statuses) {
            EXPECT_EQ(s.rfind("Intersil Not Responding at ", 0), 0u) << s;
            ++statusCount;
        }
        for (const auto& [w, l] : updates) {
            if (w != kUpdateSweepWParam) continue;
            EXPECT_EQ(l, kUpdateSweepLParam);
            ++sweepUpdates;
            // The frame's board-update handler.
            if (const auto certified = measurement.takeFinished()) {
                const CommitOutcome committed = store.commitPoint(*certified);
                storeNotices.insert(storeNotices.end(), committed.notices.begin(),
                                    committed.notices.end());
                const int r = committed.stored;
                results.push_back(r);
                ASSERT_NE(r, -1) << "a point could not be stored";
                EXPECT_EQ(r, certified->empty() ? 0 : 1);
                stored.push_back({store.pointX(), store.pointY(), certified->size()});
                beginNext();
            }
        }
        if (Clock::now() >= nextTick) {
            measurement.tick();
            nextTick += kTickPeriod;
            if (nextTick < Clock::now()) nextTick = Clock::now() + kTickPeriod; // after a wait
        }
        if (rssAfterWarmUp < 0 && Clock::now() >= warmEnd) rssAfterWarmUp = residentBytes();
    }
    const long rssAtEnd = residentBytes();
    link.stop();
    board.stop();

    const BoardStats boardStats = board.stats();
    std::printf("soak: %d s, %zu points stored (%zu with no AP), %zu sweeps, %zu status "
                "messages, RSS %ld KiB after warm-up, %ld KiB at the end\n",
                seconds, stored.size(), size_t(std::count(results.begin(), results.end(), 0)),
                sweepUpdates, statusCount, rssAfterWarmUp / 1024, rssAtEnd / 1024);
    std::printf("board: %u entry requests, %u packets, %u bad selectors, %u radio-off, %llu "
                "noise bytes, %u unanswered while silent\n",
                boardStats.entryRequests, boardStats.packets, boardStats.badSelectors,
                boardStats.radioOffPackets, (unsigned long long)boardStats.noiseBytes,
                boardStats.unansweredWhileSilent);

    EXPECT_TRUE(linkPrompter.messages().empty());
    EXPECT_GT(sweepUpdates, 0u);
    EXPECT_GT(statusCount, 0u) << "the board reports its radio off every two seconds";
    ASSERT_FALSE(stored.empty()) << "no point was completed in " << seconds << " s";
    EXPECT_TRUE(storeNotices.empty());

    // Every stored point is in the file, in order, with its readings.
    ASSERT_EQ(store.index().size(), stored.size());
    CSurveyStore fresh;
    fresh.adoptSite(site.path.string(), storetest::makeHeader());
    const StoreOutcome freshLoad = fresh.loadPoints();
    ASSERT_TRUE(freshLoad);
    EXPECT_TRUE(freshLoad.notices.empty());
    ASSERT_EQ(fresh.index().size(), stored.size());
    size_t readingSum = 0;
    for (size_t i = 0; i < stored.size(); ++i) {
        const PointIndexEntry& e = fresh.index()[i];
        EXPECT_EQ(e.x, stored[i].x) << "point " << i;
        EXPECT_EQ(e.y, stored[i].y) << "point " << i;
        EXPECT_EQ(e.readingCount, stored[i].readings) << "point " << i;
        EXPECT_EQ(e.kind, KIND_SURVEY_POINT);
        readingSum += stored[i].readings;
    }
    EXPECT_EQ(fresh.locationCount(), int32_t(stored.size()));
    EXPECT_EQ(fresh.readingTotal(), int32_t(readingSum));
    // The faults really happened.
    EXPECT_GT(boardStats.noiseBytes, 0u);
    EXPECT_GT(boardStats.radioOffPackets, 0u);
    if (seconds >= 8) {
        EXPECT_GT(boardStats.unansweredWhileSilent, 0u);
    }
    if (boardStats.entryRequests >= 80) {
        EXPECT_GT(boardStats.badSelectors, 0u);
    }

#if !SOAK_UNDER_TSAN
    ASSERT_GT(rssAfterWarmUp, 0);
    EXPECT_LT(rssAtEnd - rssAfterWarmUp, kRssGrowthLimit)
        << "resident memory grew from " << rssAfterWarmUp << " to " << rssAtEnd << " bytes";
#endif
}

} // namespace
} // namespace walkmere
