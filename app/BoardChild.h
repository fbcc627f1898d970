#pragma once

#include "platform/OwnedFd.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace walkmere {

// walkmere-board run as a child process, for what needs a privilege the graphical program
// must not hold (fresh scans need CAP_NET_ADMIN, which only walkmere-board's file is given).
// The board serves on its pseudo-terminal, and the program opens portPath() as it opens a
// board given with --port. The child is told to end with this program; it is stopped and
// reaped when the object goes away.
class BoardChild {
public:
    using Sink = std::function<void(const std::string&)>;

    struct Setup {
        std::string program;                // walkmere-board (or a program that runs it)
        std::vector<std::string> arguments; // its options; --link and --end-with-parent follow
        Sink onLine; // each line the child writes to its standard error, until it is stopped
        Sink onEnd;  // once, when the child ends by itself: what it said last, or how it ended
        std::chrono::milliseconds startLimit{30000}; // until it prints its port
    };

    // Starts the child and waits until it has printed its port. Nothing, with one line in
    // `error` (what the child said last, when it ended), when it cannot be started, ends
    // first or does not print its port within the limit.
    static std::unique_ptr<BoardChild> start(Setup setup, std::string& error);
    // SIGTERM, SIGKILL after 3 seconds, then reaped; the port's link and its folder removed.
    ~BoardChild();
    BoardChild(const BoardChild&) = delete;
    BoardChild& operator=(const BoardChild&) = delete;

    // A symbolic link to the child's pseudo-terminal in a folder of this program's own,
    // removed as soon as the child has ended: a pseudo-terminal's number is soon given to
    // another, which the program must not open as its board.
    const std::string& portPath() const { return link; }
    pid_t pid() const { return child; }

private:
    BoardChild(Setup setup, std::string folder);
    bool launch(std::string& error);
    // A line of the child's standard error: kept as what it said last, and passed on.
    void passOn(const std::string& line);
    // The lines complete in `said`; with toTheEnd, an unfinished last one as well.
    void passOnLines(bool toTheEnd = false);
    // Reads what the child says until it ends, then reaps it and, unless it was stopped,
    // says how it ended. Runs on the watcher thread.
    void watch();
    void reap(); // waits for the child to end and collects it, once
    std::string endText() const;
    void removeLink();

    Setup setup;
    std::string folder, link;
    pid_t child = -1;
    OwnedFd process;          // the child as a pidfd: readable once it has ended
    OwnedFd output, messages; // its standard output and error
    std::string said;         // an unfinished line of its error output
    std::string lastLine;     // what the child said last, without its name
    bool stopping = false;    // set before the child is stopped on purpose
    bool reaped = false;
    int status = 0;
    std::mutex lock; // guards stopping and reaped
    std::condition_variable gone;
    std::thread watcher;
};

// walkmere-board beside the running program (its folder in /proc/self/exe), so that the
// program finds the board of its own build or installation, never another one on the PATH.
std::string boardProgramBesideThisProgram();

} // namespace walkmere
