// The board fed by the laptop's adapter: the feed's thread, its list, its errors, and the
// board model serving it.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "DumpBuilder.h"
#include "board/BoardModel.h"
#include "board/WifiFeed.h"
#include "testkit/ManualClock.h"
#include "wifi/BssRecord.h"

namespace walkmere {
namespace {

using namespace std::chrono_literals;

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

} // namespace
} // namespace walkmere
