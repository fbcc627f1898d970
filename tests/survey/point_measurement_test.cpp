// A survey point's measurement: the 750 ms timer counting sweeps and restarting a stalled
// sweep, and the hand-over of the certified APs for the commit.
#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "survey/PointMeasurement.h"
#include "testkit/ManualClock.h"
#include "testkit/RecordingFrameQueue.h"
#include "testkit/ScanBytes.h"
#include "testkit/StoreFixture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace walkmere;

namespace {

struct Pacing : ::testing::Test, storetest::StoreFixture {
    testkit::RecordingFrameQueue queue;
    CLiveApTable table;
    testkit::ManualClock clock;
    CBoardProtocol board{queue, table, clock};
    PointMeasurement measurement{store, board, table};

    void startMeasuring() { measurement.begin(10, 20, "TEST"); }
    void tickWithSweep() {
        board.sweepComplete = 1;
        measurement.tick();
    }
};

} // namespace

TEST_F(Pacing, MeasurementLastsDecertifyTimeSweeps) {
    table.setDecertifyTime(10);
    startMeasuring();
    for (int i = 1; i <= 10; ++i) {
        EXPECT_FALSE(measurement.done()) << "before sweep " << i;
        tickWithSweep();
        EXPECT_EQ(measurement.progressPercent(), i * 10);
        EXPECT_EQ(board.sweepComplete.load(), 0);
    }
    EXPECT_TRUE(measurement.done());
    EXPECT_EQ(measurement.settledSweeps(), 0);
}

TEST_F(Pacing, SweepsAreCountedOnlyWhileMeasuring) {
    table.setDecertifyTime(10);
    tickWithSweep();
    tickWithSweep();
    EXPECT_EQ(measurement.settledSweeps(), 0);
    EXPECT_EQ(measurement.progressPercent(), 0);
}

TEST_F(Pacing, LoweredDecertifyTimeEndsTheMeasurementAtTheNextSweep) {
    table.setDecertifyTime(30);
    startMeasuring();
    for (int i = 0; i < 12; ++i)
        tickWithSweep();
    EXPECT_FALSE(measurement.done());
    table.setDecertifyTime(10);
    measurement.tick(); // no sweep: nothing counted
    EXPECT_FALSE(measurement.done());
    tickWithSweep();
    EXPECT_TRUE(measurement.done());
    EXPECT_EQ(measurement.progressPercent(), 130);
}

TEST_F(Pacing, EverySecondStaleTickRestartsTheSweep) {
    board.entryIndex = 9;
    measurement.tick();
    EXPECT_EQ(queue.count(), 0u);
    EXPECT_EQ(board.entryIndex.load(), 9);
    measurement.tick();
    ASSERT_EQ(queue.count(), 1u);
    EXPECT_EQ(queue.last(), scantest::entryRequestFrame(1));
    EXPECT_EQ(board.entryIndex.load(), 1);
    EXPECT_EQ(measurement.staleTicks(), 0);
}

TEST_F(Pacing, StaleTicksAddUpAcrossCompletedSweeps) {
    measurement.tick(); // stale 1
    tickWithSweep();    // completed: staleTicks is not cleared
    EXPECT_EQ(queue.count(), 0u);
    measurement.tick(); // stale 2 -> restart
    EXPECT_EQ(queue.count(), 1u);
}

TEST_F(Pacing, TheCertifiedApsAreHandedOverOnceWhenDone) {
    SweepSlots sweep{};
    sweep[1] = storetest::ap(1, -70);
    sweep[2] = storetest::ap(2, -55);
    table.setSettleCount(1);
    table.setDecertifyTime(1);
    table.processSweep(sweep);
    startMeasuring();
    EXPECT_FALSE(measurement.takeFinished()) << "not done yet";
    tickWithSweep();
    const auto certified = measurement.takeFinished();
    ASSERT_TRUE(certified);
    ASSERT_EQ(certified->size(), 2u);
    EXPECT_EQ((*certified)[1].rssi(), -55);
    EXPECT_FALSE(measurement.running());
    EXPECT_FALSE(measurement.takeFinished()) << "a later update finds nothing to commit";
}
