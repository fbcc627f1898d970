#pragma once

// A pseudo-terminal for the tests of the serial side: the code under test opens the slave
// by its path, the test plays the board on the master side with raw bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace walkmere::testkit {

class PtyPair {
public:
    PtyPair() {
        termios raw{};
        cfmakeraw(&raw);
        char name[256] = {};
        if (openpty(&masterFd, &slaveFd, name, &raw, nullptr) != 0) {
            ADD_FAILURE() << "openpty failed: errno " << errno;
            return;
        }
        slaveName = name;
        fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() {
        closeMaster();
        if (slaveFd >= 0) ::close(slaveFd);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& slavePath() const { return slaveName; }
    int master() const { return masterFd; }
    // The test's own descriptor of the slave: shows what waits in the link's input queue.
    int slave() const { return slaveFd; }

    void closeMaster() {
        if (masterFd >= 0) ::close(masterFd);
        masterFd = -1;
    }

    // The board sends: every byte goes out, waiting for room when the queue is full.
    void send(const std::vector<uint8_t>& bytes) {
        size_t done = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
            ssize_t n = ::write(masterFd, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += size_t(n);
            } else {
                pollfd p{masterFd, POLLOUT, 0};
                ::poll(&p, 1, 10);
            }
        }
        ASSERT_EQ(done, bytes.size()) << "the pseudo-terminal took too little";
    }

    // Bytes waiting in the slave's input queue (not yet read by the link).
    int pendingInput() const {
        int n = 0;
        ioctl(slaveFd, FIONREAD, &n);
        return n;
    }

    // Reads what the link wrote until count bytes have come or the time is up.
    std::vector<uint8_t> receive(size_t count, int timeoutMs = 5000) {
        std::vector<uint8_t> out;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{masterFd, POLLIN, 0};
            if (::poll(&p, 1, int(left.count())) <= 0) continue;
            uint8_t buf[512];
            ssize_t n = ::read(masterFd, buf, std::min(sizeof buf, count - out.size()));
            if (n > 0) out.insert(out.end(), buf, buf + n);
        }
        return out;
    }

    // Everything that arrives within quietMs (used to show that nothing more came).
    std::vector<uint8_t> drain(int quietMs) {
        std::vector<uint8_t> out;
        for (;;) {
            pollfd p{masterFd, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0) return out;
            uint8_t buf[512];
            ssize_t n = ::read(masterFd, buf, sizeof buf);
            if (n <= 0) return out;
            out.insert(out.end(), buf, buf + n);
        }
    }

private:
    int masterFd = -1;
    int slaveFd = -1;
    std::string slaveName;
};

// Waits (polling) until pred holds; false when it did not within the time.
template <class Pred> bool eventually(Pred pred, int timeoutMs = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace walkmere::testkit
