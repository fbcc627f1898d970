// The board protocol over the real serial link and a pseudo-terminal, against the stand-in
// board. A tap between the pseudo-terminal and the board records every byte the handheld
// puts on the line.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "board/PseudoTerminal.h"
#include "board/Scenario.h"
#include "board/StandInBoard.h"
#include "link/SerialLink.h"
#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "testkit/ManualClock.h"
#include "testkit/PtyPair.h"
#include "testkit/ScanBytes.h"
#include "testkit/ScriptedPrompter.h"

namespace walkmere {
namespace {

using namespace scantest;

// Passes bytes both ways between the pseudo-terminal's master and the board's socket,
// keeping a copy of what the handheld sent.
class WireTap {
public:
    WireTap(int ptyMaster, int boardSide) : pty(ptyMaster), board(boardSide) {
        ::fcntl(pty, F_SETFL, ::fcntl(pty, F_GETFL) | O_NONBLOCK);
        ::fcntl(board, F_SETFL, ::fcntl(board, F_GETFL) | O_NONBLOCK);
        worker = std::thread([this] { run(); });
    }
    ~WireTap() { stop(); }

    void stop() {
        stopping = true;
        if (worker.joinable()) worker.join();
    }

    Bytes fromHandheld() const {
        std::lock_guard<std::mutex> g(lock);
        return handheld;
    }

private:
    void run() {
        uint8_t buf[4096];
        while (!stopping) {
            pollfd p[2] = {{pty, POLLIN, 0}, {board, POLLIN, 0}};
            if (::poll(p, 2, 10) <= 0) continue;
            if (p[0].revents & POLLIN) {
                ssize_t n = ::read(pty, buf, sizeof buf);
                if (n > 0) {
                    {
                        std::lock_guard<std::mutex> g(lock);
                        handheld.insert(handheld.end(), buf, buf + n);
                    }
                    writeAll(board, buf, size_t(n));
                }
            } else if (p[0].revents & (POLLHUP | POLLERR)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5)); // port not open yet
            }
            if (p[1].revents & POLLIN) {
                ssize_t n = ::read(board, buf, sizeof buf);
                if (n > 0) writeAll(pty, buf, size_t(n));
            }
        }
    }

    void writeAll(int fd, const uint8_t* b, size_t n) {
        while (n > 0 && !stopping) {
            ssize_t w = ::write(fd, b, n);
            if (w > 0) {
                b += w;
                n -= size_t(w);
            } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
                return;
            } else {
                pollfd q{fd, POLLOUT, 0};
                ::poll(&q, 1, 10);
            }
        }
    }

    const int pty;
    const int board;
    std::atomic<bool> stopping{false};
    mutable std::mutex lock;
    Bytes handheld;
    std::thread worker;
};

const char* const kScenarioText = R"(
firmware DRV-2.14
serial A1B2C3D4E5
ap 00:a0:f8:12:34:01 ssid=Office channel=6 rssi=-48
ap 00:a0:f8:12:34:02 ssid="Guest net" channel=36 rssi=-67
ap 00:a0:f8:12:34:03 ssid=Lab channel=149 rssi=-80
)";

TEST(ProtocolOverPty, StartUpAndAFirstSweep) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(parseScenario(kScenarioText, scenario, error)) << error;

    std::optional<PseudoTerminal> pty = PseudoTerminal::open(error);
    ASSERT_TRUE(pty) << error;
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);

    // A clock that stands still: board time stays 0 (every AP heard just now, age 0) and
    // the link never needs a keep-alive.
    testkit::ManualClock clock;
    testkit::ScriptedPrompter prompter;
    CSerialLink link(prompter, clock, nullptr);
    CLiveApTable table;
    CBoardProtocol protocol(link, table, clock);
    StandInBoard board(sockets[1], scenario, clock);
    WireTap tap(pty->masterFd(), sockets[0]);

    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::pair<uint32_t, uint32_t>> notices;
    Bytes wireAtFirstSweep;
    std::vector<LiveApEntry> tableAtFirstSweep;
    protocol.setNotifySink([&](uint32_t w, uint32_t l) {
        std::lock_guard<std::mutex> g(lock);
        if (w == kUpdateSweepWParam && wireAtFirstSweep.empty()) {
            wireAtFirstSweep = tap.fromHandheld();
            tableAtFirstSweep = table.snapshot();
        }
        notices.emplace_back(w, l);
        changed.notify_all();
    });

    // However the test ends: the link's worker stops before the protocol goes away, and the
    // socket closes only once nobody polls it.
    struct Shutdown {
        CSerialLink& link;
        StandInBoard& board;
        WireTap& tap;
        int* sockets;
        ~Shutdown() {
            link.stop();
            board.stop();
            tap.stop();
            ::close(sockets[0]);
            ::close(sockets[1]);
        }
    } shutdown{link, board, tap, sockets};

    ASSERT_TRUE(board.start());
    ASSERT_TRUE(link.openPort(pty->slavePath()));
    link.setPacketHandler(&protocol);
    link.start();
    protocol.requestFirmware();

    {
        std::unique_lock<std::mutex> g(lock);
        ASSERT_TRUE(changed.wait_for(g, std::chrono::seconds(20),
                                     [&] { return !wireAtFirstSweep.empty(); }))
            << "no sweep completed; handheld sent " << tap.fromHandheld().size() << " bytes";
    }
    link.stop();

    // On the wire: firmware request once, serial request, then entries 1 to 16.
    Bytes expected = {0x11, 0x12, 0x01, 0x11, 0x13, 0x11, 0x12, 0x02, 0x11, 0x13};
    for (uint8_t nn = 1; nn <= 16; ++nn) {
        Bytes req = entryRequestFrame(nn);
        expected.insert(expected.end(), req.begin(), req.end());
    }
    EXPECT_EQ(wireAtFirstSweep, expected);

    EXPECT_EQ(protocol.getFirmwareVersion(), "DRV-2.14");
    EXPECT_EQ(protocol.getSerialNumber(), "A1B2C3");
    EXPECT_EQ(protocol.sweepComplete.load(), 1);
    {
        std::lock_guard<std::mutex> g(lock);
        ASSERT_GE(notices.size(), 2u);
        EXPECT_EQ(notices[0], std::make_pair(uint32_t{2}, uint32_t{0}));
        EXPECT_EQ(notices[1], std::make_pair(uint32_t{4}, uint32_t{0x1000001C}));
        for (size_t i = 2; i < notices.size(); ++i)
            EXPECT_EQ(notices[i].first, 4u);
    }

    // The table after the first sweep holds the scenario's three APs, one sighting each.
    ASSERT_EQ(tableAtFirstSweep.size(), 3u);
    for (const LiveApEntry& e : tableAtFirstSweep) {
        EXPECT_EQ(e.sightings, 1);
        EXPECT_EQ(e.certified, 0);
        EXPECT_EQ(e.record.age(), 0);
        const std::string mac = e.record.macText();
        if (mac == "00a0f8123401") {
            EXPECT_EQ(e.record.ssid(), "Office");
            EXPECT_EQ(e.record.channel(), 6);
            EXPECT_EQ(e.record.rssi(), -48);
        } else if (mac == "00a0f8123402") {
            EXPECT_EQ(e.record.ssid(), "Guest net");
            EXPECT_EQ(e.record.channel(), 36);
            EXPECT_EQ(e.record.rssi(), -67);
        } else {
            EXPECT_EQ(mac, "00a0f8123403");
            EXPECT_EQ(e.record.ssid(), "Lab");
            EXPECT_EQ(e.record.channel(), 149);
            EXPECT_EQ(e.record.rssi(), -80);
        }
    }
    const BoardStats stats = board.stats();
    EXPECT_EQ(stats.firmwareRequests, 1u);
    EXPECT_EQ(stats.serialRequests, 1u);
    EXPECT_EQ(stats.malformedRequests, 0u);
    EXPECT_TRUE(prompter.shown().empty());
}

// A board whose firmware and serial-number answers are empty: the program still asks for
// the serial number, and the empty serial number starts the sweep at once (after the
// first request's 250 ms wait), not two timer ticks later.
TEST(ProtocolOverPty, EmptyAnswersStillStartTheSweep) {
    testkit::PtyPair board;
    testkit::ManualClock clock;
    testkit::ScriptedPrompter prompter;
    CSerialLink link(prompter, clock, nullptr);
    CLiveApTable table;
    CBoardProtocol protocol(link, table, clock);
    link.setPacketHandler(&protocol);
    ASSERT_TRUE(link.openPort(board.slavePath()));
    link.start();

    const Bytes firmwareRequest = {0x11, 0x12, 0x01, 0x11, 0x13};
    const Bytes serialRequest = {0x11, 0x12, 0x02, 0x11, 0x13};
    protocol.requestFirmware();
    ASSERT_EQ(board.receive(firmwareRequest.size()), firmwareRequest);
    board.send({0x11, 0x12, 0x01, 0x11, 0x13}); // PKT_FIRMWARE, no payload
    ASSERT_EQ(board.receive(serialRequest.size()), serialRequest);
    board.send({0x11, 0x12, 0x02, 0x11, 0x13}); // PKT_SERIAL, no payload
    const auto answered = std::chrono::steady_clock::now();
    const Bytes entry1 = entryRequestFrame(1);
    EXPECT_EQ(board.receive(entry1.size(), 2000), entry1);
    const auto waited = std::chrono::steady_clock::now() - answered;
    EXPECT_GE(waited, std::chrono::milliseconds(200));
    EXPECT_LT(waited, std::chrono::milliseconds(1000));
    link.stop();
    EXPECT_EQ(protocol.getFirmwareVersion(), "");
    EXPECT_EQ(protocol.getSerialNumber(), "");
}

} // namespace
} // namespace walkmere
