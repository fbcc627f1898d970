#include "link/FrameEncoder.h"
#include "link/SerialLink.h"
#include "platform/SerialPort.h"
#include "testkit/ManualClock.h"
#include "testkit/ScriptedPrompter.h"

#include "testkit/PtyPair.h"
#include "testkit/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace walkmere {
namespace {

using Bytes = std::vector<uint8_t>;
using testkit::eventually;

Bytes frame(uint8_t type, const Bytes& payload) {
    uint8_t out[kSendSlotSize];
    size_t n = encodeFrame(type, payload.data(), payload.size(), out, sizeof out);
    EXPECT_GT(n, 0u) << "test frame too long for the send slot";
    return Bytes(out, out + n);
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Records what the worker hands over; answers a keep-alive request the way the board
// protocol does, by queueing the two zero bytes.
class RecordingHandler final : public IPacketHandler {
public:
    struct Packet {
        uint8_t type;
        Bytes payload;
        bool framePendingMeanwhile;
        uint64_t pass; // the worker pass that dispatched it
    };

    explicit RecordingHandler(CSerialLink& link) : link(link) {}

    void dispatchPacket(uint8_t type, const uint8_t* payload, uint32_t length) override {
        {
            std::lock_guard<std::mutex> g(lock);
            received.push_back(
                {type, Bytes(payload, payload + length), link.framePending(), link.passes()});
        }
        if (onPacket) onPacket(type);
    }
    void sendKeepAlive() override {
        keepAlivePass.store(link.passes());
        keepAlives.fetch_add(1);
        const uint8_t zeros[2] = {0, 0};
        link.queueFrame(zeros, 2);
    }

    std::vector<Packet> packets() const {
        std::lock_guard<std::mutex> g(lock);
        return received;
    }
    size_t packetCount() const {
        std::lock_guard<std::mutex> g(lock);
        return received.size();
    }

    std::atomic<int> keepAlives{0};
    std::atomic<uint64_t> keepAlivePass{0};
    std::function<void(uint8_t type)> onPacket; // set before the worker starts

private:
    CSerialLink& link;
    mutable std::mutex lock;
    std::vector<Packet> received;
};

class SerialLinkOnPty : public ::testing::Test {
protected:
    SerialLinkOnPty() : link(prompter, clock, nullptr), handler(link) {
        link.setPacketHandler(&handler);
    }
    // The worker calls the handler, which is destroyed before the link: stop it first.
    ~SerialLinkOnPty() override { link.stop(); }

    void openAndStart() {
        ASSERT_TRUE(link.openPort(pty.slavePath()));
        link.start();
    }
    // Lets the worker run n more whole passes.
    void runPasses(uint64_t n) {
        uint64_t target = link.passes() + n + 1; // +1: the pass in progress may be half done
        ASSERT_TRUE(eventually([&] { return link.passes() >= target; }));
    }

    testkit::PtyPair pty;
    testkit::ScriptedPrompter prompter;
    testkit::ManualClock clock{1000};
    CSerialLink link;
    RecordingHandler handler;
};

TEST_F(SerialLinkOnPty, AssemblesFramesAcrossReadsAndDispatchesThemInOrder) {
    openAndStart();

    // One frame split over two writes, the worker reading the first half on its own.
    Bytes whole = frame(0x02, {'V', '4', '.', '7', '1', 0x11});
    pty.send(Bytes(whole.begin(), whole.begin() + 5));
    ASSERT_TRUE(eventually([&] { return pty.pendingInput() == 0; }));
    runPasses(2);
    EXPECT_EQ(handler.packetCount(), 0u);
    pty.send(Bytes(whole.begin() + 5, whole.end()));
    ASSERT_TRUE(eventually([&] { return handler.packetCount() == 1; }));

    // Two frames (with noise between them) in one write.
    pty.send(concat(concat(frame(0x04, {1, 2, 3}), {0x00, 0x00, 0x42}), frame(0x05, {9})));
    ASSERT_TRUE(eventually([&] { return handler.packetCount() == 3; }));

    auto p = handler.packets();
    EXPECT_EQ(p[0].type, 0x02);
    EXPECT_EQ(p[0].payload, (Bytes{'V', '4', '.', '7', '1', 0x11}));
    EXPECT_EQ(p[1].type, 0x04);
    EXPECT_EQ(p[1].payload, (Bytes{1, 2, 3}));
    EXPECT_EQ(p[2].type, 0x05);
    EXPECT_EQ(p[2].payload, (Bytes{9}));
}

TEST_F(SerialLinkOnPty, OnlyTheLaterOfTwoQueuedFramesIsWritten) {
    ASSERT_TRUE(link.openPort(pty.slavePath()));
    Bytes first = frame(0x01, {});
    Bytes second = frame(0x03, {0x01, 0x00, 0x1C, 0x00, 0x00, 0x05});
    EXPECT_EQ(link.queueFrame(first.data(), uint32_t(first.size())), 1);
    EXPECT_EQ(link.queueFrame(second.data(), uint32_t(second.size())), 1);
    link.start();

    EXPECT_EQ(pty.receive(second.size()), second);
    EXPECT_TRUE(pty.drain(100).empty());
    EXPECT_FALSE(link.framePending());
}

TEST_F(SerialLinkOnPty, RefusesFramesLongerThanTheSlot) {
    Bytes big(kSendSlotSize + 1, 0x20);
    EXPECT_EQ(link.queueFrame(big.data(), uint32_t(big.size())), 0);
    EXPECT_FALSE(link.framePending());
    Bytes full(kSendSlotSize, 0x20);
    EXPECT_EQ(link.queueFrame(full.data(), uint32_t(full.size())), 1);
    EXPECT_TRUE(link.framePending());
}

TEST_F(SerialLinkOnPty, SendsAKeepAliveAfterMoreThanTenSecondsWithoutAWrite) {
    openAndStart();
    runPasses(2);
    clock.advance(10); // exactly ten seconds: not yet
    runPasses(3);
    EXPECT_EQ(handler.keepAlives.load(), 0);
    EXPECT_TRUE(pty.drain(20).empty());

    clock.advance(1);
    EXPECT_EQ(pty.receive(2), (Bytes{0x00, 0x00}));
    EXPECT_EQ(handler.keepAlives.load(), 1);

    // The keep-alive's own write restarts the clock: no second one ten seconds on.
    runPasses(2);
    clock.advance(10);
    runPasses(3);
    EXPECT_EQ(handler.keepAlives.load(), 1);
    clock.advance(1);
    EXPECT_EQ(pty.receive(2), (Bytes{0x00, 0x00}));
}

TEST_F(SerialLinkOnPty, AWriteRestartsTheKeepAliveClock) {
    openAndStart();
    runPasses(2);
    clock.advance(8);
    runPasses(2);
    Bytes command = frame(0x01, {});
    link.queueFrame(command.data(), uint32_t(command.size()));
    ASSERT_EQ(pty.receive(command.size()), command);

    clock.advance(10); // 18 s after start, but only 10 s after the write
    runPasses(3);
    EXPECT_EQ(handler.keepAlives.load(), 0);
    clock.advance(1);
    ASSERT_TRUE(eventually([&] { return handler.keepAlives.load() == 1; }));
    EXPECT_EQ(pty.receive(2), (Bytes{0x00, 0x00}));
}

TEST_F(SerialLinkOnPty, IncomingDataDoesNotHoldTheKeepAliveBack) {
    // The clock passes the ten seconds while a frame is being read: the same pass asks for
    // the keep-alive, although it read rather than waited.
    handler.onPacket = [&](uint8_t type) {
        if (type == 0x07) clock.advance(11);
    };
    openAndStart();
    runPasses(2);
    pty.send(concat(frame(0x04, Bytes(70, 0x33)), frame(0x07, {1})));
    ASSERT_TRUE(eventually([&] { return handler.keepAlives.load() == 1; }));
    auto p = handler.packets();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(handler.keepAlivePass.load(), p[1].pass);
    EXPECT_EQ(pty.receive(2), (Bytes{0x00, 0x00}));

    // A board that keeps talking does not restart the clock either.
    runPasses(2);
    for (int i = 0; i < 11; ++i) {
        pty.send(frame(0x04, Bytes(70, uint8_t(0x20 + i))));
        clock.advance(1);
        ASSERT_TRUE(eventually([&] { return handler.packetCount() == 3u + i; }));
    }
    ASSERT_TRUE(eventually([&] { return handler.keepAlives.load() == 2; }));
    EXPECT_EQ(pty.receive(2), (Bytes{0x00, 0x00}));
}

TEST_F(SerialLinkOnPty, QueuedFramesWaitWhileTheBoardKeepsSending) {
    ASSERT_TRUE(link.openPort(pty.slavePath()));
    // Forty entry packets already waiting in the input queue, and a command queued.
    Bytes burst;
    for (int i = 0; i < 40; ++i)
        burst = concat(burst, frame(0x04, Bytes(70, uint8_t(0x20 + i))));
    ASSERT_LT(burst.size(), kReadBufferSize);
    pty.send(burst);
    ASSERT_TRUE(eventually([&] { return pty.pendingInput() == int(burst.size()); }));
    Bytes command = frame(0x03, {0x05});
    link.queueFrame(command.data(), uint32_t(command.size()));

    link.start();
    EXPECT_EQ(pty.receive(command.size()), command);
    auto p = handler.packets();
    ASSERT_EQ(p.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        EXPECT_TRUE(p[i].framePendingMeanwhile) << "the command went out before packet " << i;
        EXPECT_EQ(p[i].payload, Bytes(70, uint8_t(0x20 + i)));
    }
}

TEST_F(SerialLinkOnPty, ConcurrentQueueingNeverPutsATornFrameOnTheWire) {
    constexpr int kThreads = 4;
    constexpr int kFramesEach = 400;
    auto frameFor = [](int t, int i) {
        Bytes payload = {uint8_t(t), uint8_t(i), uint8_t(i >> 8)};
        int extra = 1 + (i * 7 + t * 3) % 40; // lengths differ, so a mix shows
        for (int j = 0; j < extra; ++j)
            payload.push_back(uint8_t((t * 31 + i + j * 17) & 0xFF));
        return frame(uint8_t(0x10 + t), payload);
    };
    std::set<Bytes> queued;
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kFramesEach; ++i)
            queued.insert(frameFor(t, i));

    openAndStart();

    std::atomic<bool> writersDone{false};
    int good = 0, torn = 0, garbage = 0, dropped = 0;
    std::thread reader([&] {
        CFrameAssembler a;
        auto take = [&](const Bytes& bytes) {
            for (uint8_t b : bytes) {
                CFrameAssembler::State before = a.state();
                a.feed(b);
                if (before == CFrameAssembler::Idle && b != kFrameMarker) ++garbage;
                if (before != CFrameAssembler::Idle && a.state() == CFrameAssembler::Idle)
                    ++dropped;
                if (a.state() == CFrameAssembler::Complete) {
                    Bytes payload(a.payload(), a.payload() + a.length());
                    (queued.count(frame(a.type(), payload)) ? good : torn)++;
                    a.reset();
                }
            }
        };
        while (!writersDone.load())
            take(pty.drain(20));
        take(pty.drain(200));
    });

    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < kFramesEach; ++i) {
                Bytes f = frameFor(t, i);
                link.queueFrame(f.data(), uint32_t(f.size()));
                if (i % 16 == 0) std::this_thread::yield();
            }
        });
    for (auto& w : writers)
        w.join();
    EXPECT_TRUE(eventually([&] { return !link.framePending(); }));
    writersDone.store(true);
    reader.join();

    EXPECT_GT(good, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(garbage, 0);
    EXPECT_EQ(dropped, 0);
}

TEST_F(SerialLinkOnPty, AHungUpLineIsPolledAtTheUsualPace) {
    openAndStart();
    pty.send(frame(0x02, {'x'}));
    ASSERT_TRUE(eventually([&] { return handler.packetCount() == 1; }));

    pty.closeMaster();
    runPasses(1);
    uint64_t before = link.passes();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    uint64_t passes = link.passes() - before;
    EXPECT_GT(passes, 0u);            // still running
    EXPECT_LT(passes, 300u / 5 + 20); // but at one pass per 5 ms, not spinning

    // Frames queued now go nowhere, quietly.
    Bytes command = frame(0x01, {});
    link.queueFrame(command.data(), uint32_t(command.size()));
    EXPECT_TRUE(eventually([&] { return !link.framePending(); }));
}

TEST(SerialLinkWithoutBoard, ReportsAMissingPortAndRunsOnWithoutReading) {
    testkit::ScriptedPrompter prompter;
    testkit::ManualClock clock;
    CSerialLink link(prompter, clock, nullptr);
    RecordingHandler handler(link);
    link.setPacketHandler(&handler);

    EXPECT_FALSE(link.openPort("/nonexistent/ttyWalkmere"));
    EXPECT_FALSE(link.isPortOpen());
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.shown()[0].text, "Cannot Open Connection To Board.");
    EXPECT_EQ(prompter.shown()[0].caption, kApplicationTitle);

    link.start();
    uint64_t start = link.passes();
    Bytes command = frame(0x01, {});
    link.queueFrame(command.data(), uint32_t(command.size()));
    EXPECT_TRUE(eventually([&] { return !link.framePending(); })); // dropped silently
    ASSERT_TRUE(eventually([&] { return link.passes() > start + 5; }));
    clock.advance(11);
    EXPECT_TRUE(eventually([&] { return handler.keepAlives.load() == 1; }));
    link.stop();
    EXPECT_EQ(handler.packetCount(), 0u);
    EXPECT_EQ(prompter.messages().size(), 1u); // the worker never shows anything
}

TEST(SerialLinkWithoutBoard, ReportsAPortThatIsNotASerialLine) {
    testkit::TempDir dir;
    testkit::writeFileBytes(dir.file("plain"), {1, 2, 3});
    testkit::ScriptedPrompter prompter;
    testkit::ManualClock clock;
    CSerialLink link(prompter, clock, nullptr);
    EXPECT_FALSE(link.openPort(dir.file("plain").string()));
    EXPECT_FALSE(link.isPortOpen());
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"Could not SetCommState"});
}

TEST(SerialLinkWithoutBoard, ReportsAPortInUseByAnother) {
    testkit::PtyPair pty;
    SerialPort other;
    ASSERT_EQ(other.open(pty.slavePath()), SerialPort::OpenResult::Opened);
    testkit::ScriptedPrompter prompter;
    testkit::ManualClock clock;
    CSerialLink link(prompter, clock, nullptr);
    EXPECT_FALSE(link.openPort(pty.slavePath()));
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"Cannot Open Connection To Board."});
}

TEST(SerialLinkLineLost, IsToldOnceAndTheSamePortIsOpenedAgainWhenItReturns) {
    testkit::TempDir dir;
    const std::filesystem::path port = dir.file("board"); // as walkmere-board --link makes
    auto first = std::make_unique<testkit::PtyPair>();
    std::filesystem::create_symlink(first->slavePath(), port);
    testkit::ScriptedPrompter prompter;
    testkit::ManualClock clock{1000};
    CSerialLink link(prompter, clock, nullptr);
    RecordingHandler handler(link);
    link.setPacketHandler(&handler);
    std::mutex lock;
    std::vector<bool> told;
    link.setConnectionSink([&](bool connected) {
        std::lock_guard<std::mutex> g(lock);
        told.push_back(connected);
    });
    auto toldSoFar = [&] {
        std::lock_guard<std::mutex> g(lock);
        return told;
    };
    ASSERT_TRUE(link.openPort(port.string()));
    link.start();
    first->send(frame(0x02, {'a'}));
    ASSERT_TRUE(eventually([&] { return handler.packetCount() == 1; }));
    first->send({0x11, 0x12, 0x02, 'h', 'a', 'l'}); // half a frame when the line goes

    // The adapter is pulled: its device goes away.
    first.reset();
    std::filesystem::remove(port);
    ASSERT_TRUE(eventually([&] { return !toldSoFar().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // retried in vain meanwhile
    EXPECT_EQ(toldSoFar(), std::vector<bool>{false}) << "the loss is told once";
    EXPECT_FALSE(link.isPortOpen());

    // It comes back under the same name.
    testkit::PtyPair second;
    std::filesystem::create_symlink(second.slavePath(), port);
    ASSERT_TRUE(eventually([&] { return toldSoFar().size() == 2; }));
    EXPECT_TRUE(toldSoFar()[1]);
    EXPECT_TRUE(link.isPortOpen());
    second.send(frame(0x02, {'b'}));
    ASSERT_TRUE(eventually([&] { return handler.packetCount() == 2; }))
        << "the new line's first frame is not swallowed by the old line's half frame";
    EXPECT_EQ(handler.packets()[1].payload, Bytes{'b'});
    const Bytes command = frame(0x01, {});
    link.queueFrame(command.data(), uint32_t(command.size()));
    EXPECT_EQ(second.receive(command.size()), command);
    link.stop();
    EXPECT_TRUE(prompter.messages().empty()) << "the worker never shows anything itself";
}

} // namespace
} // namespace walkmere
