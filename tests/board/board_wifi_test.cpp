// The board fed by the laptop's adapter: the feed's thread, its list, its errors, and the
// board model serving it.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "board/BoardModel.h"
#include "board/WifiEntries.h"
#include "board/WifiFeed.h"
#include "testkit/DumpBuilder.h"
#include "testkit/ManualClock.h"
#include "testkit/ScriptedKernel.h"
#include "testkit/TempDir.h"

namespace walkmere {
namespace {

using namespace std::chrono_literals;
using wifitest::Bytes;

ScanDump dumpOf(const std::vector<wifitest::BssFields>& bssList) {
    ScanDump dump;
    dump.raw = wifitest::buildDump(bssList);
    std::string error;
    if (!parseScanDump(dump.raw, dump.bss, error)) ADD_FAILURE() << error;
    return dump;
}

// A source that plays a script of dumps and errors, then its last dump for ever.
class ScriptedSource final : public IWifiSource {
public:
    struct Step {
        std::optional<ScanDump> dump;
        std::string error;
    };
    ScriptedSource(std::vector<Step> steps, IClock& clock)
        : steps(std::move(steps)), clock(clock) {}

    std::optional<ScanDump> next(std::string& error) override {
        std::lock_guard<std::mutex> guard(lock);
        size_t i = std::min(calls, steps.size() - 1);
        if (calls >= steps.size())
            while (i > 0 && !steps[i].dump)
                --i;
        ++calls;
        wake.notify_all();
        if (!steps[i].dump) {
            error = steps[i].error;
            return std::nullopt;
        }
        ScanDump d = *steps[i].dump;
        d.readAt = clock.seconds();
        return d;
    }
    std::string firmware() const override { return "scripted"; }
    std::string serial() const override { return "SCR001"; }

    // True once next() has been called `n` times, within the limit.
    bool waitForCalls(size_t n, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> guard(lock);
        return wake.wait_for(guard, limit, [&] { return calls >= n; });
    }

private:
    std::vector<Step> steps;
    IClock& clock;
    std::mutex lock;
    std::condition_variable wake;
    size_t calls = 0;
};

// What the sink was told, from the feed's thread.
struct Said {
    std::mutex lock;
    std::vector<std::string> lines;
    WifiFeed::Sink sink() {
        return [this](const std::string& s) {
            std::lock_guard<std::mutex> guard(lock);
            lines.push_back(s);
        };
    }
    std::vector<std::string> taken() {
        std::lock_guard<std::mutex> guard(lock);
        return lines;
    }
};

std::vector<std::string> macs(const std::vector<ApRecord>& records) {
    std::vector<std::string> out;
    for (const ApRecord& r : records)
        out.push_back(r.macText());
    return out;
}

std::vector<std::string> macs(const std::array<ApRecord, kSweepSlots>& records) {
    std::vector<std::string> out;
    for (const ApRecord& r : records)
        if (!r.empty()) out.push_back(r.macText());
    return out;
}

TEST(WifiFeed, AnErrorBeforeTheFirstDumpStopsTheStart) {
    testkit::ManualClock clock;
    auto source = std::make_unique<ScriptedSource>(
        std::vector<ScriptedSource::Step>{{std::nullopt, "wlan0: no such interface"}}, clock);
    WifiFeed feed(std::move(source), 1, clock);
    Said errors;
    feed.setErrorSink(errors.sink());
    std::string error;
    EXPECT_FALSE(feed.start(error));
    EXPECT_EQ(error, "wlan0: no such interface");
    EXPECT_TRUE(feed.entries().empty());
    EXPECT_EQ(feed.dumpsRead(), 0u);
    EXPECT_TRUE(errors.taken().empty()) << "the start says it, not the sink";
}

// Each new error is said once; the last good dump stays the list meanwhile.
TEST(WifiFeed, LaterErrorsAreSaidOnceEachAndTheLastDumpStays) {
    testkit::ManualClock clock;
    clock.setSeconds(100);
    const ScanDump a = dumpOf(wifitest::variedBss(3));
    const ScanDump b = dumpOf(wifitest::variedBss(5, 1));
    auto owned = std::make_unique<ScriptedSource>(
        std::vector<ScriptedSource::Step>{{a, ""},
                                          {std::nullopt, "netlink socket: Connection reset"},
                                          {std::nullopt, "netlink socket: Connection reset"},
                                          {std::nullopt, "wlan0: no such interface"},
                                          {b, ""},
                                          {std::nullopt, "wlan0: no such interface"},
                                          {b, ""}},
        clock);
    ScriptedSource& source = *owned;
    WifiFeed feed(std::move(owned), 1, clock);
    Said errors;
    feed.setErrorSink(errors.sink());
    std::string error;
    ASSERT_TRUE(feed.start(error)) << error;
    EXPECT_EQ(macs(feed.entries()), macs(boardEntries(a, 0)));
    ASSERT_TRUE(source.waitForCalls(8, 10s));
    feed.stop();
    EXPECT_EQ(errors.taken(),
              (std::vector<std::string>{"netlink socket: Connection reset",
                                        "wlan0: no such interface", "wlan0: no such interface"}));
    EXPECT_EQ(macs(feed.entries()), macs(boardEntries(b, 0)));
    EXPECT_GE(feed.dumpsRead(), 3u);
}

// The list is the latest dump's 16 strongest, aged by the clock since it was read.
TEST(WifiFeed, TheListIsTheSixteenStrongestAgedSinceTheRead) {
    struct Case {
        int bssCount;
        uint32_t secondsLater;
        size_t listed;
    };
    const Case cases[] = {{20, 0, 16}, {20, 7, 16}, {3, 40, 3}, {16, 1, 16}, {0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bssCount);
        testkit::ManualClock clock;
        clock.setSeconds(1000);
        const ScanDump dump = dumpOf(wifitest::variedBss(c.bssCount));
        WifiFeed feed(
            std::make_unique<ScriptedSource>(std::vector<ScriptedSource::Step>{{dump, ""}}, clock),
            600000, clock);
        std::string error;
        ASSERT_TRUE(feed.start(error)) << error;
        clock.advance(c.secondsLater);
        const std::vector<ApRecord> list = feed.entries();
        ASSERT_EQ(list.size(), c.listed);
        const auto expected = boardEntries(dump, c.secondsLater);
        for (size_t i = 0; i < list.size(); ++i)
            EXPECT_TRUE(list[i].bytes == expected[i].bytes) << i;
        if (!list.empty()) {
            EXPECT_EQ(list[0].age(), c.secondsLater); // the strongest was heard at the dump
        }
    }
}

// A long interval does not hold up the stop: the feed waits on a condition, not a sleep.
TEST(WifiFeed, StopsAtOnceInTheMiddleOfALongInterval) {
    testkit::ManualClock clock;
    auto owned = std::make_unique<ScriptedSource>(
        std::vector<ScriptedSource::Step>{{dumpOf(wifitest::variedBss(2)), ""}}, clock);
    ScriptedSource& source = *owned;
    WifiFeed feed(std::move(owned), 600000, clock);
    std::string error;
    ASSERT_TRUE(feed.start(error));
    const auto before = std::chrono::steady_clock::now();
    feed.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_FALSE(source.waitForCalls(2, 0ms)) << "only the first dump was read";
}

// A source whose dump changed (the simulated surveyor moved) is read at once when asked,
// not at the end of a long interval, and served from the return on.
TEST(WifiFeed, ReadNowReadsTheNextDumpWithoutWaitingForTheInterval) {
    testkit::ManualClock clock;
    const ScanDump first = dumpOf(wifitest::variedBss(2)), second = dumpOf(wifitest::variedBss(5));
    auto owned = std::make_unique<ScriptedSource>(
        std::vector<ScriptedSource::Step>{{first, ""}, {second, ""}}, clock);
    ScriptedSource& source = *owned;
    WifiFeed feed(std::move(owned), 600000, clock);
    std::string error;
    ASSERT_TRUE(feed.start(error));
    feed.readNow();
    EXPECT_EQ(feed.dumpsRead(), 2u);
    EXPECT_EQ(macs(feed.entries()), macs(boardEntries(second, 0)));
    EXPECT_TRUE(source.waitForCalls(2, 0ms));
}

// With a feed the model answers from it: the scenario's APs are not used, and the firmware
// and serial are the source's.
TEST(WifiFeed, TheBoardModelServesTheFeed) {
    testkit::ManualClock clock;
    const ScanDump dump = dumpOf(wifitest::variedBss(18));
    WifiFeed feed(
        std::make_unique<ScriptedSource>(std::vector<ScriptedSource::Step>{{dump, ""}}, clock),
        600000, clock);
    std::string error;
    ASSERT_TRUE(feed.start(error));
    BoardModel model(defaultScenario(), &feed);
    EXPECT_EQ(model.scenario().firmware, "scripted");
    EXPECT_EQ(model.scenario().serial, "SCR001");
    EXPECT_EQ(macs(model.listAt(0)), macs(boardEntries(dump, 0)));
    EXPECT_TRUE(model.entryAt(16, 0).bytes == boardEntries(dump, 0)[15].bytes);
    BoardModel plain(defaultScenario());
    EXPECT_NE(macs(plain.listAt(0)), macs(model.listAt(0)));
}

// The live adapter's failures, the kernel's own answers played through the real scanner, up
// the whole path: each is said once, as an error (the read failed) or a notice (the results
// were read as they are), and the board goes on with the last scan's entries, older.
TEST(WifiFeed, AfterEachFailureTheBoardAnswersWithTheLastScanAgeing) {
    using wifitest::acknowledge;
    using wifitest::dumpAnswer;
    using wifitest::ScriptedKernel;
    auto event = [](uint8_t command) {
        return wifitest::eventMessage(command, ScriptedKernel::kIfindex);
    };
    const std::vector<wifitest::BssFields> first = wifitest::variedBss(5);
    const std::vector<wifitest::BssFields> second = wifitest::variedBss(40, 1);
    const ScriptedKernel::Answer scanned = acknowledge(0, {event(NL80211_CMD_NEW_SCAN_RESULTS)});
    // Part of the second list, then the kernel's end of a dump whose interface went away.
    auto cutShort = [&](Bytes end) {
        return [&, end](const Bytes&, uint32_t seq) {
            Bytes part = wifitest::resultMessage(second[0], wifitest::kFamily, seq);
            wifitest::append(part, wifitest::resultMessage(second[1], wifitest::kFamily, seq));
            std::vector<NetlinkDatagram> out{{part}};
            if (!end.empty()) out.push_back({end});
            const int32_t code = -ENODEV;
            Bytes rest = wifitest::resultMessage(second[2], wifitest::kFamily, seq);
            wifitest::append(rest, end.empty() ? wifitest::errorMessage(code, seq)
                                               : wifitest::doneMessage(code, seq));
            out.push_back({rest});
            return out;
        };
    };
    const std::string asTheyAre = "; reading the scan results as they are";
    const std::string late = "the scan on wlan0 did not end within 50 ms" + asTheyAre;
    const struct {
        const char* what;
        ScriptedKernel::Answer trigger, dump;
        const char* error;
        std::string notice;
        bool secondList; // the board shows the second list: the read worked
    } cases[] = {
        {"EPERM on the trigger", acknowledge(-EPERM), dumpAnswer(first), "",
         "no permission to trigger scans (needs CAP_NET_ADMIN); going on with the scans the "
         "system makes by itself",
         false},
        {"EBUSY, the running scan ends", acknowledge(-EBUSY, {event(NL80211_CMD_NEW_SCAN_RESULTS)}),
         dumpAnswer(second), "", "", true},
        {"EBUSY, it does not end", acknowledge(-EBUSY), dumpAnswer(first), "", late, false},
        {"ENETDOWN on the trigger", acknowledge(-ENETDOWN), dumpAnswer(first), "wlan0 is down", "",
         false},
        {"the scan aborted", acknowledge(0, {event(NL80211_CMD_SCAN_ABORTED)}), dumpAnswer(first),
         "", "the scan on wlan0 was aborted" + asTheyAre, false},
        {"no results event", acknowledge(0), dumpAnswer(first), "", late, false},
        {"ENODEV in NLMSG_DONE", scanned, dumpAnswer(second, 16384, -ENODEV), "wlan0 has gone", "",
         false},
        {"NLMSG_ERROR part-way", scanned, cutShort({}), "wlan0 has gone", "", false},
        {"interface removed mid-dump", scanned, cutShort(event(NL80211_CMD_DEL_INTERFACE)),
         "wlan0 has gone", "", false},
        {"a dump of 40 datagrams", scanned, dumpAnswer(second, 1024), "", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testkit::TempDir sys; // no wlan0 there: an interface that has gone
        ScriptedKernel kernel;
        kernel.answer(NL80211_CMD_TRIGGER_SCAN, scanned);
        kernel.answer(NL80211_CMD_GET_SCAN, dumpAnswer(first));
        kernel.answer(NL80211_CMD_TRIGGER_SCAN, c.trigger);
        kernel.answer(NL80211_CMD_GET_SCAN, c.dump);
        testkit::ManualClock clock;
        LiveWifiOptions options{"wlan0", true, "", 50, sys.path().string(), 50};
        WifiFeed feed(std::make_unique<LiveWifiSource>(options, clock, kernel.opener()), 1, clock);
        Said errors, notices;
        feed.setErrorSink(errors.sink());
        feed.setNoticeSink(notices.sink());
        std::string error;
        ASSERT_TRUE(feed.start(error)) << error;
        ASSERT_TRUE(kernel.waitForRequests(8, 10s)); // the failing round and a few more
        feed.stop();
        clock.advance(7);
        auto lines = [](const std::string& s) {
            return s.empty() ? std::vector<std::string>{} : std::vector<std::string>{s};
        };
        EXPECT_EQ(errors.taken(), lines(c.error));
        EXPECT_EQ(notices.taken(), lines(c.notice));
        ScanDump shown;
        shown.raw = wifitest::buildDump(c.secondList ? second : first);
        ASSERT_TRUE(parseScanDump(shown.raw, shown.bss, error));
        const std::vector<ApRecord> list = feed.entries();
        const auto expected = boardEntries(shown, 7);
        ASSERT_EQ(list.size(), c.secondList ? 16u : 5u);
        for (size_t i = 0; i < list.size(); ++i)
            EXPECT_TRUE(list[i].bytes == expected[i].bytes) << i;
    }
}

// A read waiting for a scan to end does not hold up the stop, and is not said.
TEST(WifiFeed, StopsInTheMiddleOfAWaitForTheKernel) {
    wifitest::ScriptedKernel kernel;
    kernel.answer(NL80211_CMD_TRIGGER_SCAN,
                  wifitest::acknowledge(
                      0, {wifitest::eventMessage(NL80211_CMD_NEW_SCAN_RESULTS, kernel.kIfindex)}));
    kernel.answer(NL80211_CMD_TRIGGER_SCAN, wifitest::acknowledge(0)); // then no end, ever
    kernel.answer(NL80211_CMD_GET_SCAN, wifitest::dumpAnswer(wifitest::variedBss(3)));
    testkit::ManualClock clock;
    LiveWifiOptions options{"wlan0", true, "", 600000, "/nonexistent", 600000};
    WifiFeed feed(std::make_unique<LiveWifiSource>(options, clock, kernel.opener()), 1, clock);
    Said said;
    feed.setErrorSink(said.sink());
    feed.setNoticeSink(said.sink());
    std::string error;
    ASSERT_TRUE(feed.start(error)) << error;
    ASSERT_TRUE(kernel.waitForRequests(3, 10s)); // the second trigger: its wait has begun
    feed.stop();
    EXPECT_TRUE(said.taken().empty());
    EXPECT_EQ(feed.dumpsRead(), 1u);
}

} // namespace
} // namespace walkmere
