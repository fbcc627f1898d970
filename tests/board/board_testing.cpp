#include "board_testing.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace walkmere::testing {

LineClient::LineClient(const std::string& path) {
    fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

LineClient::~LineClient() {
    close();
}

void LineClient::close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

void LineClient::write(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
        } else {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0) return;
        }
    }
}

std::vector<Frame> LineClient::readFrames(size_t count, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    uint8_t buffer[4096];
    while (pending.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0) continue;
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) continue;
        std::vector<uint8_t> bytes(buffer, buffer + n);
        raw.insert(raw.end(), bytes.begin(), bytes.end());
        for (Frame& f : parseFrames(bytes, assembler))
            pending.push_back(std::move(f));
    }
    size_t take = pending.size() < count ? pending.size() : count;
    std::vector<Frame> out(pending.begin(), pending.begin() + take);
    pending.erase(pending.begin(), pending.begin() + take);
    return out;
}

} // namespace walkmere::testing
