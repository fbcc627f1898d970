#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "board/BoardModel.h"
#include "board/LinePacer.h"
#include "board/Scenario.h"
#include "platform/Clock.h"

namespace walkmere {

// The stand-in scanner board: serves the board protocol on a file descriptor (the master
// side of a pseudo-terminal) from its own thread, with the scenario's APs (or a Wi-Fi
// feed's) and faults.
//
// When the program on the other side closes the line, the board waits quietly and
// serves again once it is reopened. The descriptor stays the caller's: it is made
// non-blocking but not closed.
class StandInBoard {
public:
    StandInBoard(int fd, Scenario scenario, IClock& clock = systemClock());
    // The board with the feed's list, firmware and serial (see BoardModel); the feed stays
    // the caller's and must outlive the board.
    StandInBoard(int fd, Scenario scenario, const WifiFeed& feed, IClock& clock = systemClock());
    ~StandInBoard();
    StandInBoard(const StandInBoard&) = delete;
    StandInBoard& operator=(const StandInBoard&) = delete;

    // Starts serving; board time 0 is the clock's second at this call. False when the
    // board already runs or was stopped (a board is started once).
    bool start();
    // Stops serving and joins the thread; returns within a few milliseconds, also in the
    // middle of a paced or split write.
    void stop();
    bool running() const { return started && !stopRequested; }

    BoardStats stats() const { return model.stats(); }

private:
    enum class WriteResult { Done, LineGone, Stopping };

    void run();
    uint32_t boardSeconds() const;
    void sendFrame(const std::vector<uint8_t>& frame);
    void sendNoise();
    WriteResult writeOut(const uint8_t* p, size_t n);
    WriteResult writeAll(const uint8_t* p, size_t n);
    // Sleeps up to d; false when stop() came meanwhile.
    bool pause(std::chrono::microseconds d);
    bool stopping() const { return stopRequested.load(std::memory_order_acquire); }

    const int fd;
    IClock& clock;
    BoardModel model; // touched by the board thread only (its stats are locked)
    BoardFaults faults;
    uint32_t startSeconds = 0;
    std::mt19937_64 random;
    LinePacer pacer;

    std::thread worker;
    std::atomic<bool> started{false};
    std::atomic<bool> stopRequested{false};
    std::mutex waitLock;
    std::condition_variable wake;
};

} // namespace walkmere
