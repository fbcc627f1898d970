#include <gtest/gtest.h>

#include "scan/LiveApTable.h"
#include "testkit/ScanBytes.h"

namespace walkmere {
namespace {

using scantest::makeRecord;
using scantest::sweepOf;

uint8_t macIdAt(const CLiveApTable& t, int k) {
    ApRecord r;
    EXPECT_TRUE(t.copyRecord(k, r));
    return r.mac()[5];
}

int16_t sightingsOf(const CLiveApTable& t, int k) {
    return t.snapshot().at(k - 1).sightings;
}

TEST(LiveApTableCertification, FourthUpdateCertifiesWithSettleCountFive) {
    CLiveApTable t;
    t.processSweep(sweepOf({makeRecord(1, 3)}));
    ASSERT_EQ(t.entryCount(), 1);
    EXPECT_EQ(t.isCertified(1), 0);
    for (int update = 1; update <= 4; ++update) {
        EXPECT_EQ(t.isCertified(1), 0) << "before update " << update;
        t.processSweep(sweepOf({makeRecord(1, 3)})); // same age: heard afresh
    }
    EXPECT_EQ(t.isCertified(1), 1);
    EXPECT_EQ(sightingsOf(t, 1), 5);
}

TEST(LiveApTableCertification, EqualOrSmallerAgeIsAFreshSighting) {
    CLiveApTable t;
    t.addEntry(makeRecord(1, 5));
    EXPECT_EQ(t.updateEntry(1, makeRecord(1, 5)), 0);
    EXPECT_EQ(sightingsOf(t, 1), 2);
    EXPECT_EQ(t.updateEntry(1, makeRecord(1, 0)), 0);
    EXPECT_EQ(sightingsOf(t, 1), 3);
}

TEST(LiveApTableCertification, SettleCountOneCertifiesOnArrival) {
    CLiveApTable t;
    t.setSettleCount(1);
    EXPECT_EQ(t.addEntry(makeRecord(1, 0)), 1);
    EXPECT_EQ(t.isCertified(1), 1);
}

TEST(LiveApTableCertification, ChangedSettleCountActsAtTheNextSighting) {
    CLiveApTable t;
    t.addEntry(makeRecord(1, 0));
    t.updateEntry(1, makeRecord(1, 0));
    t.updateEntry(1, makeRecord(1, 0)); // three sightings, uncertified
    t.setSettleCount(3);
    EXPECT_EQ(t.isCertified(1), 0);
    t.updateEntry(1, makeRecord(1, 9)); // grown age: not a sighting
    EXPECT_EQ(t.isCertified(1), 0);
    t.updateEntry(1, makeRecord(1, 9));
    EXPECT_EQ(t.isCertified(1), 1);
    t.setSettleCount(10); // raising it never uncertifies
    t.updateEntry(1, makeRecord(1, 9));
    EXPECT_EQ(t.isCertified(1), 1);
}

TEST(LiveApTableCertification, SightingsStopAtTheirCeiling) {
    CLiveApTable t;
    t.addEntry(makeRecord(1, 0));
    for (int i = 0; i < 40000; ++i)
        t.updateEntry(1, makeRecord(1, 0));
    EXPECT_EQ(sightingsOf(t, 1), 32767);
    EXPECT_EQ(t.isCertified(1), 1);
}

TEST(LiveApTableAgeing, UncertifiedEntryStaysUpToTheDeleteTime) {
    CLiveApTable t;
    t.addEntry(makeRecord(1, 10));
    EXPECT_EQ(t.updateEntry(1, makeRecord(1, 60)), 0);
    EXPECT_EQ(t.entryCount(), 1);
    EXPECT_EQ(t.updateEntry(1, makeRecord(1, 61)), -1);
    EXPECT_EQ(t.entryCount(), 0);
}

TEST(LiveApTableAgeing, CertifiedEntryStaysUpToTheDecertifyTime) {
    CLiveApTable t;
    t.setSettleCount(1);
    t.addEntry(makeRecord(1, 10));
    t.addEntry(makeRecord(2, 10));
    EXPECT_EQ(t.updateEntry(1, makeRecord(1, 30)), 0);
    EXPECT_EQ(t.entryCount(), 2);
    EXPECT_EQ(t.updateEntry(1, makeRecord(1, 31)), -1);
    ASSERT_EQ(t.entryCount(), 1);
    EXPECT_EQ(macIdAt(t, 1), 2);
}

TEST(LiveApTableAgeing, LimitsFollowTheSettings) {
    CLiveApTable t;
    t.setDeleteTime(10);
    t.addEntry(makeRecord(1, 0));
    EXPECT_EQ(t.updateEntry(1, makeRecord(1, 11)), -1);
    t.setSettleCount(1);
    t.setDecertifyTime(90);
    t.addEntry(makeRecord(1, 0));
    EXPECT_EQ(t.updateEntry(1, makeRecord(1, 90)), 0);
    EXPECT_EQ(t.decertifyTime(), 90);
    EXPECT_EQ(t.deleteTime(), 10);
}

TEST(LiveApTableAgeing, GrownAgeReplacesTheRecordWithoutASighting) {
    CLiveApTable t;
    t.addEntry(makeRecord(1, 10, -70));
    EXPECT_EQ(t.updateEntry(1, makeRecord(1, 20, -50)), 0);
    EXPECT_EQ(sightingsOf(t, 1), 1);
    ApRecord held;
    ASSERT_TRUE(t.copyRecord(1, held));
    EXPECT_EQ(held.age(), 20);
    EXPECT_EQ(held.rssi(), -50);
    // The next comparison is against the grown age: 15 is a fresh sighting, 18 is not.
    t.updateEntry(1, makeRecord(1, 15));
    EXPECT_EQ(sightingsOf(t, 1), 2);
    t.updateEntry(1, makeRecord(1, 18));
    EXPECT_EQ(sightingsOf(t, 1), 2);
}

TEST(LiveApTableAgeing, RemovedApComesBackAsANewEntry) {
    CLiveApTable t;
    t.processSweep(sweepOf({makeRecord(1, 0), makeRecord(2, 0)}));
    t.processSweep(sweepOf({makeRecord(1, 61), makeRecord(2, 0)}));
    ASSERT_EQ(t.entryCount(), 1);
    EXPECT_EQ(macIdAt(t, 1), 2);

    t.processSweep(sweepOf({makeRecord(1, 70)})); // any age adds it again, at the end
    ASSERT_EQ(t.entryCount(), 2);
    EXPECT_EQ(macIdAt(t, 2), 1);
    EXPECT_EQ(sightingsOf(t, 2), 1);
    EXPECT_EQ(t.isCertified(2), 0);

    t.processSweep(sweepOf({makeRecord(1, 75)})); // still growing beyond 60: gone again
    EXPECT_EQ(t.entryCount(), 1);
}

TEST(LiveApTableLayout, RemovalClosesTheGap) {
    CLiveApTable t;
    for (uint8_t id = 1; id <= 5; ++id)
        t.addEntry(makeRecord(id, 0));
    t.setSettleCount(1);
    t.updateEntry(5, makeRecord(5, 0));
    EXPECT_EQ(t.removeEntry(3), 0);
    ASSERT_EQ(t.entryCount(), 4);
    EXPECT_EQ(macIdAt(t, 1), 1);
    EXPECT_EQ(macIdAt(t, 2), 2);
    EXPECT_EQ(macIdAt(t, 3), 4);
    EXPECT_EQ(macIdAt(t, 4), 5);
    EXPECT_EQ(t.isCertified(4), 1); // flags move with their records
    EXPECT_EQ(t.isCertified(3), 0);
    ApRecord r;
    EXPECT_FALSE(t.copyRecord(5, r));
    EXPECT_EQ(t.findEntry(makeRecord(3, 0)), 0);
    EXPECT_EQ(t.findEntry(makeRecord(5, 0)), 4);
}

TEST(LiveApTableLayout, FullTableIgnoresTheThirtyThirdAp) {
    CLiveApTable t;
    for (uint8_t id = 1; id <= 32; ++id)
        EXPECT_EQ(t.addEntry(makeRecord(id, 0)), id);
    const auto before = t.snapshot();
    EXPECT_EQ(t.addEntry(makeRecord(33, 0)), 0);
    t.processSweep(sweepOf({makeRecord(34, 0)}));
    EXPECT_EQ(t.entryCount(), 32);
    const auto after = t.snapshot();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].record, before[i].record);
        EXPECT_EQ(after[i].sightings, before[i].sightings);
    }
}

TEST(LiveApTableLayout, OutOfRangeIndexesChangeNothing) {
    CLiveApTable t;
    t.addEntry(makeRecord(1, 0));
    EXPECT_EQ(t.updateEntry(0, makeRecord(1, 0)), 0);
    EXPECT_EQ(t.updateEntry(2, makeRecord(1, 0)), 0);
    EXPECT_EQ(t.removeEntry(0), 0);
    EXPECT_EQ(t.removeEntry(2), 0);
    EXPECT_EQ(t.entryCount(), 1);
    EXPECT_EQ(sightingsOf(t, 1), 1);
    EXPECT_EQ(t.isCertified(-1), 0);
    EXPECT_EQ(t.isCertified(33), 0);
}

TEST(LiveApTableSweep, EmptySlotsChangeNothing) {
    CLiveApTable t;
    t.processSweep(sweepOf({makeRecord(1, 0)}));
    SweepSlots empty{};
    for (int i = 1; i <= 16; ++i)
        empty[i] = makeRecord(static_cast<uint8_t>(i), 0, -40, 0);
    t.processSweep(empty);
    ASSERT_EQ(t.entryCount(), 1);
    EXPECT_EQ(sightingsOf(t, 1), 1);
}

TEST(LiveApTableSweep, TwoSlotsWithOneMacUpdateOneEntry) {
    CLiveApTable t;
    t.processSweep(sweepOf({makeRecord(1, 4, -70), makeRecord(1, 4, -55)}));
    ASSERT_EQ(t.entryCount(), 1);
    EXPECT_EQ(sightingsOf(t, 1), 2);
    ApRecord held;
    t.copyRecord(1, held);
    EXPECT_EQ(held.rssi(), -55);
}

TEST(LiveApTableSweep, SlotZeroIsNotPartOfTheSweep) {
    CLiveApTable t;
    SweepSlots slots{};
    slots[0] = makeRecord(9, 0);
    slots[16] = makeRecord(16, 0);
    t.processSweep(slots);
    ASSERT_EQ(t.entryCount(), 1);
    EXPECT_EQ(macIdAt(t, 1), 16);
}

TEST(LiveApTableReaders, CertifiedRecordsKeepTableOrder) {
    CLiveApTable t;
    t.setSettleCount(2);
    for (uint8_t id = 1; id <= 4; ++id)
        t.addEntry(makeRecord(id, 0, static_cast<int8_t>(-40 - id)));
    t.updateEntry(4, makeRecord(4, 0));
    t.updateEntry(2, makeRecord(2, 0));
    const auto certified = t.certifiedRecords();
    ASSERT_EQ(certified.size(), 2u);
    EXPECT_EQ(certified[0].mac()[5], 2);
    EXPECT_EQ(certified[1].mac()[5], 4);
    const auto all = t.snapshot();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[1].certified, 1);
    EXPECT_EQ(all[2].certified, 0);
    EXPECT_EQ(all[3].sightings, 2);
}

} // namespace
} // namespace walkmere
