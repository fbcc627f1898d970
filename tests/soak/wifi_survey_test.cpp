// A survey from a replayed capture, end to end: the board fed by the replay on a private
// pseudo-terminal (as `walkmere --wifi-replay` runs it), and on the other side the program's
// own link, board protocol, live table, measurement and survey store, down to the site file.
// The test's loop plays the main frame, as the soak does.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>

#include "board/WifiBoard.h"
#include "link/SerialLink.h"
#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "survey/PointMeasurement.h"
#include "survey/PointsWalk.h"
#include "survey/SurveyStore.h"
#include "testkit/DumpBuilder.h"
#include "testkit/ScriptedPrompter.h"
#include "testkit/StoreFixture.h"
#include "testkit/Wakeups.h"

namespace walkmere {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

TEST(WifiSurvey, APointFromAReplayHoldsTheReplayedAps) {
    // Two scans of the same 20 BSSs, all heard at the dump: the 16 strongest reach the board.
    std::vector<wifitest::BssFields> bss = wifitest::variedBss(20);
    for (wifitest::BssFields& b : bss)
        b.seenMsAgo = 0;
    storetest::StoreFixture site;
    const std::string capture = site.dir.file("walk.nlscan").string();
    wifitest::writeCapture(capture, {wifitest::buildDump(bss), wifitest::buildDump(bss)});
    std::map<std::string, int> strongest; // MAC text -> dBm, the 16 strongest
    std::map<std::string, std::string> ssids;
    {
        std::vector<wifitest::BssFields> sorted = bss;
        std::sort(sorted.begin(), sorted.end(),
                  [](const auto& a, const auto& b) { return a.signalMbm > b.signalMbm; });
        for (int i = 0; i < 16; ++i) {
            ApRecord r;
            r.setMac(sorted[i].bssid.data());
            strongest[r.macText()] = sorted[i].signalMbm / 100;
            ssids[r.macText()] = sorted[i].ssid;
        }
    }

    WifiSettings settings;
    settings.replayPath = capture;
    settings.intervalMs = 200;
    std::string error;
    std::vector<std::string> feedErrors; // only before the board is stopped, in its thread
    std::unique_ptr<WifiBoard> board =
        WifiBoard::start(settings, error, [&](const std::string& e) { feedErrors.push_back(e); });
    ASSERT_TRUE(board) << error;

    site.makeSite();
    const StoreOutcome loaded = site.store.loadPoints();
    ASSERT_TRUE(loaded);
    Notices storeNotices = loaded.notices; // what the store had to tell the surveyor
    testkit::ScriptedPrompter linkPrompter;
    CSerialLink link(linkPrompter, systemClock(), nullptr);
    CLiveApTable table;
    table.setSettleCount(2);
    table.setDecertifyTime(3);
    CBoardProtocol protocol(link, table, systemClock());
    testkit::Wakeups updates;
    protocol.setNotifySink([&](uint32_t w, uint32_t) {
        if (w == kUpdateSweepWParam) updates.post();
    });
    struct Shutdown {
        CSerialLink& link;
        std::unique_ptr<WifiBoard>& board;
        ~Shutdown() {
            link.stop();
            board.reset();
        }
    } shutdown{link, board};

    ASSERT_TRUE(link.openPort(board->slavePath()));
    link.setPacketHandler(&protocol);
    link.start();
    protocol.requestFirmware();

    // The point is begun once the table holds the 16 certified, as a surveyor waits for the
    // list to settle; the measurement then runs its sweeps and the point is committed.
    PointMeasurement measurement(site.store, protocol, table);
    bool begun = false;
    int committed = -2;
    const Clock::time_point end = Clock::now() + 60s;
    Clock::time_point nextTick = Clock::now() + 400ms;
    while (committed == -2 && Clock::now() < end) {
        const bool swept = updates.take(std::min(nextTick, end));
        if (!begun && table.certifiedRecords().size() == 16) {
            measurement.begin(100, 200, "TEST");
            begun = true;
        }
        if (swept) {
            if (const auto certified = measurement.takeFinished()) {
                const CommitOutcome outcome = site.store.commitPoint(*certified);
                committed = outcome.stored;
                storeNotices.insert(storeNotices.end(), outcome.notices.begin(),
                                    outcome.notices.end());
            }
        }
        if (Clock::now() >= nextTick) {
            measurement.tick();
            nextTick = Clock::now() + 400ms;
        }
    }
    link.stop();
    EXPECT_EQ(protocol.getFirmwareVersion(), "nl80211 replay");
    EXPECT_EQ(protocol.getSerialNumber(), "walk");
    board.reset();
    ASSERT_TRUE(begun) << "the table never held the 16 strongest certified";
    ASSERT_EQ(committed, 1) << "no point with readings was committed";
    EXPECT_TRUE(feedErrors.empty());
    EXPECT_TRUE(linkPrompter.messages().empty());
    EXPECT_TRUE(storeNotices.empty());

    // The site file, read on its own: one point, its readings the replayed APs.
    const int fd = ::open(site.path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::vector<PointsEntry> points;
    const PointsWalkEnd walked = walkPointsSection(
        fd, storetest::kPointsAt, [&](const PointsEntry& entry, const PointSummary&) {
            points.push_back(entry);
            return true;
        });
    ::close(fd);
    ASSERT_EQ(walked.status, PointsWalkEnd::Status::End);
    ASSERT_EQ(points.size(), 1u);
    ASSERT_EQ(points[0].readings.size(), 16u);
    std::map<std::string, int> read;
    for (const ApReading& r : points[0].readings) {
        ApRecord asRecord;
        asRecord.setMac(r.mac());
        read[asRecord.macText()] = r.rssiDbm();
        EXPECT_EQ(r.ssid(), ssids[asRecord.macText()]) << asRecord.macText();
    }
    EXPECT_EQ(read, strongest);
}

} // namespace
} // namespace walkmere
