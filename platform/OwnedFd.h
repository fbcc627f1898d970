#pragma once

#include <unistd.h>
#include <utility>

namespace walkmere {

// A file descriptor closed when the object goes away.
class OwnedFd {
public:
    OwnedFd() = default;
    explicit OwnedFd(int fd) : fd(fd) {}
    ~OwnedFd() { reset(); }
    OwnedFd(OwnedFd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    OwnedFd& operator=(OwnedFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;

    int get() const { return fd; }
    bool valid() const { return fd >= 0; }
    // Hands the descriptor over to the caller, who closes it.
    int release() { return std::exchange(fd, -1); }
    void reset() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }

private:
    int fd = -1;
};

} // namespace walkmere
