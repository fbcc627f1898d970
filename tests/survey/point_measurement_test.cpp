#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "survey/PointMeasurement.h"
#include "testkit/ManualClock.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

using namespace walkmere;

namespace {

struct RecordingQueue : IFrameQueue {
    std::mutex lock;
    std::vector<std::vector<uint8_t>> frames;
    int queueFrame(const uint8_t* bytes, uint32_t n) override {
        std::lock_guard<std::mutex> g(lock);
        frames.emplace_back(bytes, bytes + n);
        return 1;
    }
};

struct Pacing : ::testing::Test {
    RecordingQueue queue;
    CLiveApTable table;
    testkit::ManualClock clock;
    CBoardProtocol board{queue, table, clock};
    MeasurementPacer pacer;

    void startMeasuring() {
        board.measuring = 1;
        board.measurementDone = 0;
        board.progressPercent = 0;
    }
    void tickWithSweep() {
        board.sweepComplete = 1;
        pacer.tick(board, table);
    }
};

const std::vector<uint8_t> kRequestEntry1 = {0x11, 0x12, 0x03, 0x01, 0x00, 0x1C, 0x00, 0x00, 0x01,
                                             0x00, 0x00, 0x00, 0x00, 0x00, 0x3A, 0x11, 0x13};

} // namespace

TEST_F(Pacing, MeasurementLastsDecertifyTimeSweeps) {
    table.setDecertifyTime(10);
    startMeasuring();
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(board.measurementDone.load(), 0) << "before sweep " << i;
        tickWithSweep();
        EXPECT_EQ(board.progressPercent.load(), i * 10);
        EXPECT_EQ(board.sweepComplete.load(), 0);
    }
    EXPECT_EQ(board.measurementDone.load(), 1);
    EXPECT_EQ(pacer.settledSweeps, 0);
}

TEST_F(Pacing, SweepsAreCountedOnlyWhileMeasuring) {
    table.setDecertifyTime(10);
    tickWithSweep();
    tickWithSweep();
    EXPECT_EQ(pacer.settledSweeps, 0);
    EXPECT_EQ(board.progressPercent.load(), 0);
}

TEST_F(Pacing, LoweredDecertifyTimeEndsTheMeasurementAtTheNextSweep) {
    table.setDecertifyTime(30);
    startMeasuring();
    for (int i = 0; i < 12; ++i)
        tickWithSweep();
    EXPECT_EQ(board.measurementDone.load(), 0);
    table.setDecertifyTime(10);
    pacer.tick(board, table); // no sweep: nothing counted
    EXPECT_EQ(board.measurementDone.load(), 0);
    tickWithSweep();
    EXPECT_EQ(board.measurementDone.load(), 1);
    EXPECT_EQ(board.progressPercent.load(), 130);
}

TEST_F(Pacing, EverySecondStaleTickRestartsTheSweep) {
    board.entryIndex = 9;
    pacer.tick(board, table);
    EXPECT_TRUE(queue.frames.empty());
    EXPECT_EQ(board.entryIndex.load(), 9);
    pacer.tick(board, table);
    ASSERT_EQ(queue.frames.size(), 1u);
    EXPECT_EQ(queue.frames[0], kRequestEntry1);
    EXPECT_EQ(board.entryIndex.load(), 1);
    EXPECT_EQ(pacer.staleTicks, 0);
}

TEST_F(Pacing, StaleTicksAddUpAcrossCompletedSweeps) {
    pacer.tick(board, table); // stale 1
    tickWithSweep();          // completed: staleTicks is not cleared
    EXPECT_TRUE(queue.frames.empty());
    pacer.tick(board, table); // stale 2 -> restart
    EXPECT_EQ(queue.frames.size(), 1u);
}
