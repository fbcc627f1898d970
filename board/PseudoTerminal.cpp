#include "board/PseudoTerminal.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace walkmere {

namespace {

bool makeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    t.c_cflag |= CLOCAL | CREAD;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

} // namespace

std::optional<PseudoTerminal> PseudoTerminal::open(std::string& error) {
    int master = -1, slave = -1;
    char name[PATH_MAX] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return std::nullopt;
    }
    bool ok = makeRaw(slave) && makeRaw(master);
    int saved = errno;
    ::close(slave);
    if (!ok) {
        ::close(master);
        error = std::string("cannot set raw mode on the pseudo-terminal: ") + std::strerror(saved);
        return std::nullopt;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    return PseudoTerminal(master, name);
}

PseudoTerminal::PseudoTerminal(PseudoTerminal&& other) noexcept
    : master(other.master), path(std::move(other.path)) {
    other.master = -1;
}

PseudoTerminal& PseudoTerminal::operator=(PseudoTerminal&& other) noexcept {
    if (this != &other) {
        if (master >= 0) ::close(master);
        master = other.master;
        path = std::move(other.path);
        other.master = -1;
    }
    return *this;
}

PseudoTerminal::~PseudoTerminal() {
    if (master >= 0) ::close(master);
}

} // namespace walkmere
