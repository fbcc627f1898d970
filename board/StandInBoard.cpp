#include "board/StandInBoard.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace walkmere {

namespace {

constexpr int kPollMs = 10; // how often a quiet board looks at stop()
constexpr auto kHungUpPause = std::chrono::milliseconds(20);
constexpr auto kStalledWriteLimit = std::chrono::seconds(1);
constexpr size_t kPacedChunk = 16; // about 4 ms of line time per write when paced

int64_t nowMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

StandInBoard::StandInBoard(int fd, Scenario scenario, IClock& clock)
    : fd(fd), clock(clock), model(std::move(scenario)), faults(model.scenario().faults),
      random(model.scenario().seed) {}

StandInBoard::StandInBoard(int fd, Scenario scenario, const WifiFeed& feed, IClock& clock)
    : fd(fd), clock(clock), model(std::move(scenario), &feed), faults(model.scenario().faults),
      random(model.scenario().seed) {}

StandInBoard::~StandInBoard() {
    stop();
}

bool StandInBoard::start() {
    if (started || stopping()) return false;
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    startSeconds = clock.seconds();
    started = true;
    worker = std::thread([this] { run(); });
    return true;
}

void StandInBoard::stop() {
    {
        std::lock_guard<std::mutex> guard(waitLock);
        stopRequested.store(true, std::memory_order_release);
    }
    wake.notify_all();
    if (worker.joinable()) worker.join();
}

uint32_t StandInBoard::boardSeconds() const {
    return clock.seconds() - startSeconds;
}

bool StandInBoard::pause(std::chrono::microseconds d) {
    std::unique_lock<std::mutex> lock(waitLock);
    return !wake.wait_for(lock, d, [this] { return stopping(); });
}

void StandInBoard::run() {
    uint8_t buffer[4096];
    bool hungUp = false;
    while (!stopping()) {
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, kPollMs);
        if (ready < 0 && errno != EINTR) break; // the descriptor itself is bad: nothing to serve

        bool gone =
            ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & POLLIN);
        if (ready > 0 && (p.revents & POLLIN)) {
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                hungUp = false;
                for (const auto& frame : model.respondFrames(buffer, size_t(n), boardSeconds())) {
                    sendFrame(frame);
                    if (stopping()) return;
                }
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                gone = true; // EIO: nobody holds the other side
            }
        }
        if (p.revents & POLLNVAL) break;
        if (gone) {
            // The program closed the port. Wait for it to come back without spinning.
            if (!hungUp) model.lineHungUp();
            hungUp = true;
            if (!pause(kHungUpPause)) return;
            continue;
        }
        std::vector<uint8_t> status = model.unsolicited(boardSeconds());
        if (!status.empty()) sendFrame(status);
    }
}

void StandInBoard::sendNoise() {
    if (faults.noiseRate <= 0.0) return;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (chance(random) >= faults.noiseRate) return;
    std::uniform_int_distribution<int> count(1, 8), value(0, 255);
    std::vector<uint8_t> noise(size_t(count(random)));
    for (uint8_t& b : noise) {
        do {
            b = static_cast<uint8_t>(value(random));
        } while (b == 0x11 && !faults.noiseMarkers); // keep clear of the frame marker
    }
    if (writeOut(noise.data(), noise.size()) == WriteResult::Done)
        model.noteWritten(noise.size(), noise.size());
}

void StandInBoard::sendFrame(const std::vector<uint8_t>& frame) {
    sendNoise();
    size_t first = frame.size();
    if (faults.split && frame.size() > 1) {
        std::uniform_int_distribution<size_t> cut(1, frame.size() - 1);
        first = cut(random);
    }
    if (writeOut(frame.data(), first) != WriteResult::Done) return;
    model.noteWritten(first, 0);
    if (first == frame.size()) return;
    if (!pause(std::chrono::milliseconds(faults.splitPauseMs))) return;
    if (writeOut(frame.data() + first, frame.size() - first) == WriteResult::Done)
        model.noteWritten(frame.size() - first, 0);
}

StandInBoard::WriteResult StandInBoard::writeOut(const uint8_t* p, size_t n) {
    if (!faults.pace) return writeAll(p, n);
    while (n > 0) {
        int64_t wait = pacer.waitBefore(nowMicros());
        if (wait > 0 && !pause(std::chrono::microseconds(wait))) return WriteResult::Stopping;
        size_t chunk = n < kPacedChunk ? n : kPacedChunk;
        WriteResult r = writeAll(p, chunk);
        if (r != WriteResult::Done) return r;
        pacer.sent(chunk, nowMicros());
        p += chunk;
        n -= chunk;
    }
    return WriteResult::Done;
}

StandInBoard::WriteResult StandInBoard::writeAll(const uint8_t* p, size_t n) {
    auto giveUpAt = std::chrono::steady_clock::now() + kStalledWriteLimit;
    while (n > 0) {
        if (stopping()) return WriteResult::Stopping;
        ssize_t w = ::write(fd, p, n);
        if (w > 0) {
            p += w;
            n -= size_t(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno != EAGAIN) return WriteResult::LineGone; // EIO: nobody listens
        // The line's buffer is full: the other side is not reading. Wait a little, then
        // drop the rest rather than hang.
        if (std::chrono::steady_clock::now() >= giveUpAt) return WriteResult::LineGone;
        pollfd q{fd, POLLOUT, 0};
        ::poll(&q, 1, kPollMs);
    }
    return WriteResult::Done;
}

} // namespace walkmere
