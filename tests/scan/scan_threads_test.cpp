// The worker merges sweeps while the UI thread reads the table, the strings and the flags,
// restarts stalled sweeps and changes the settings. Run under ThreadSanitizer this must stay
// silent; in any build every record a reader copies must be whole.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "testkit/ManualClock.h"
#include "testkit/RecordingFrameQueue.h"
#include "testkit/ScanBytes.h"

namespace walkmere {
namespace {

using namespace scantest;

// A record whose unused bytes 6..9 and 50..53 both carry `stamp`: a record copied half
// before and half after a merge shows two different stamps.
ApRecord stampedRecord(uint8_t id, int16_t age, uint32_t stamp) {
    ApRecord r = makeRecord(id, age, static_cast<int8_t>(-30 - id));
    std::memcpy(r.bytes.data() + 6, &stamp, 4);
    std::memcpy(r.bytes.data() + 50, &stamp, 4);
    return r;
}

bool whole(const ApRecord& r) {
    return std::memcmp(r.bytes.data() + 6, r.bytes.data() + 50, 4) == 0;
}

TEST(ScanThreads, MergesAndReadsStayConsistent) {
    testkit::RecordingFrameQueue queue;
    CLiveApTable table;
    testkit::ManualClock clock;
    CBoardProtocol protocol(queue, table, clock);
    std::atomic<int> notices{0};
    protocol.setNotifySink([&](uint32_t w, uint32_t) {
        if (w == kUpdateSweepWParam) notices.fetch_add(1);
    });
    protocol.replyEvent.set();

    constexpr uint32_t kSweeps = 1500;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};

    std::thread worker([&] {
        for (uint32_t sweep = 0; sweep < kSweeps; ++sweep) {
            if (sweep % 500 == 0)
                dispatch(protocol, PKT_FIRMWARE, text("FW " + std::to_string(sweep)));
            // Twenty APs rotate through the 16 board entries; some age past their limits
            // and are removed, then come back.
            protocol.entryIndex = 1;
            for (uint8_t nn = 1; nn <= 16; ++nn) {
                const uint8_t id = static_cast<uint8_t>(1 + (sweep + nn) % 20);
                const int16_t age = static_cast<int16_t>((sweep * 7 + nn * 13) % 80);
                dispatch(protocol, PKT_ENTRY, entryPayload(nn, stampedRecord(id, age, sweep)));
            }
        }
        done = true;
    });

    std::thread reader([&] {
        while (!done) {
            for (const ApRecord& r : table.certifiedRecords())
                if (!whole(r)) torn.fetch_add(1);
            for (const LiveApEntry& e : table.snapshot())
                if (!whole(e.record)) torn.fetch_add(1);
            const int n = table.entryCount();
            for (int k = 1; k <= n; ++k) {
                ApRecord r;
                if (table.isCertified(k) && table.copyRecord(k, r) && !whole(r)) torn.fetch_add(1);
            }
            (void)protocol.getFirmwareVersion();
            (void)protocol.getSerialNumber();
            if (protocol.sweepComplete.load()) protocol.sweepComplete = 0;
        }
    });

    std::thread ui([&] {
        int16_t settle = 1;
        int restarts = 0;
        while (!done) {
            table.setSettleCount(settle);
            table.setDeleteTime(static_cast<int16_t>(40 + settle * 3));
            table.setDecertifyTime(static_cast<int16_t>(20 + settle * 3));
            settle = static_cast<int16_t>(settle % 10 + 1);
            if (restarts < 3) { // the timer's stall restart; each costs the worker one wait
                protocol.entryIndex = 1;
                protocol.requestEntry(1);
                ++restarts;
            }
            std::this_thread::yield();
        }
    });

    worker.join();
    reader.join();
    ui.join();

    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(notices.load(), static_cast<int>(kSweeps));
    EXPECT_LE(table.entryCount(), 20);
    EXPECT_GE(queue.count(), kSweeps * 16u);
    EXPECT_EQ(protocol.getFirmwareVersion(), "FW 1000");
}

} // namespace
} // namespace walkmere
