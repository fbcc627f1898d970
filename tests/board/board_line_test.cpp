// The board thread on a real pseudo-terminal, with the test as the handheld.
#include <gtest/gtest.h>

#include <ctime>
#include <thread>

#include "board/BoardModel.h"
#include "board/PseudoTerminal.h"
#include "board/StandInBoard.h"
#include "board_testing.h"
#include "testkit/ManualClock.h"

namespace walkmere {
namespace {

using namespace std::chrono_literals;
using testing::entryRequest;
using testing::Frame;
using testing::LineClient;
using testing::request;

constexpr auto kAnswerLimit = 5000ms; // generous: only a broken board takes this long

class BoardLine : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        pty = PseudoTerminal::open(error);
        ASSERT_TRUE(pty) << error;
    }

    void startBoard(const Scenario& s) {
        board = std::make_unique<StandInBoard>(pty->masterFd(), s, clock);
        ASSERT_TRUE(board->start());
    }

    Frame ask(LineClient& line, const std::vector<uint8_t>& req) {
        line.write(req);
        std::vector<Frame> f = line.readFrames(1, kAnswerLimit);
        EXPECT_EQ(f.size(), 1u);
        return f.empty() ? Frame{} : f[0];
    }

    testkit::ManualClock clock{5000};
    std::optional<PseudoTerminal> pty;
    std::unique_ptr<StandInBoard> board;
};

TEST_F(BoardLine, FullRoundOfIdentityAndSixteenEntries) {
    Scenario s = defaultScenario();
    BoardModel reference(s);
    startBoard(s);
    clock.advance(7); // board second 7

    LineClient line(pty->slavePath());
    ASSERT_TRUE(line.isOpen());
    line.write({0x00, 0x00}); // a keep-alive first, as after a quiet spell

    Frame firmware = ask(line, request(REQ_FIRMWARE));
    EXPECT_EQ(firmware.type, PKT_FIRMWARE);
    EXPECT_STREQ(reinterpret_cast<const char*>(firmware.payload.data()), "DRV-2.14");
    Frame serial = ask(line, request(REQ_SERIAL));
    EXPECT_EQ(serial.type, PKT_SERIAL);
    EXPECT_STREQ(reinterpret_cast<const char*>(serial.payload.data()), "A1B2C3D4E5");

    int withAp = 0;
    for (uint8_t nn = 1; nn <= 16; ++nn) {
        Frame entry = ask(line, entryRequest(nn));
        ASSERT_EQ(entry.type, PKT_ENTRY);
        ASSERT_EQ(entry.payload.size(), kEntryPacketSize);
        EXPECT_EQ(entry.payload[5], nn);
        ApRecord r = ApRecord::fromBytes(entry.payload.data() + kEntryHeaderSize);
        EXPECT_EQ(r, reference.entryAt(nn, 7)) << int(nn);
        withAp += !r.empty();
    }
    EXPECT_EQ(withAp, 5); // the sixth AP appears at 45 s

    // The board counts a write once it has returned, which may be a moment after the bytes
    // reached us.
    BoardStats st = board->stats();
    for (int i = 0; i < 200 && st.bytesWritten < line.rawBytes().size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        st = board->stats();
    }
    EXPECT_EQ(st.firmwareRequests, 1u);
    EXPECT_EQ(st.serialRequests, 1u);
    EXPECT_EQ(st.entryRequests, 16u);
    EXPECT_EQ(st.lastEntryRequested, 16);
    EXPECT_EQ(st.packets, 18u);
    EXPECT_EQ(st.bytesWritten, line.rawBytes().size());
}

TEST_F(BoardLine, NoiseAndSplitWritesNeverCorruptAFrame) {
    Scenario s = defaultScenario();
    s.faults.noiseRate = 1.0;
    s.faults.split = true;
    s.faults.splitPauseMs = 2;
    BoardModel reference(s);
    startBoard(s);
    LineClient line(pty->slavePath());

    size_t frameBytes = 0;
    for (int i = 0; i < 40; ++i) {
        uint8_t nn = uint8_t(1 + i % 16);
        Frame entry = ask(line, entryRequest(nn));
        ASSERT_EQ(entry.type, PKT_ENTRY) << i;
        ASSERT_EQ(entry.payload.size(), kEntryPacketSize);
        EXPECT_EQ(ApRecord::fromBytes(entry.payload.data() + 12), reference.entryAt(nn, 0));
        std::vector<uint8_t> again = reference.respond(entryRequest(nn), 0);
        frameBytes += again.size();
    }
    BoardStats st = board->stats();
    EXPECT_GE(st.noiseBytes, 40u); // at least one noise byte before every answer
    EXPECT_EQ(line.rawBytes().size(), frameBytes + st.noiseBytes);
    for (size_t i = 0; i + 1 < line.rawBytes().size(); ++i) {
        // Noise never forms a marker: every 0x11 on the line belongs to a frame.
        if (line.rawBytes()[i] == 0x11) {
            uint8_t next = line.rawBytes()[i + 1];
            EXPECT_TRUE(next == 0x12 || next == 0x13 || next == 0x14) << i;
        }
    }
}

TEST_F(BoardLine, BadSelectorAppearsWhenAsked) {
    Scenario s = defaultScenario();
    s.faults.badSelectorEvery = 2;
    startBoard(s);
    LineClient line(pty->slavePath());
    EXPECT_EQ(ask(line, entryRequest(4)).payload.at(5), 4);
    EXPECT_EQ(ask(line, entryRequest(5)).payload.at(5), 0);
    EXPECT_EQ(board->stats().badSelectors, 1u);
}

TEST_F(BoardLine, RadioOffAndSilenceFollowTheBoardClock) {
    Scenario s = defaultScenario();
    s.faults.radioOffEvery = 30;
    s.faults.silenceSeconds = 10;
    s.faults.silencePeriod = 100;
    startBoard(s);
    LineClient line(pty->slavePath());

    EXPECT_EQ(ask(line, request(REQ_FIRMWARE)).type, PKT_FIRMWARE);
    clock.advance(30);
    std::vector<Frame> f = line.readFrames(1, kAnswerLimit);
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].type, PKT_RADIO_STATUS);
    EXPECT_EQ(f[0].payload, std::vector<uint8_t>{0});

    clock.advance(65); // second 95: silent
    line.write(request(REQ_FIRMWARE));
    EXPECT_TRUE(line.readFrames(1, 300ms).empty());
    clock.advance(5); // second 100: talking again
    EXPECT_EQ(ask(line, request(REQ_SERIAL)).type, PKT_SERIAL);
    EXPECT_EQ(board->stats().unansweredWhileSilent, 1u);
}

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

TEST_F(BoardLine, HangUpNeitherSpinsNorStopsTheBoard) {
    startBoard(defaultScenario());
    {
        LineClient line(pty->slavePath());
        EXPECT_EQ(ask(line, request(REQ_FIRMWARE)).type, PKT_FIRMWARE);
        line.write({0x11, 0x12, 0x03, 0x01}); // a request cut off by the hang-up
    }
    double cpuBefore = processCpuSeconds();
    std::this_thread::sleep_for(400ms);
    double cpuUsed = processCpuSeconds() - cpuBefore;
    EXPECT_LT(cpuUsed, 0.05) << "the board spins while nobody holds the line";
    EXPECT_TRUE(board->running());
    EXPECT_GE(board->stats().hangups, 1u);

    LineClient again(pty->slavePath());
    ASSERT_TRUE(again.isOpen());
    Frame entry = ask(again, entryRequest(2));
    EXPECT_EQ(entry.type, PKT_ENTRY); // the half request was dropped, not glued to this one
    EXPECT_EQ(entry.payload.at(5), 2);
}

TEST_F(BoardLine, StopReturnsPromptlyInTheMiddleOfASplitWrite) {
    Scenario s = defaultScenario();
    s.faults.split = true;
    s.faults.splitPauseMs = 10000;
    startBoard(s);
    LineClient line(pty->slavePath());
    line.write(request(REQ_FIRMWARE));
    line.readFrames(1, 300ms); // the first piece arrives, the second waits 10 s

    auto t0 = std::chrono::steady_clock::now();
    board->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
    EXPECT_FALSE(board->running());
    EXPECT_FALSE(board->start()); // a board runs once
}

TEST_F(BoardLine, PacedOutputKeepsToLineSpeed) {
    Scenario s = defaultScenario();
    s.faults.pace = true;
    startBoard(s);
    LineClient line(pty->slavePath());

    // 40 entry requests at once: about 3000 bytes of answers, some 0.8 s of line time.
    std::vector<uint8_t> burst;
    for (int i = 0; i < 40; ++i) {
        std::vector<uint8_t> r = entryRequest(uint8_t(1 + i % 16));
        burst.insert(burst.end(), r.begin(), r.end());
    }
    auto t0 = std::chrono::steady_clock::now();
    line.write(burst);
    std::vector<Frame> frames = line.readFrames(40, 20s);
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_EQ(frames.size(), 40u);

    // Only the bound that sleeping guarantees is checked strictly: never faster than the
    // line (with 10% slack for where the clock starts). The upper bound is loose.
    double rate = double(line.rawBytes().size()) / elapsed;
    EXPECT_LT(rate, 3840 * 1.1) << line.rawBytes().size() << " bytes in " << elapsed << " s";
    EXPECT_GT(rate, 300.0);
}

} // namespace
} // namespace walkmere
