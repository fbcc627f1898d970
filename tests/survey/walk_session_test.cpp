// A walking survey: the samples' pacing and what each holds, their places along the taps'
// segments, and what ending, a crash and a failed write leave in the site file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numeric>

#include "scan/LiveApTable.h"
#include "survey/WalkSession.h"
#include "testkit/FailingFileOps.h"
#include "testkit/ScanBytes.h"
#include "testkit/StoreFixture.h"

namespace walkmere {
namespace {

using namespace std::chrono_literals;
using scantest::makeRecord;
using scantest::sweepOf;

std::vector<uint8_t> ids(const std::vector<ApRecord>& heard) {
    std::vector<uint8_t> out;
    for (const ApRecord& r : heard)
        out.push_back(r.mac()[5]);
    return out;
}

TEST(WalkSampler, OneSampleASecondOrOneASweepWhenSweepsAreSlower) {
    struct Case {
        WalkTime sweepEvery;
        WalkTime spacing; // from one sample to the next, at least
    };
    for (const Case c :
         {Case{300ms, 1000ms}, Case{900ms, 1000ms}, Case{1000ms, 1000ms}, Case{2500ms, 2500ms}}) {
        SCOPED_TRACE(c.sweepEvery.count());
        CLiveApTable table;
        WalkSampler sampler(table);
        sampler.restart(0ms);
        std::vector<WalkTime> taken;
        WalkTime nextSweep = c.sweepEvery;
        // Updates come more often than sweeps (other board messages): only a sweep counts.
        for (WalkTime t = 100ms; t <= 20s; t += 100ms) {
            if (t == nextSweep) {
                table.processSweep(sweepOf({makeRecord(1, 0)}));
                nextSweep += c.sweepEvery;
            }
            if (auto sample = sampler.update(t)) {
                EXPECT_EQ(sample->at, t);
                taken.push_back(t);
            }
        }
        ASSERT_GE(taken.size(), 5u);
        for (size_t i = 1; i < taken.size(); ++i) {
            EXPECT_GE(taken[i] - taken[i - 1], c.spacing);
            EXPECT_LT(taken[i] - taken[i - 1], c.spacing + c.sweepEvery);
        }
    }
}

TEST(WalkSampler, ASampleHoldsWhatWasHeardAfreshSinceThePreviousOne) {
    CLiveApTable table; // settle count 5: nothing below is certified
    WalkSampler sampler(table);
    table.processSweep(sweepOf({makeRecord(1, 0), makeRecord(2, 0)}));
    sampler.restart(0ms); // what came before the walk is in no sample
    // 1 ages; 2 is heard again and then ages within the same stretch; 3 is new.
    table.processSweep(sweepOf({makeRecord(1, 1), makeRecord(2, 0, -50), makeRecord(3, 0)}));
    table.processSweep(sweepOf({makeRecord(1, 2), makeRecord(2, 1, -52), makeRecord(3, 0)}));
    std::optional<WalkSample> first = sampler.update(1s);
    ASSERT_TRUE(first);
    EXPECT_EQ(ids(first->heard), (std::vector<uint8_t>{2, 3}));
    EXPECT_EQ(first->heard[0].rssi(), -52); // the latest report of it
    // Nothing heard afresh while the table holds APs: no sample until something is.
    table.processSweep(sweepOf({makeRecord(1, 3), makeRecord(2, 2), makeRecord(3, 1)}));
    EXPECT_FALSE(sampler.update(3s));
    table.processSweep(sweepOf({makeRecord(1, 0)}));
    std::optional<WalkSample> second = sampler.update(3100ms);
    ASSERT_TRUE(second);
    EXPECT_EQ(ids(second->heard), std::vector<uint8_t>{1});
    // An empty table is a spot where nothing is heard: that sample is taken.
    table.removeWhere([](const ApRecord&) { return true; });
    table.processSweep(sweepOf({}));
    std::optional<WalkSample> hole = sampler.update(5s);
    ASSERT_TRUE(hole);
    EXPECT_TRUE(hole->heard.empty());
}

// A walk over a store's site file, the board sweeping every 400 ms with one AP heard afresh.
struct WalkFixture : storetest::StoreFixture {
    CLiveApTable table;
    std::unique_ptr<WalkSession> walk = std::make_unique<WalkSession>(store, table);
    WalkTime now{};

    WalkFixture() {
        makeSite();
        walk->arm();
    }
    void walkUntil(WalkTime until) {
        for (; now + 400ms <= until;) {
            now += 400ms;
            table.processSweep(sweepOf({makeRecord(1, 0, int8_t(-40 - now.count() / 1000))}));
            walk->update(now);
        }
    }
    WalkTapOutcome tapAt(int32_t x, int32_t y, WalkTime at) {
        walkUntil(at);
        return walk->tap(x, y, at);
    }
    std::vector<PointRecord> fileRecords() {
        CSurveyStore reopened;
        reopened.adoptSite(path.string(), storetest::makeHeader());
        EXPECT_TRUE(reopened.loadPoints().notices.empty()) << "the file needed a repair";
        std::vector<PointRecord> records;
        for (const PointIndexEntry& e : reopened.index())
            records.push_back(storetest::recordAt(file(), e.fileOffset));
        return records;
    }
};

double offSegment(const PointIndexEntry& p, const WalkTap& a, const WalkTap& b) {
    const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
    const double t =
        length2 == 0 ? 0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

TEST(WalkSession, SamplesLieOnTheirSegmentEvenlySpacedAtAnEvenPace) {
    WalkFixture f;
    const WalkTap taps[] = {{100, 100, 0ms},
                            {600, 350, 10100ms},
                            {600, 50, 16100ms},
                            {50, 400, 31100ms},
                            {50, 400, 35100ms}};
    EXPECT_TRUE(f.tapAt(taps[0].x, taps[0].y, taps[0].at).started);
    size_t written = 0;
    for (size_t k = 1; k < std::size(taps); ++k) {
        SCOPED_TRACE(k);
        const WalkTapOutcome outcome = f.tapAt(taps[k].x, taps[k].y, taps[k].at);
        EXPECT_TRUE(outcome.notices.empty());
        ASSERT_GE(outcome.written, 3);
        const std::vector<PointIndexEntry> segment(f.store.index().begin() + long(written),
                                                   f.store.index().end());
        ASSERT_EQ(segment.size(), size_t(outcome.written));
        written += segment.size();
        std::vector<double> gaps;
        for (size_t i = 0; i < segment.size(); ++i) {
            EXPECT_LE(offSegment(segment[i], taps[k - 1], taps[k]), 1.0);
            if (i)
                gaps.push_back(
                    std::hypot(segment[i].x - segment[i - 1].x, segment[i].y - segment[i - 1].y));
        }
        const double mean = std::accumulate(gaps.begin(), gaps.end(), 0.0) / double(gaps.size());
        for (double gap : gaps)
            EXPECT_LE(std::abs(gap - mean), 0.1 * mean + 1e-9) << gap << " against " << mean;
    }
    EXPECT_EQ(f.walk->taps().size(), std::size(taps));
    for (const PointRecord& r : f.fileRecords())
        EXPECT_TRUE(r.walkedSample()) << r.label();
    EXPECT_EQ(f.fileRecords().size(), written);
}

// The samples after the last tap are in memory only: ending the walk drops exactly those,
// and a program that dies (its session gone unclosed) leaves every closed segment whole.
TEST(WalkSession, OnlyTheSegmentUnderWayIsLostByAnEndOrACrash) {
    for (const bool crash : {false, true}) {
        SCOPED_TRACE(crash ? "crash" : "end");
        WalkFixture f;
        int written = 0;
        for (int k = 0; k <= 2; ++k)
            written += f.tapAt(100 * k, 50 * k, k * 5s).written;
        f.walkUntil(13s);
        EXPECT_EQ(f.walk->segmentSamples(), 2); // at 10.8 and 12.0 s
        if (crash) // the program dies: the session goes without closing its segment
            f.walk.reset();
        else
            EXPECT_EQ(f.walk->end(), 2);
        EXPECT_EQ(f.fileRecords().size(), size_t(written));
    }
    EXPECT_EQ(walkEndedText(7), "Walk ended: 7 samples after the last tap dropped");
    EXPECT_EQ(walkSegmentText(12), "WALK: 12 SAMPLES IN THIS SEGMENT");
}

TEST(WalkSession, AFailedWriteIsSaidWithTheSamplesItLost) {
    WalkFixture f;
    (void)f.tapAt(10, 10, 0ms);
    const int first = f.tapAt(100, 10, 2500ms).written; // 1.2 and 2.4 s
    testkit::FailingFileOps failing;
    ScopedFileOps use(failing);
    failing.failOn(testkit::FailingFileOps::Call::Write, 2, ENOSPC);
    const WalkTapOutcome outcome = f.tapAt(200, 10, 6s); // 3.6, 4.8 and 6.0 s
    EXPECT_EQ(outcome.written, 1);
    EXPECT_EQ(outcome.lost, 2);
    EXPECT_EQ(storetest::texts(outcome.notices),
              (std::vector<std::string>{"Could not write the survey point: " +
                                            std::string(std::strerror(ENOSPC)),
                                        walkSamplesLostText(2)}));
    EXPECT_EQ(f.fileRecords().size(), size_t(first + 1));
}

} // namespace
} // namespace walkmere
