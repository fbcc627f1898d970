#pragma once

#include <optional>
#include <string>

namespace walkmere {

// A pseudo-terminal pair standing in for the serial cable: the board holds the master
// side, the handheld program opens the slave path as its port. Both sides are put in raw
// mode, so 0x11 and 0x13 pass untouched and nothing is echoed or translated.
//
// Only the master is kept open: the slave is closed once configured, so it is free for
// the program to open (and to close and open again).
class PseudoTerminal {
public:
    // Opens a pair; on failure returns nothing and sets error.
    static std::optional<PseudoTerminal> open(std::string& error);

    PseudoTerminal(PseudoTerminal&& other) noexcept;
    PseudoTerminal& operator=(PseudoTerminal&& other) noexcept;
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    ~PseudoTerminal();

    int masterFd() const { return master; }
    const std::string& slavePath() const { return path; }

private:
    PseudoTerminal(int fd, std::string slave) : master(fd), path(std::move(slave)) {}

    int master = -1;
    std::string path;
};

} // namespace walkmere
