#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "board/BoardModel.h"
#include "board_testing.h"
#include "link/FrameEncoder.h"

namespace walkmere {
namespace {

using testing::entryRequest;
using testing::entryRequestPayload;
using testing::Frame;
using testing::parseFrames;
using testing::request;

Scenario scenarioFrom(const std::string& text) {
    Scenario s;
    std::string error;
    EXPECT_TRUE(parseScenario(text, s, error)) << error;
    return s;
}

const char* const kOneAp = "firmware DRV-2.14\nserial A1B2C3D4E5\n"
                           "ap 00:a0:f8:12:34:56 ssid=corp channel=36 rssi=-75\n";

std::vector<uint8_t> bytesOf(const std::string& s) {
    return {s.begin(), s.end()};
}

TEST(BoardAnswers, FirmwareAndSerialByteForByte) {
    BoardModel board(scenarioFrom(kOneAp));
    std::vector<uint8_t> firmware = {0x11, 0x12, 0x01, 'D', 'R', 'V',  '-',
                                     '2',  '.',  '1',  '4', 0,   0x11, 0x13};
    std::vector<uint8_t> serial = {0x11, 0x12, 0x02, 'A', '1', 'B', '2',  'C',
                                   '3',  'D',  '4',  'E', '5', 0,   0x11, 0x13};
    EXPECT_EQ(board.respond({0x11, 0x12, 0x01, 0x11, 0x13}, 0), firmware);
    EXPECT_EQ(board.respond({0x11, 0x12, 0x02, 0x11, 0x13}, 0), serial);
    BoardStats s = board.stats();
    EXPECT_EQ(s.firmwareRequests, 1u);
    EXPECT_EQ(s.serialRequests, 1u);
    EXPECT_EQ(s.packets, 2u);
}

TEST(BoardAnswers, EntryPacketByteForByte) {
    BoardModel board(scenarioFrom(kOneAp));
    std::vector<uint8_t> req = {0x11, 0x12, 0x03, 0x01, 0x00, 0x1C, 0x00, 0x00, 0x01,
                                0x00, 0x00, 0x00, 0x00, 0x00, 0x3A, 0x11, 0x13};
    ASSERT_EQ(req, entryRequest(1));

    std::vector<uint8_t> expected = {0x11, 0x12, 0x04};
    // header: the request's 12 bytes, selector 1C 00 00 01 at 2..5
    expected.insert(expected.end(), {0x01, 0x00, 0x1C, 0x00, 0x00, 0x01, 0, 0, 0, 0, 0, 0x3A});
    std::vector<uint8_t> rec(58, 0);
    const uint8_t mac[] = {0x00, 0xA0, 0xF8, 0x12, 0x34, 0x56};
    std::copy(mac, mac + 6, rec.begin()); // 0..5 MAC
    rec[10] = 0;                          // 10..11 age 0
    rec[13] = 0xB5;                       // 13 RSSI -75
    rec[15] = 'c';                        // 15.. SSID, NUL-terminated
    rec[16] = 'o';
    rec[17] = 'r';
    rec[18] = 'p';
    rec[48] = 0x3C; // 48..49 channel code 5180, little-endian
    rec[49] = 0x14;
    expected.insert(expected.end(), rec.begin(), rec.end());
    expected.insert(expected.end(), {0x11, 0x13});

    EXPECT_EQ(board.respond(req, 0), expected);
    EXPECT_EQ(board.stats().lastEntryRequested, 1);
}

TEST(BoardAnswers, EntryRecordDecodesAsTheHandheldReadsIt) {
    BoardModel board(scenarioFrom("ap 00:0b:86:aa:10:02 ssid=\"lab 2\" channel=149 rssi=-81 "
                                  "heardEvery=5\n"));
    std::vector<Frame> frames = parseFrames(board.respond(entryRequest(1), 3));
    ASSERT_EQ(frames.size(), 1u);
    ASSERT_EQ(frames[0].type, PKT_ENTRY);
    ASSERT_EQ(frames[0].payload.size(), kEntryPacketSize);
    ApRecord r = ApRecord::fromBytes(frames[0].payload.data() + kEntryHeaderSize);
    EXPECT_EQ(r.macText(), "000b86aa1002");
    EXPECT_EQ(r.age(), 3);
    EXPECT_EQ(r.rssi(), -81);
    EXPECT_EQ(r.ssid(), "lab 2");
    EXPECT_EQ(r.channel(), 149);
}

TEST(BoardAnswers, EntriesWithoutAnApAreEmpty) {
    BoardModel board(scenarioFrom(kOneAp));
    for (uint8_t nn : {2, 9, 16}) {
        std::vector<Frame> frames = parseFrames(board.respond(entryRequest(nn), 0));
        ASSERT_EQ(frames.size(), 1u) << int(nn);
        const std::vector<uint8_t>& p = frames[0].payload;
        ASSERT_EQ(p.size(), kEntryPacketSize);
        EXPECT_EQ(std::vector<uint8_t>(p.begin(), p.begin() + 12), entryRequestPayload(nn));
        EXPECT_TRUE(std::all_of(p.begin() + 12, p.end(), [](uint8_t b) { return b == 0; }));
    }
}

TEST(BoardAnswers, MarkerBytesInARecordAreStuffedAndSurviveTheAssembler) {
    // MAC and channel code full of 0x11: the frame outgrows the handheld's 128-byte limit.
    BoardModel board(scenarioFrom("ap 11:11:11:11:11:11 ssid=x code=4369 rssi=-17\n"));
    std::vector<uint8_t> wire = board.respond(entryRequest(1), 0);
    ApRecord expected = board.entryAt(1, 0);
    size_t markers = std::count(expected.bytes.begin(), expected.bytes.end(), 0x11);
    EXPECT_EQ(markers, 8u); // six of the MAC, two of the code
    EXPECT_EQ(wire.size(), 5 + 70 + markers);

    std::vector<Frame> frames = parseFrames(wire);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(ApRecord::fromBytes(frames[0].payload.data() + 12), expected);

    std::vector<uint8_t> full(70, 0x11);
    std::vector<uint8_t> big;
    appendFrame(big, PKT_ENTRY, full.data(), full.size());
    EXPECT_EQ(big.size(), 145u);
    frames = parseFrames(big);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].payload, full);
}

TEST(BoardAnswers, MalformedRequestsAndOtherFramesGetNoAnswer) {
    BoardModel board(scenarioFrom(kOneAp));
    std::vector<uint8_t> shortEntry = entryRequestPayload(1);
    shortEntry.pop_back();
    std::vector<uint8_t> wrongSize = entryRequestPayload(1);
    wrongSize[11] = 0x3B;
    std::vector<uint8_t> wrongHead = entryRequestPayload(1);
    wrongHead[0] = 0x02;
    const std::vector<std::vector<uint8_t>> bad = {
        entryRequest(0),       entryRequest(17),   request(3, shortEntry),   request(3, wrongSize),
        request(3, wrongHead), request(1, {0x00}), request(2, bytesOf("x")),
    };
    for (const auto& r : bad)
        EXPECT_TRUE(board.respond(r, 0).empty());
    EXPECT_TRUE(board.respond(request(9), 0).empty());
    EXPECT_TRUE(board.respond(request(0x11, {1, 2}), 0).empty());

    BoardStats s = board.stats();
    EXPECT_EQ(s.malformedRequests, 7u);
    EXPECT_EQ(s.otherFrames, 2u);
    EXPECT_EQ(s.entryRequests, 5u);
    EXPECT_EQ(s.lastEntryRequested, 0);
    EXPECT_EQ(s.packets, 0u);
}

TEST(BoardAnswers, KeepAliveBytesAndSplitRequestsAreHandled) {
    BoardModel board(scenarioFrom(kOneAp));
    std::vector<uint8_t> stream = {0x00, 0x00};
    std::vector<uint8_t> a = entryRequest(1), b = request(1);
    stream.insert(stream.end(), a.begin(), a.end());
    stream.insert(stream.end(), {0x00, 0x00});
    stream.insert(stream.end(), b.begin(), b.end());

    // Fed in two pieces cut inside the first frame: both are answered, in order.
    std::vector<uint8_t> out = board.respond(stream.data(), 7, 0);
    EXPECT_TRUE(out.empty());
    out = board.respond(stream.data() + 7, stream.size() - 7, 0);
    std::vector<Frame> frames = parseFrames(out);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].type, PKT_ENTRY);
    EXPECT_EQ(frames[1].type, PKT_FIRMWARE);
}

TEST(BoardAges, AgeResetsAtEachHearing) {
    BoardModel board(scenarioFrom("ap 00:00:00:00:00:01 channel=1 rssi=-50 heardEvery=3\n"));
    std::vector<int> ages;
    for (uint32_t t = 0; t <= 7; ++t)
        ages.push_back(board.entryAt(1, t).age());
    EXPECT_EQ(ages, (std::vector<int>{0, 1, 2, 0, 1, 2, 0, 1}));
}

TEST(BoardAges, AgeGrowsAfterDisappearanceUntilTheApIsForgotten) {
    BoardModel board(scenarioFrom(
        "ap 00:00:00:00:00:01 channel=1 rssi=-50 disappear=10 forget=30\n"
        "ap 00:00:00:00:00:02 channel=6 rssi=-60 heardEvery=4 disappear=10 forget=30\n"));
    EXPECT_EQ(board.entryAt(1, 9).age(), 0);
    EXPECT_EQ(board.entryAt(1, 10).age(), 1);
    EXPECT_EQ(board.entryAt(1, 20).age(), 11);
    EXPECT_EQ(board.entryAt(1, 39).age(), 30); // still listed at its forget time
    EXPECT_EQ(board.entryAt(2, 9).age(), 1);   // heard at 0, 4, 8
    EXPECT_EQ(board.entryAt(2, 38).age(), 30);

    // At 39 the second AP (last heard at 8) has been unheard for 31 seconds and leaves.
    std::vector<ApRecord> list = board.listAt(39);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].macText(), "000000000001");
    EXPECT_TRUE(board.listAt(40).empty());
    EXPECT_TRUE(board.entryAt(1, 40).empty());
}

TEST(BoardAges, LateApAppearsAtItsTimeAndAReturningApStartsFresh) {
    BoardModel board(scenarioFrom("ap 00:00:00:00:00:01 channel=1 rssi=-50 appear=45\n"
                                  "ap 00:00:00:00:00:02 channel=6 rssi=-60 disappear=5 forget=10\n"
                                  "ap 00:00:00:00:00:02 channel=6 rssi=-60 appear=30\n"));
    ASSERT_EQ(board.listAt(44).size(), 1u);
    EXPECT_EQ(board.listAt(44)[0].macText(), "000000000002");
    EXPECT_EQ(board.entryAt(1, 14).macText(), "000000000002");
    EXPECT_EQ(board.entryAt(1, 14).age(), 10);
    EXPECT_TRUE(board.listAt(15).empty());
    EXPECT_EQ(board.entryAt(1, 30).age(), 0);
    ApRecord late = board.entryAt(2, 45);
    EXPECT_EQ(late.macText(), "000000000001");
    EXPECT_EQ(late.age(), 0);
}

TEST(BoardAges, TheListHoldsSixteenAndLaterApsMoveInWhenRoomIsMade) {
    std::string text;
    for (int i = 1; i <= 18; ++i) {
        char line[128];
        std::snprintf(line, sizeof line, "ap 00:00:00:00:00:%02x channel=1 rssi=-%d appear=%d%s\n",
                      i, 40 + i, i, i <= 2 ? " disappear=20 forget=5" : "");
        text += line;
    }
    BoardModel board(scenarioFrom(text));
    std::vector<ApRecord> list = board.listAt(18);
    ASSERT_EQ(list.size(), 16u);
    EXPECT_EQ(list.front().macText(), "000000000001");
    EXPECT_EQ(list.back().macText(), "000000000010");

    list = board.listAt(26); // 1 and 2 were last heard at 19 and are forgotten by now
    ASSERT_EQ(list.size(), 16u);
    EXPECT_EQ(list.front().macText(), "000000000003");
    EXPECT_EQ(list.back().macText(), "000000000012");
}

TEST(BoardAges, MissedHearingsLetTheAgeRunOnDeterministically) {
    const char* text = "seed 5\nap 00:00:00:00:00:01 channel=1 rssi=-50 miss=0.5\n";
    BoardModel a(scenarioFrom(text)), b(scenarioFrom(text));
    int maxAge = 0, resets = 0;
    int previous = 0;
    for (uint32_t t = 0; t < 400; ++t) {
        int age = a.entryAt(1, t).age();
        EXPECT_EQ(age, b.entryAt(1, t).age());
        EXPECT_TRUE(age == 0 || age == previous + 1) << "t=" << t;
        if (age == 0) ++resets;
        maxAge = std::max(maxAge, age);
        previous = age;
    }
    EXPECT_GT(maxAge, 1);   // some hearings were missed
    EXPECT_GT(resets, 120); // but about half were not
    EXPECT_LT(resets, 280);
}

TEST(BoardAges, RssiJittersWithinBoundsAndHoldsBetweenHearings) {
    const char* text = "ap 00:00:00:00:00:01 channel=1 rssi=-70 jitter=4 heardEvery=2\n";
    BoardModel board(scenarioFrom(text));
    std::set<int> seen;
    for (uint32_t t = 0; t < 200; t += 2) {
        int r = board.entryAt(1, t).rssi();
        EXPECT_GE(r, -74);
        EXPECT_LE(r, -66);
        EXPECT_EQ(board.entryAt(1, t + 1).rssi(), r); // same hearing, same reading
        seen.insert(r);
    }
    EXPECT_GE(seen.size(), 7u);

    Scenario other = scenarioFrom(text);
    other.seed = 2;
    BoardModel reseeded(other);
    int differ = 0;
    for (uint32_t t = 0; t < 40; t += 2)
        differ += reseeded.entryAt(1, t).rssi() != board.entryAt(1, t).rssi();
    EXPECT_GT(differ, 0);
}

TEST(BoardFaults, SilenceDropsRequestsInTheLastSecondsOfEachPeriod) {
    Scenario s = scenarioFrom(std::string(kOneAp) + "silence 5/20\n");
    BoardModel board(s);
    for (uint32_t t : {0u, 14u, 20u, 34u})
        EXPECT_FALSE(board.respond(request(1), t).empty()) << t;
    for (uint32_t t : {15u, 19u, 35u})
        EXPECT_TRUE(board.respond(request(1), t).empty()) << t;
    EXPECT_EQ(board.stats().unansweredWhileSilent, 3u);
    EXPECT_EQ(board.stats().firmwareRequests, 7u);
}

TEST(BoardFaults, EveryKthEntryAnswerCarriesARefusedSelector) {
    BoardModel board(scenarioFrom(std::string(kOneAp) + "bad-selector 3\n"));
    std::vector<std::vector<uint8_t>> selectors;
    for (int i = 1; i <= 10; ++i) {
        std::vector<Frame> f = parseFrames(board.respond(entryRequest(1), 0));
        ASSERT_EQ(f.size(), 1u);
        selectors.push_back(
            std::vector<uint8_t>(f[0].payload.begin() + 2, f[0].payload.begin() + 6));
    }
    const std::vector<uint8_t> good = {0x1C, 0, 0, 1};
    for (int i : {0, 1, 3, 4, 6, 7, 9})
        EXPECT_EQ(selectors[i], good) << i;
    EXPECT_EQ(selectors[2], (std::vector<uint8_t>{0x1C, 0, 0, 0}));
    EXPECT_EQ(selectors[5], (std::vector<uint8_t>{0x1C, 0, 0, 17}));
    EXPECT_EQ(selectors[8], (std::vector<uint8_t>{0x1D, 0, 0, 1}));
    EXPECT_EQ(board.stats().badSelectors, 3u);
}

TEST(BoardFaults, RadioOffPacketEveryMSeconds) {
    BoardModel board(scenarioFrom(std::string(kOneAp) + "radio-off 10\n"));
    const std::vector<uint8_t> radioOff = {0x11, 0x12, 0x03, 0x00, 0x11, 0x13};
    EXPECT_TRUE(board.unsolicited(0).empty());
    EXPECT_TRUE(board.unsolicited(9).empty());
    EXPECT_EQ(board.unsolicited(10), radioOff);
    EXPECT_TRUE(board.unsolicited(10).empty());
    EXPECT_TRUE(board.unsolicited(19).empty());
    EXPECT_EQ(board.unsolicited(45), radioOff); // periods skipped at once give one packet
    EXPECT_TRUE(board.unsolicited(49).empty());
    EXPECT_EQ(board.stats().radioOffPackets, 2u);

    BoardModel quiet(scenarioFrom(kOneAp));
    EXPECT_TRUE(quiet.unsolicited(1000).empty());
}

} // namespace
} // namespace walkmere
