#include "link/FrameAssembler.h"
#include "link/FrameEncoder.h"
#include "link/PacketHandler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace walkmere {
namespace {

using Bytes = std::vector<uint8_t>;
using S = CFrameAssembler::State;

void feedAll(CFrameAssembler& a, const Bytes& bytes) {
    for (uint8_t b : bytes)
        a.feed(b);
}

// Every byte at or past length() must be zero: that is what NUL-terminates strings.
bool tailIsZero(const CFrameAssembler& a) {
    for (size_t i = a.length(); i < kMaxPayload; ++i)
        if (a.payload()[i] != 0) return false;
    return true;
}

struct Step {
    const char* row;
    Bytes before; // brings the assembler into the state under test
    uint8_t byte;
    S next;
    uint8_t type;  // checked when next is not Idle
    Bytes payload; // what is stored afterwards
};

TEST(FrameAssembler, FollowsEveryRowOfTheTransitionTable) {
    const std::vector<Step> table = {
        {"Idle, marker", {}, 0x11, S::Marker, 0, {}},
        {"Idle, other byte", {}, 0x13, S::Idle, 0, {}},
        {"Idle, zero", {}, 0x00, S::Idle, 0, {}},
        {"Marker, start code", {0x11}, 0x12, S::Start, 0, {}},
        {"Marker, second marker (drop)", {0x11}, 0x11, S::Idle, 0, {}},
        {"Marker, other byte (drop)", {0x11}, 0x13, S::Idle, 0, {}},
        {"Start, ordinary type", {0x11, 0x12}, 0x05, S::Payload, 0x05, {}},
        {"Start, type 0x11", {0x11, 0x12}, 0x11, S::TypeEscape, 0x11, {}},
        {"TypeEscape, escape code", {0x11, 0x12, 0x11}, 0x14, S::Payload, 0x11, {}},
        {"TypeEscape, other byte (drop)", {0x11, 0x12, 0x11}, 0x12, S::Idle, 0, {}},
        {"Payload, ordinary byte", {0x11, 0x12, 0x05, 0xAA}, 0x13, S::Payload, 0x05, {0xAA, 0x13}},
        {"Payload, marker", {0x11, 0x12, 0x05, 0xAA}, 0x11, S::PayloadEscape, 0x05, {0xAA}},
        {"PayloadEscape, end code",
         {0x11, 0x12, 0x05, 0xAA, 0x11},
         0x13,
         S::Complete,
         0x05,
         {0xAA}},
        {"PayloadEscape, escape code",
         {0x11, 0x12, 0x05, 0xAA, 0x11},
         0x14,
         S::Payload,
         0x05,
         {0xAA, 0x11}},
        {"PayloadEscape, start code (drop)", {0x11, 0x12, 0x05, 0xAA, 0x11}, 0x12, S::Idle, 0, {}},
        {"PayloadEscape, other byte (drop)", {0x11, 0x12, 0x05, 0xAA, 0x11}, 0x00, S::Idle, 0, {}},
        {"Complete, any byte",
         {0x11, 0x12, 0x05, 0xAA, 0x11, 0x13},
         0x11,
         S::Complete,
         0x05,
         {0xAA}},
    };
    for (const Step& s : table) {
        SCOPED_TRACE(s.row);
        CFrameAssembler a;
        feedAll(a, s.before);
        a.feed(s.byte);
        EXPECT_EQ(a.state(), s.next);
        if (s.next != S::Idle) {
            EXPECT_EQ(a.type(), s.type);
        }
        ASSERT_EQ(a.length(), s.payload.size());
        // memcmp must not be given the null data() of an empty vector, even for 0 bytes.
        if (!s.payload.empty()) {
            EXPECT_EQ(0, std::memcmp(a.payload(), s.payload.data(), s.payload.size()));
        }
        EXPECT_TRUE(tailIsZero(a)); // a drop leaves a clean buffer behind it
    }
}

TEST(FrameAssembler, AssemblesWholeFramesFromTheLine) {
    CFrameAssembler a;
    feedAll(a, {0x11, 0x12, 0x01, 0x11, 0x13});
    EXPECT_EQ(a.state(), S::Complete);
    EXPECT_EQ(a.type(), 1);
    EXPECT_EQ(a.length(), 0u);

    // Noise, zero bytes (the keep-alive) and stray codes ahead of a frame do not disturb it.
    CFrameAssembler b;
    feedAll(b, {0x00, 0x00, 0x13, 0x12, 0x14, 0xFF, 0x11, 0x12, 0x11, 0x14, 0x41, 0x11, 0x14, 0x42,
                0x11, 0x13});
    ASSERT_EQ(b.state(), S::Complete);
    EXPECT_EQ(b.type(), 0x11);
    ASSERT_EQ(b.length(), 3u);
    EXPECT_EQ(b.payload()[0], 0x41);
    EXPECT_EQ(b.payload()[1], 0x11); // 11 14 stores one 0x11
    EXPECT_EQ(b.payload()[2], 0x42);
}

TEST(FrameAssembler, LosesFramesOnMalformedStarts) {
    {
        SCOPED_TRACE("doubled marker: 11 11 12 ...");
        CFrameAssembler a;
        feedAll(a, {0x11, 0x11, 0x12, 0x05, 0xAA, 0x11, 0x13});
        EXPECT_NE(a.state(), S::Complete);
        EXPECT_EQ(a.state(), S::Idle);
    }
    {
        SCOPED_TRACE("a new start inside an unfinished frame loses both");
        CFrameAssembler a;
        int completes = 0;
        for (uint8_t b : Bytes{0x11, 0x12, 0x05, 0xAA, 0x11, 0x12, 0x06, 0xBB, 0x11, 0x13}) {
            a.feed(b);
            if (a.state() == S::Complete) ++completes;
        }
        EXPECT_EQ(completes, 0);
        EXPECT_EQ(a.state(), S::Idle);
        // The line recovers with the next whole frame.
        feedAll(a, {0x11, 0x12, 0x07, 0xCC, 0x11, 0x13});
        ASSERT_EQ(a.state(), S::Complete);
        EXPECT_EQ(a.type(), 7);
        ASSERT_EQ(a.length(), 1u);
        EXPECT_EQ(a.payload()[0], 0xCC);
    }
}

TEST(FrameAssembler, HoldsACompleteFrameUntilReset) {
    CFrameAssembler a;
    feedAll(a, {0x11, 0x12, 0x03, 'o', 'k', 0x11, 0x13});
    ASSERT_EQ(a.state(), S::Complete);
    feedAll(a, {0x11, 0x12, 0x09, 'x', 'y', 'z', 0x11, 0x13, 0x00, 0x11});
    EXPECT_EQ(a.state(), S::Complete);
    EXPECT_EQ(a.type(), 3);
    ASSERT_EQ(a.length(), 2u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.payload())), "ok");

    a.reset();
    EXPECT_EQ(a.state(), S::Idle);
    EXPECT_EQ(a.length(), 0u);
    EXPECT_EQ(a.type(), 3); // the type byte survives a reset
    EXPECT_TRUE(tailIsZero(a));
}

TEST(FrameAssembler, StringPayloadsAreTerminatedAfterALongerFrame) {
    CFrameAssembler a;
    feedAll(a, {0x11, 0x12, 0x02, 'V', '1', '.', '2', '3', '-', 'b', 'e', 't', 'a', 0x11, 0x13});
    ASSERT_EQ(a.state(), S::Complete);
    a.reset();
    // A shorter string without its own NUL still reads as exactly itself.
    feedAll(a, {0x11, 0x12, 0x02, 'V', '2', 0x11, 0x13});
    ASSERT_EQ(a.state(), S::Complete);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.payload())), "V2");
    EXPECT_TRUE(tailIsZero(a));
}

// The assembler with guard bytes right behind it, to see any write past its buffer.
struct Guarded {
    CFrameAssembler a;
    uint8_t guard[256];
};

TEST(FrameAssembler, DropsPayloadsLongerThanTheBufferWithoutOverrun) {
    auto g = std::make_unique<Guarded>();
    std::memset(g->guard, 0xA5, sizeof g->guard);
    CFrameAssembler& a = g->a;

    // Exactly the buffer's size still fits.
    feedAll(a, {0x11, 0x12, 0x04});
    for (size_t i = 0; i < kMaxPayload; ++i)
        a.feed(0x55);
    feedAll(a, {0x11, 0x13});
    ASSERT_EQ(a.state(), S::Complete);
    EXPECT_EQ(a.length(), kMaxPayload);
    a.reset();
    EXPECT_TRUE(tailIsZero(a));

    // One byte more and the frame is dropped; its end does not complete anything.
    feedAll(a, {0x11, 0x12, 0x04});
    for (size_t i = 0; i < kMaxPayload + 1000; ++i)
        a.feed(0x55);
    EXPECT_EQ(a.state(), S::Idle);
    feedAll(a, {0x11, 0x13});
    EXPECT_EQ(a.state(), S::Idle);
    EXPECT_EQ(a.length(), 0u);
    EXPECT_TRUE(tailIsZero(a));
    for (uint8_t b : g->guard)
        ASSERT_EQ(b, 0xA5);

    feedAll(a, {0x11, 0x12, 0x04, 0x01, 0x11, 0x13});
    ASSERT_EQ(a.state(), S::Complete);
    EXPECT_EQ(a.length(), 1u);
}

TEST(FrameEncoder, EncodesTheKnownFramesByteForByte) {
    uint8_t out[kSendSlotSize];

    ASSERT_EQ(encodeFrame(0x01, nullptr, 0, out, kSendSlotSize), 5u);
    EXPECT_EQ(Bytes(out, out + 5), (Bytes{0x11, 0x12, 0x01, 0x11, 0x13}));

    const Bytes entryRequest = {0x01, 0x00, 0x1C, 0x00, 0x00, 0x05,
                                0x00, 0x00, 0x00, 0x00, 0x00, 0x3A};
    ASSERT_EQ(encodeFrame(0x03, entryRequest.data(), entryRequest.size(), out, kSendSlotSize), 17u);
    EXPECT_EQ(Bytes(out, out + 17), (Bytes{0x11, 0x12, 0x03, 0x01, 0x00, 0x1C, 0x00, 0x00, 0x05,
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0x3A, 0x11, 0x13}));

    ASSERT_EQ(encodeFrame(0x11, nullptr, 0, out, kSendSlotSize), 6u);
    EXPECT_EQ(Bytes(out, out + 6), (Bytes{0x11, 0x12, 0x11, 0x14, 0x11, 0x13}));

    const Bytes stuffed = {0x11, 0x12, 0x13, 0x14, 0x11};
    ASSERT_EQ(encodeFrame(0x02, stuffed.data(), stuffed.size(), out, kSendSlotSize), 12u);
    EXPECT_EQ(Bytes(out, out + 12),
              (Bytes{0x11, 0x12, 0x02, 0x11, 0x14, 0x12, 0x13, 0x14, 0x11, 0x14, 0x11, 0x13}));
}

TEST(FrameEncoder, RefusesFramesLongerThanTheSendSlot) {
    uint8_t out[kSendSlotSize + 16];
    std::memset(out, 0xEE, sizeof out);
    Bytes plain(123, 0x20);
    EXPECT_EQ(encodeFrame(0x03, plain.data(), plain.size(), out, kSendSlotSize), 128u);
    plain.push_back(0x20);
    EXPECT_EQ(encodeFrame(0x03, plain.data(), plain.size(), out, kSendSlotSize), 0u);

    // Stuffing counts: 61 marker bytes take 122 bytes and fit, 62 take 124 and do not.
    Bytes markers(61, 0x11);
    EXPECT_EQ(encodeFrame(0x03, markers.data(), markers.size(), out, kSendSlotSize), 127u);
    markers.push_back(0x11);
    EXPECT_EQ(encodeFrame(0x03, markers.data(), markers.size(), out, kSendSlotSize), 0u);
    for (size_t i = kSendSlotSize; i < sizeof out; ++i)
        ASSERT_EQ(out[i], 0xEE);
}

TEST(FrameEncoder, WhatItEncodesTheAssemblerReadsBack) {
    uint8_t out[kSendSlotSize];
    for (int type = 0; type < 256; ++type) {
        Bytes payload;
        for (int i = 0; i < 40; ++i)
            payload.push_back(uint8_t(type * 7 + i * 13));
        payload.push_back(0x11);
        size_t n = encodeFrame(uint8_t(type), payload.data(), payload.size(), out, kSendSlotSize);
        ASSERT_GT(n, 0u);
        CFrameAssembler a;
        for (size_t i = 0; i < n; ++i)
            a.feed(out[i]);
        ASSERT_EQ(a.state(), S::Complete) << "type " << type;
        EXPECT_EQ(a.type(), type);
        ASSERT_EQ(a.length(), payload.size());
        EXPECT_EQ(0, std::memcmp(a.payload(), payload.data(), payload.size()));
    }
}

} // namespace
} // namespace walkmere
