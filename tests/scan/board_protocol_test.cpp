#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "testkit/ManualClock.h"
#include "testkit/RecordingFrameQueue.h"
#include "testkit/ScanBytes.h"

namespace walkmere {
namespace {

using namespace scantest;
using Clock = std::chrono::steady_clock;
using Notice = std::pair<uint32_t, uint32_t>;

const Bytes kSerialRequest = {0x11, 0x12, 0x02, 0x11, 0x13};

class BoardProtocolTest : public ::testing::Test {
protected:
    BoardProtocolTest() : protocol(queue, table, clock) {
        protocol.setNotifySink([this](uint32_t w, uint32_t l) {
            notices.emplace_back(w, l);
            framesAtNotice.push_back(queue.count());
        });
        protocol.setStatusMessageSink([this](const std::string& m) { messages.push_back(m); });
    }

    // Entry packets as they arrive in a running sweep, with replyEvent already set by the
    // previous one, so the follow-up request goes out without the 250 ms wait.
    void entry(uint8_t nn, const ApRecord& r) {
        dispatch(protocol, PKT_ENTRY, entryPayload(nn, r));
    }

    testkit::RecordingFrameQueue queue;
    CLiveApTable table;
    testkit::ManualClock clock;
    CBoardProtocol protocol;
    std::vector<Notice> notices;
    std::vector<size_t> framesAtNotice;
    std::vector<std::string> messages;
};

// ---- identification ----

TEST_F(BoardProtocolTest, FirmwareRequestAndAnswer) {
    protocol.requestFirmware();
    dispatch(protocol, PKT_FIRMWARE, text("DRV 2.07"));
    const auto frames = queue.all();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], (Bytes{0x11, 0x12, 0x01, 0x11, 0x13}));
    EXPECT_EQ(frames[1], kSerialRequest);
    EXPECT_EQ(protocol.getFirmwareVersion(), "DRV 2.07");
    EXPECT_TRUE(notices.empty());
}

TEST_F(BoardProtocolTest, LongFirmwareIsCutTo31Characters) {
    const std::string longName(45, 'F');
    dispatch(protocol, PKT_FIRMWARE, text(longName));
    EXPECT_EQ(protocol.getFirmwareVersion(), std::string(31, 'F'));
    // A shorter string later leaves nothing of the longer one behind.
    dispatch(protocol, PKT_FIRMWARE, text("v1"));
    EXPECT_EQ(protocol.getFirmwareVersion(), "v1");
}

TEST_F(BoardProtocolTest, StringsWithoutNulStopAtThePacketsEnd) {
    dispatch(protocol, PKT_FIRMWARE, text("ABC", false));
    EXPECT_EQ(protocol.getFirmwareVersion(), "ABC");
    protocol.replyEvent.set();
    dispatch(protocol, PKT_SERIAL, text("12", false));
    EXPECT_EQ(protocol.getSerialNumber(), "12");
}

TEST_F(BoardProtocolTest, EmptyStringPacketsAreEmptyStrings) {
    dispatch(protocol, PKT_FIRMWARE, text("DRV-1"));
    protocol.dispatchPacket(PKT_FIRMWARE, nullptr, 0);
    EXPECT_EQ(protocol.getFirmwareVersion(), "");
    ASSERT_EQ(queue.count(), 2u) << "every firmware packet asks for the serial number";
    EXPECT_EQ(queue.last(), kSerialRequest);

    protocol.entryIndex = 9;
    const uint8_t none[1] = {0x41};
    protocol.dispatchPacket(PKT_SERIAL, none, 0);
    EXPECT_EQ(protocol.getSerialNumber(), "");
    EXPECT_EQ(protocol.entryIndex.load(), 1);
    EXPECT_EQ(queue.last(), entryRequestFrame(1));
    EXPECT_EQ(notices, (std::vector<Notice>{{2, 0}}));
}

TEST_F(BoardProtocolTest, SerialStartsTheSweepAfterTheFullWait) {
    protocol.entryIndex = 9;
    const auto start = Clock::now();
    dispatch(protocol, PKT_SERIAL, text("A1B2C3D4E5")); // ten characters
    const auto waited = Clock::now() - start;

    EXPECT_EQ(protocol.getSerialNumber(), "A1B2C3");
    EXPECT_EQ(protocol.entryIndex.load(), 1);
    ASSERT_EQ(queue.count(), 1u);
    EXPECT_EQ(queue.last(), entryRequestFrame(1));
    EXPECT_EQ(queue.last().size(), 17u);
    // replyEvent starts clear, so the first entry request waits its full 250 ms.
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    EXPECT_FALSE(protocol.replyEvent.isSet());
    ASSERT_EQ(notices, (std::vector<Notice>{{2, 0}}));
    EXPECT_EQ(framesAtNotice[0], 1u); // posted after the request went out
}

TEST_F(BoardProtocolTest, SecondSerialRestartsAtEntryOne) {
    protocol.replyEvent.set();
    dispatch(protocol, PKT_SERIAL, text("111111"));
    protocol.replyEvent.set();
    entry(1, makeRecord(1, 0));
    entry(2, makeRecord(2, 0));
    ASSERT_EQ(protocol.entryIndex.load(), 3);
    dispatch(protocol, PKT_SERIAL, text("222222"));
    EXPECT_EQ(protocol.entryIndex.load(), 1);
    EXPECT_EQ(queue.last(), entryRequestFrame(1));
    EXPECT_EQ(protocol.getSerialNumber(), "222222");
    EXPECT_EQ(notices, (std::vector<Notice>{{2, 0}, {2, 0}}));
}

// ---- the sweep ----

TEST_F(BoardProtocolTest, EachEntryAsksForTheNextWithoutWaiting) {
    protocol.replyEvent.set();
    const auto start = Clock::now();
    for (uint8_t nn = 1; nn <= 15; ++nn) {
        entry(nn, makeRecord(nn, 0));
        EXPECT_EQ(queue.last(), entryRequestFrame(static_cast<uint8_t>(nn + 1)));
        EXPECT_TRUE(protocol.replyEvent.isSet()) << "after entry " << int(nn);
        EXPECT_EQ(protocol.entrySlot(nn), makeRecord(nn, 0));
    }
    // Fifteen requests that each waited would take 3.75 s.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(queue.count(), 15u);
    EXPECT_EQ(protocol.sweepComplete.load(), 0);
    EXPECT_EQ(table.entryCount(), 0);
    EXPECT_TRUE(notices.empty());
}

TEST_F(BoardProtocolTest, EntrySixteenCompletesTheSweep) {
    protocol.replyEvent.set();
    for (uint8_t nn = 1; nn <= 15; ++nn)
        entry(nn, makeRecord(nn, 0, -60, nn % 4 == 0 ? 0 : 5180)); // every fourth slot empty
    entry(16, makeRecord(16, 0));

    EXPECT_EQ(queue.last(), entryRequestFrame(1));
    EXPECT_EQ(protocol.entryIndex.load(), 1);
    EXPECT_EQ(protocol.sweepComplete.load(), 1);
    EXPECT_EQ(notices, (std::vector<Notice>{{4, 0x1000001C}}));
    EXPECT_EQ(framesAtNotice[0], queue.count()); // the request went out before the notice
    EXPECT_EQ(table.entryCount(), 13);
    EXPECT_EQ(table.findEntry(makeRecord(16, 0)), 13);
    EXPECT_EQ(table.findEntry(makeRecord(4, 0)), 0);
}

TEST_F(BoardProtocolTest, SlotsKeepTheirRecordsAcrossSweeps) {
    protocol.replyEvent.set();
    for (uint8_t nn = 1; nn <= 16; ++nn)
        entry(nn, makeRecord(nn, 0));
    // Second sweep: only entry 16 answers (entryIndex jumps there by the selector).
    protocol.entryIndex = 16;
    entry(16, makeRecord(16, 0));
    EXPECT_EQ(notices.size(), 2u);
    ASSERT_EQ(table.entryCount(), 16);
    const auto entries = table.snapshot();
    for (const auto& e : entries)
        EXPECT_EQ(e.sightings, 2); // stale slots merged again
}

TEST_F(BoardProtocolTest, SelectorNamingAnotherEntryStoresInTheCurrentSlot) {
    protocol.replyEvent.set();
    ASSERT_EQ(protocol.entryIndex.load(), 1);
    entry(5, makeRecord(55, 0));
    EXPECT_EQ(protocol.entrySlot(1), makeRecord(55, 0));
    EXPECT_EQ(protocol.entrySlot(5), ApRecord{});
    EXPECT_EQ(protocol.entryIndex.load(), 6);
    EXPECT_EQ(queue.last(), entryRequestFrame(6));
}

TEST_F(BoardProtocolTest, UnacceptableSelectorsAreIgnored) {
    const ApRecord r = makeRecord(7, 0);
    std::vector<Bytes> bad;
    bad.push_back(entryPayload(0, r));
    bad.push_back(entryPayload(17, r));
    Bytes wrongTag = entryPayload(3, r);
    wrongTag[2] = 0x1D;
    bad.push_back(wrongTag);
    Bytes middle1 = entryPayload(3, r);
    middle1[3] = 0x01;
    bad.push_back(middle1);
    Bytes middle2 = entryPayload(3, r);
    middle2[4] = 0x80;
    bad.push_back(middle2);

    for (bool eventSet : {false, true}) {
        for (const Bytes& p : bad) {
            eventSet ? protocol.replyEvent.set() : protocol.replyEvent.reset();
            protocol.entryIndex = 4;
            dispatch(protocol, PKT_ENTRY, p);
            EXPECT_EQ(queue.count(), 0u);
            EXPECT_EQ(protocol.entryIndex.load(), 4);
            EXPECT_EQ(protocol.entrySlot(4), ApRecord{});
            EXPECT_EQ(protocol.replyEvent.isSet(), eventSet);
            // The header is kept even from a refused packet.
            EXPECT_TRUE(std::equal(p.begin(), p.begin() + 16, protocol.lastEntryHeader().begin()));
        }
    }
    EXPECT_TRUE(notices.empty());
}

TEST_F(BoardProtocolTest, ShortEntryPacketsReadZerosPastTheirEnd) {
    const Bytes whole = entryPayload(3, makeRecord(1, 0));
    struct Case {
        size_t length;
        bool accepted; // the selector is there (bytes 2 to 5)
    };
    for (const Case c : {Case{69, true}, Case{50, true}, Case{12, true}, Case{6, true},
                         Case{5, false}, Case{0, false}}) {
        SCOPED_TRACE(c.length);
        const size_t before = queue.count();
        protocol.entryIndex = 3;
        protocol.replyEvent.set();
        dispatch(protocol, PKT_ENTRY, Bytes(whole.begin(), whole.begin() + c.length));
        if (!c.accepted) {
            EXPECT_EQ(queue.count(), before);
            continue;
        }
        ASSERT_EQ(queue.count(), before + 1);
        EXPECT_EQ(queue.last(), entryRequestFrame(4));
        ApRecord expected{};
        for (size_t i = 12; i < c.length; ++i)
            expected.bytes[i - 12] = whole[i];
        EXPECT_EQ(protocol.entrySlot(3), expected);
    }
}

// ---- other packets ----

TEST_F(BoardProtocolTest, OtherTypesDoNothing) {
    const Bytes payload = entryPayload(1, makeRecord(1, 0));
    for (uint8_t type : {0, 5, 6, 0x7F, 0xFF})
        dispatch(protocol, type, payload);
    EXPECT_EQ(queue.count(), 0u);
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(protocol.entrySlot(1), ApRecord{});
    EXPECT_EQ(protocol.getFirmwareVersion(), "");
}

TEST_F(BoardProtocolTest, RadioStatusZeroReportsTheTime) {
    clock.setLocalTime(9, 5);
    dispatch(protocol, PKT_RADIO_STATUS, Bytes{1});
    EXPECT_TRUE(messages.empty());
    dispatch(protocol, PKT_RADIO_STATUS, Bytes{0});
    clock.setLocalTime(23, 59);
    dispatch(protocol, PKT_RADIO_STATUS, Bytes{0, 7});
    dispatch(protocol, PKT_RADIO_STATUS, Bytes{}); // an empty status reads 0
    EXPECT_EQ(messages, (std::vector<std::string>{"Intersil Not Responding at 9:5",
                                                  "Intersil Not Responding at 23:59",
                                                  "Intersil Not Responding at 23:59"}));
    EXPECT_EQ(queue.count(), 0u);
    EXPECT_TRUE(notices.empty());
}

TEST_F(BoardProtocolTest, PacketArrivingWhileBusyIsIgnored) {
    int nested = 0;
    protocol.setNotifySink([&](uint32_t w, uint32_t l) {
        notices.emplace_back(w, l);
        ++nested;
        dispatch(protocol, PKT_FIRMWARE, text("inner"));
    });
    protocol.replyEvent.set();
    dispatch(protocol, PKT_SERIAL, text("ABCDEF"));
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(protocol.getFirmwareVersion(), "");
    EXPECT_EQ(queue.count(), 1u); // only the entry request: no REQ_SERIAL from the inner one
    // Once the handling has ended the flag is clear again.
    dispatch(protocol, PKT_FIRMWARE, text("outer"));
    EXPECT_EQ(protocol.getFirmwareVersion(), "outer");
}

// ---- commands ----

TEST_F(BoardProtocolTest, KeepAliveIsTwoRawZeroBytes) {
    protocol.sendKeepAlive();
    EXPECT_EQ(queue.all(), (std::vector<Bytes>{{0x00, 0x00}}));
}

TEST_F(BoardProtocolTest, RequestEntryRefusesIndexesTheBoardHasNot) {
    EXPECT_EQ(protocol.requestEntry(0), 0);
    EXPECT_EQ(protocol.requestEntry(17), 0);
    EXPECT_EQ(queue.count(), 0u);
    protocol.replyEvent.set();
    EXPECT_EQ(protocol.requestEntry(16), 1);
    EXPECT_EQ(queue.last(), entryRequestFrame(16));
}

TEST_F(BoardProtocolTest, SendCommandResetsTheEventWithOrWithoutWaiting) {
    protocol.replyEvent.set();
    EXPECT_EQ(protocol.sendCommand(REQ_SERIAL, nullptr, 0, false), 1);
    EXPECT_FALSE(protocol.replyEvent.isSet());

    // A 0x11 in the payload goes out escaped.
    const uint8_t payload[2] = {0x11, 0x42};
    protocol.replyEvent.set();
    protocol.sendCommand(0x11, payload, 2, true);
    EXPECT_EQ(queue.last(), (Bytes{0x11, 0x12, 0x11, 0x14, 0x11, 0x14, 0x42, 0x11, 0x13}));
    EXPECT_FALSE(protocol.replyEvent.isSet());

    // Too long for the send slot: nothing is queued.
    const std::vector<uint8_t> huge(200, 0x11);
    const size_t before = queue.count();
    EXPECT_EQ(protocol.sendCommand(REQ_READ_ENTRY, huge.data(), huge.size(), false), 0);
    EXPECT_EQ(queue.count(), before);
}

TEST_F(BoardProtocolTest, UiRestartMakesTheNextRequestWait) {
    protocol.replyEvent.set();
    entry(1, makeRecord(1, 0));
    entry(2, makeRecord(2, 0));
    // The timer's stall restart, as the UI thread does it.
    protocol.entryIndex = 1;
    protocol.requestEntry(1);
    EXPECT_EQ(queue.last(), entryRequestFrame(1));
    const auto start = Clock::now();
    entry(1, makeRecord(11, 0));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(protocol.entrySlot(1), makeRecord(11, 0));
    EXPECT_EQ(queue.last(), entryRequestFrame(2));
}

} // namespace
} // namespace walkmere
