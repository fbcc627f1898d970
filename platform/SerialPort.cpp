#include "platform/SerialPort.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace walkmere {

namespace {

constexpr int kWriteStallMs = 1000; // a line that takes no byte for this long is dead

// Modem-line changes mean nothing on a pseudo-terminal, which refuses them.
bool setModemLine(int fd, unsigned long request, int line) {
    if (ioctl(fd, request, &line) == 0) return true;
    return errno == ENOTTY || errno == EINVAL;
}

} // namespace

SerialPort::~SerialPort() {
    close();
}

SerialPort::OpenResult SerialPort::open(const std::string& path) {
    close();
    // O_NONBLOCK so that opening does not wait for a carrier the board never raises.
    int f = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (f < 0) return OpenResult::CannotOpen;
    // The handheld opened its port with no sharing; a second user is refused here too.
    if (flock(f, LOCK_EX | LOCK_NB) != 0) {
        ::close(f);
        return OpenResult::CannotOpen;
    }
    fd = f;
    if (!configure()) {
        close();
        return OpenResult::CannotConfigure;
    }
    flush();
    return OpenResult::Opened;
}

bool SerialPort::configure() {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, B38400) != 0 || cfsetospeed(&tio, B38400) != 0) return false;
    if (tcsetattr(fd, TCSANOW, &tio) != 0) return false;

    // tcsetattr succeeds when any one change took; check that the ones we need did.
    termios now{};
    if (tcgetattr(fd, &now) != 0) return false;
    if (cfgetispeed(&now) != B38400 || cfgetospeed(&now) != B38400) return false;
    if ((now.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS)) != CS8) return false;
    if (now.c_iflag & (IXON | IXOFF)) return false;

    return setModemLine(fd, TIOCMBIC, TIOCM_DTR) && setModemLine(fd, TIOCMBIS, TIOCM_RTS);
}

void SerialPort::close() {
    if (fd < 0) return;
    ::close(fd); // releases the flock as well
    fd = -1;
}

size_t SerialPort::bytesWaiting() const {
    if (fd < 0) return 0;
    int n = 0;
    if (ioctl(fd, FIONREAD, &n) != 0 || n < 0) return 0;
    return static_cast<size_t>(n);
}

long SerialPort::read(uint8_t* buffer, size_t n) {
    if (fd < 0) return -1;
    for (;;) {
        ssize_t got = ::read(fd, buffer, n);
        if (got >= 0) return static_cast<long>(got);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

bool SerialPort::writeAll(const uint8_t* bytes, size_t n) {
    if (fd < 0) return false;
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(kWriteStallMs);
    size_t done = 0;
    while (done < n) {
        ssize_t put = ::write(fd, bytes + done, n - done);
        if (put > 0) {
            done += static_cast<size_t>(put);
            deadline = Clock::now() + std::chrono::milliseconds(kWriteStallMs);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;

        // The output queue is full: wait for room, but not for ever.
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLOUT, 0};
        int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR) return false;
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
    }
    return true;
}

SerialPort::PollResult SerialPort::pollReadable(int timeoutMs) const {
    if (fd < 0) return PollResult::HungUp;
    pollfd p{fd, POLLIN, 0};
    int r = ::poll(&p, 1, timeoutMs);
    if (r == 0 || (r < 0 && errno == EINTR)) return PollResult::TimedOut;
    if (r < 0) return PollResult::HungUp;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return PollResult::HungUp;
    return (p.revents & POLLIN) ? PollResult::Readable : PollResult::TimedOut;
}

void SerialPort::flush() {
    if (fd >= 0) tcflush(fd, TCIOFLUSH);
}

std::optional<std::string> devicePathForPortName(const std::string& name) {
    // A path, relative ones included ("./board", "dev/board"): no "COMn:" holds a '/'.
    if (name.find('/') != std::string::npos) return name;

    // "COMn:" (the colon may be missing; the letters in any case, as on the handheld).
    if (name.size() < 4) return std::nullopt;
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M')
        return std::nullopt;
    size_t end = name.size();
    if (name.back() == ':') --end;
    if (end == 3 || end - 3 > 3) return std::nullopt; // COM1 .. COM999
    int n = 0;
    for (size_t i = 3; i < end; ++i) {
        if (name[i] < '0' || name[i] > '9') return std::nullopt;
        n = n * 10 + (name[i] - '0');
    }
    if (n < 1) return std::nullopt;
    return "/dev/ttyS" + std::to_string(n - 1);
}

} // namespace walkmere
