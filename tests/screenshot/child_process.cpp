#include "screenshot/child_process.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace walkmere::screenshot {
namespace {

using Clock = std::chrono::steady_clock;

// This process's environment with the command's changes applied, as "NAME=value" strings.
std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> merged;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        if (changes.count(name) == 0) merged.push_back(entry);
    }
    for (const auto& [name, value] : changes) {
        if (!value.empty()) merged.push_back(name + "=" + value);
    }
    return merged;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// Starts the command with stdout on `stdoutFd` (or the output file, or /dev/null).
pid_t spawn(const Command& command, int stdoutFd, std::string& error) {
    if (command.argv.empty()) {
        error = "no program given";
        return -1;
    }
    std::vector<std::string> args = command.argv;
    std::vector<std::string> env = mergedEnvironment(command.env);
    std::vector<char*> argp = pointers(args), envp = pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = command.outputFile.empty() ? "/dev/null" : command.outputFile.string();
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
        posix_spawn_file_actions_addopen(&actions, 2, out.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        error = "cannot start " + args[0] + ": " + std::strerror(rc);
        return -1;
    }
    return pid;
}

// Waits for `pid` until `deadline`; true (with its status) when it ended.
bool waitUntil(pid_t pid, Clock::time_point deadline, int& status) {
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return true;
        if (r < 0 && errno != EINTR) {
            status = -1;
            return true; // not our child any more: nothing left to wait for
        }
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

ChildProcess::~ChildProcess() {
    stop();
}

bool ChildProcess::start(const Command& command, std::string& error) {
    stop();
    child = spawn(command, -1, error);
    status = -1;
    return child > 0;
}

bool ChildProcess::running() {
    if (child <= 0) return false;
    int s = 0;
    if (::waitpid(child, &s, WNOHANG) == child) {
        status = s;
        child = -1;
        return false;
    }
    return true;
}

int ChildProcess::stop(std::chrono::milliseconds grace) {
    if (child <= 0) return status;
    ::kill(child, SIGTERM);
    int s = -1;
    if (!waitUntil(child, Clock::now() + grace, s)) {
        ::kill(child, SIGKILL);
        waitUntil(child, Clock::now() + std::chrono::seconds(5), s);
    }
    child = -1;
    status = s;
    return status;
}

std::optional<int> ChildProcess::signalAndWait(int signal, std::chrono::milliseconds limit) {
    if (child <= 0) return status;
    ::kill(child, signal);
    int s = -1;
    if (!waitUntil(child, Clock::now() + limit, s)) return std::nullopt;
    child = -1;
    status = s;
    return status;
}

bool waitFor(std::chrono::milliseconds limit, const std::function<bool()>& done) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

int runCommand(const Command& command, std::chrono::milliseconds timeout, std::string* output) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    std::string error;
    const pid_t pid = spawn(command, fds[1], error);
    ::close(fds[1]);
    if (pid <= 0) {
        ::close(fds[0]);
        return -1;
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    bool timedOut = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) continue;
        char buf[4096];
        const ssize_t got = ::read(fds[0], buf, sizeof buf);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (output) output->append(buf, static_cast<size_t>(got));
    }
    ::close(fds[0]);
    int status = -1;
    if (timedOut || !waitUntil(pid, deadline + std::chrono::seconds(2), status)) {
        ::kill(pid, SIGKILL);
        waitUntil(pid, Clock::now() + std::chrono::seconds(5), status);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    const std::string all(path);
    size_t from = 0;
    while (from <= all.size()) {
        const size_t colon = all.find(':', from);
        const std::string dir = all.substr(from, colon == std::string::npos ? colon : colon - from);
        if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0) return true;
        if (colon == std::string::npos) break;
        from = colon + 1;
    }
    return false;
}

} // namespace walkmere::screenshot
