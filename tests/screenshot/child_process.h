#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace walkmere::screenshot {

// What to run: the program and its arguments, variables to set (or, with an empty value,
// to remove) on top of this process's environment, and where its output goes.
struct Command {
    std::vector<std::string> argv;
    std::map<std::string, std::string> env;
    std::filesystem::path outputFile; // stdout and stderr; empty: /dev/null
};

// One started program, ended when the object goes away: SIGTERM first, SIGKILL when it has
// not gone after a grace period. Only the one process id it started is ever signalled.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False, with a reason, when the program could not be started.
    bool start(const Command& command, std::string& error);
    bool running();
    pid_t pid() const { return child; }
    // Ends the program and returns its wait status (-1 when none was running).
    int stop(std::chrono::milliseconds grace = std::chrono::seconds(3));
    // Sends `signal` and waits up to `limit` for the program to end: its wait status, or
    // nothing when it still runs (it is then left running).
    std::optional<int> signalAndWait(int signal, std::chrono::milliseconds limit);

private:
    pid_t child = -1;
    int status = -1;
};

// Runs a command to its end and returns its exit code; stdout goes into `output` when given.
// A command that outlives `timeout` is killed and -1 is returned.
int runCommand(const Command& command, std::chrono::milliseconds timeout,
               std::string* output = nullptr);

// Polls `done` every 100 ms until it holds or `limit` passes; true when it held.
bool waitFor(std::chrono::milliseconds limit, const std::function<bool()>& done);

// True when `name` is an executable file in one of the PATH folders.
bool onPath(const std::string& name);

} // namespace walkmere::screenshot
