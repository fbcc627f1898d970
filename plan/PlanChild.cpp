#include "plan/PlanChild.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace walkmere {

namespace {

constexpr size_t kKeptMessageBytes = 4096;

// The memory this process has mapped, from /proc/self/statm; 0 when it cannot be read.
uint64_t mappedBytes() {
    const OwnedFd fd(::open("/proc/self/statm", O_RDONLY | O_CLOEXEC));
    char text[64] = {};
    if (!fd.valid() || ::read(fd.get(), text, sizeof text - 1) <= 0) return 0;
    uint64_t pages = 0;
    for (const char* c = text; *c >= '0' && *c <= '9'; ++c)
        pages = pages * 10 + static_cast<uint64_t>(*c - '0');
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pageSize > 0 ? pages * static_cast<uint64_t>(pageSize) : 0;
}

int64_t millisecondsNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
}

// The child's side: never returns. Only the bounds are set up before the work: the child of
// a process with other threads may find a lock held for ever, which the real-time bound ends.
[[noreturn]] void runChild(const ChildBounds& bounds, uint64_t startBytes, int messagesFd,
                           int replyFd, const std::function<int(int)>& work) {
    ::dup2(messagesFd, STDERR_FILENO);
    // The parent's handlers (a fuzzer's, a sanitizer's) are not the child's: a crash here
    // ends the child with its signal, which the parent reports.
    for (int sig : {SIGXCPU, SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL})
        ::signal(sig, SIG_DFL);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, SIGXCPU);
    ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);

    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    const rlimit cpu{bounds.cpuSeconds, bounds.cpuSeconds + 1};
    ::setrlimit(RLIMIT_CPU, &cpu);
    if (startBytes != 0) {
        const rlim_t most = startBytes + bounds.memoryBytes;
        const rlimit memory{most, most};
        ::setrlimit(RLIMIT_AS, &memory);
    }
    int code = kChildFailed;
    try {
        code = work(replyFd);
    } catch (const std::bad_alloc&) {
        code = kChildOutOfMemory;
    } catch (...) {
        code = kChildFailed;
    }
    ::_exit(code);
}

// Waits until the child has closed its end of `ends` (it does so only by ending) or `seconds`
// have passed. Returns 0 when it ended, ETIMEDOUT, or the errno of a failed wait.
int waitForEnd(int fd, unsigned seconds) {
    const int64_t deadline = millisecondsNow() + int64_t{seconds} * 1000;
    for (;;) {
        const int64_t left = deadline - millisecondsNow();
        if (left <= 0) return ETIMEDOUT;
        pollfd p{fd, POLLIN, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left > INT_MAX ? INT_MAX : left));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) continue; // the clock decides
        char drained[64];
        const ssize_t got = ::read(fd, drained, sizeof drained); // the work wrote to it by mistake
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) return 0;
    }
}

std::string keptMessages(int fd) {
    std::string text(kKeptMessageBytes, '\0');
    const ssize_t got = ::pread(fd, text.data(), text.size(), 0);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

} // namespace

ChildOutcome runBounded(const ChildBounds& bounds, const std::function<int(int replyFd)>& work) {
    ChildOutcome outcome;
    OwnedFd reply(::memfd_create("walkmere-child-reply", MFD_CLOEXEC));
    OwnedFd messages(::memfd_create("walkmere-child-messages", MFD_CLOEXEC));
    int ends[2] = {-1, -1};
    if (!reply.valid() || !messages.valid() || ::pipe2(ends, O_CLOEXEC) != 0) {
        outcome.problem = std::strerror(errno);
        return outcome;
    }
    OwnedFd waitEnd(ends[0]);
    OwnedFd childEnd(ends[1]);
    const uint64_t startBytes = mappedBytes();
    const pid_t pid = ::fork();
    if (pid < 0) {
        outcome.problem = std::strerror(errno);
        return outcome;
    }
    if (pid == 0) {
        ::close(waitEnd.release()); // no destructor runs in the child
        runChild(bounds, startBytes, messages.get(), reply.get(), work);
    }
    childEnd.reset();

    const int waited = waitForEnd(waitEnd.get(), bounds.wallSeconds);
    if (waited != 0) ::kill(pid, SIGKILL);
    int status = 0;
    pid_t reaped = -1;
    do {
        reaped = ::waitpid(pid, &status, 0);
    } while (reaped < 0 && errno == EINTR);
    const int reapError = reaped < 0 ? errno : 0;
    outcome.messages = keptMessages(messages.get());
    if (waited == ETIMEDOUT) {
        outcome.end = ChildOutcome::End::OverTime;
    } else if (waited != 0 || reapError != 0) {
        outcome.problem = std::string("cannot wait for the child: ") +
                          std::strerror(waited != 0 ? waited : reapError);
    } else if (WIFEXITED(status)) {
        outcome.end = ChildOutcome::End::Exited;
        outcome.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome.end = ChildOutcome::End::Signalled;
        outcome.signal = WTERMSIG(status);
    }
    outcome.reply = std::move(reply);
    return outcome;
}

} // namespace walkmere
