#include "app/BoardChild.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace walkmere {

namespace {

constexpr std::string_view kBoardName = "walkmere-board: ";
constexpr auto kStopGrace = std::chrono::seconds(3);

// The process as a descriptor, through the system calls themselves: glibc 2.36 declares its
// wrappers for C only.
int openProcess(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

void signalProcess(const OwnedFd& process, int signal) {
    ::syscall(SYS_pidfd_send_signal, process.get(), signal, nullptr, 0);
}

// A private folder for the port's link: the runtime folder when there is one, else /tmp.
std::string makeFolder(std::string& error) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    const std::string base =
        runtime && *runtime && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) ? runtime : "/tmp";
    std::string pattern = base + "/walkmere-board-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        error =
            "cannot make a folder in " + base + " for the board's port: " + std::strerror(errno);
        return "";
    }
    return pattern;
}

// Reads what is there (after poll said so); 0 at the end, -1 on an error.
ssize_t readSome(int fd, std::string& into) {
    char chunk[1024];
    ssize_t got;
    do {
        got = ::read(fd, chunk, sizeof chunk);
    } while (got < 0 && errno == EINTR);
    if (got > 0) into.append(chunk, static_cast<size_t>(got));
    return got;
}

// Reads what has come in without waiting for more: what a process that has ended left.
void readWhatIsThere(OwnedFd& fd, std::string& into) {
    while (fd.valid()) {
        pollfd p{fd.get(), POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0 || readSome(fd.get(), into) <= 0) return;
    }
}

} // namespace

BoardChild::BoardChild(Setup setup, std::string folder)
    : setup(std::move(setup)), folder(std::move(folder)), link(this->folder + "/port") {}

std::unique_ptr<BoardChild> BoardChild::start(Setup setup, std::string& error) {
    std::string folder = makeFolder(error);
    if (folder.empty()) return nullptr;
    std::unique_ptr<BoardChild> board(new BoardChild(std::move(setup), std::move(folder)));
    if (!board->launch(error)) return nullptr; // the destructor stops and reaps what started
    board->watcher = std::thread([b = board.get()] { b->watch(); });
    return board;
}

bool BoardChild::launch(std::string& error) {
    int outputPipe[2], messagePipe[2];
    if (::pipe2(outputPipe, O_CLOEXEC) != 0) {
        error = std::string("cannot start walkmere-board: ") + std::strerror(errno);
        return false;
    }
    output = OwnedFd(outputPipe[0]);
    OwnedFd outputEnd(outputPipe[1]);
    if (::pipe2(messagePipe, O_CLOEXEC) != 0) {
        error = std::string("cannot start walkmere-board: ") + std::strerror(errno);
        return false;
    }
    messages = OwnedFd(messagePipe[0]);
    OwnedFd messagesEnd(messagePipe[1]);

    std::vector<std::string> words = {setup.program};
    words.insert(words.end(), setup.arguments.begin(), setup.arguments.end());
    words.insert(words.end(), {"--link", link, "--end-with-parent"});
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    // Standard input from /dev/null, the two pipes as its output, nothing else of ours open;
    // default signal handling, nothing blocked; a process group of its own, so that a Ctrl-C
    // in the terminal reaches this program, which then stops the board.
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&files, outputEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&files, messagesEnd.get(), STDERR_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&files, STDERR_FILENO + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETPGROUP);
    const int spawned =
        ::posix_spawn(&child, setup.program.c_str(), &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        child = -1;
        error = "cannot start " + setup.program + ": " + std::strerror(spawned);
        return false;
    }
    outputEnd.reset();
    messagesEnd.reset();
    // Not reaped before this program says so, so the id is still the child's here; through
    // the pidfd, signals never reach another process that gets the id later.
    process = OwnedFd(openProcess(child));
    if (!process.valid()) {
        error = std::string("cannot watch walkmere-board: ") + std::strerror(errno);
        ::kill(child, SIGKILL);
        reap();
        return false;
    }

    // The board prints its port once it serves; until then, what it says is passed on.
    const auto deadline = std::chrono::steady_clock::now() + setup.startLimit;
    std::string port;
    bool ended = false;
    while (port.find('\n') == std::string::npos && !ended) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) break;
        pollfd fds[3] = {
            {output.get(), POLLIN, 0}, {process.get(), POLLIN, 0}, {messages.get(), POLLIN, 0}};
        const int n = ::poll(fds, messages.valid() ? 3 : 2, static_cast<int>(left));
        if (n < 0 && errno != EINTR) break;
        if (n <= 0) continue;
        if (fds[2].revents != 0 && readSome(messages.get(), said) <= 0) messages.reset();
        if (fds[0].revents != 0 && readSome(output.get(), port) <= 0) ended = true;
        if (fds[1].revents != 0) ended = true;
        passOnLines();
    }
    if (port.find('\n') != std::string::npos) {
        struct stat st {};
        if (::lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return true;
        error = "walkmere-board made no link to its port at " + link;
        return false;
    }
    signalProcess(process, SIGKILL); // one that has ended keeps its status
    reap();
    // What it said last before it ended explains it best.
    readWhatIsThere(messages, said);
    passOnLines(true);
    error = ended ? endText()
                  : "walkmere-board did not serve within " +
                        std::to_string(setup.startLimit.count() / 1000) + " s";
    return false;
}

void BoardChild::passOn(const std::string& line) {
    lastLine = line.rfind(kBoardName, 0) == 0 ? line.substr(kBoardName.size()) : line;
    bool quiet;
    {
        std::lock_guard<std::mutex> guard(lock);
        quiet = stopping; // its report on being stopped is of no interest
    }
    if (!quiet && setup.onLine) setup.onLine(line);
}

void BoardChild::passOnLines(bool toTheEnd) {
    for (size_t end; (end = said.find('\n')) != std::string::npos; said.erase(0, end + 1))
        passOn(said.substr(0, end));
    if (toTheEnd && !said.empty()) passOn(std::exchange(said, {}));
}

void BoardChild::watch() {
    for (;;) {
        pollfd fds[2] = {{process.get(), POLLIN, 0}, {messages.get(), POLLIN, 0}};
        const int n = ::poll(fds, messages.valid() ? 2 : 1, -1);
        if (n < 0 && errno != EINTR) break;
        if (n <= 0) continue;
        if (fds[1].revents != 0 && readSome(messages.get(), said) <= 0) messages.reset();
        passOnLines();
        if (fds[0].revents != 0) break; // it has ended
    }
    readWhatIsThere(messages, said);
    passOnLines(true);
    reap();
    removeLink();
    bool onPurpose;
    {
        std::lock_guard<std::mutex> guard(lock);
        onPurpose = stopping;
    }
    if (!onPurpose && setup.onEnd) setup.onEnd(endText());
}

void BoardChild::reap() {
    std::lock_guard<std::mutex> guard(lock);
    if (reaped || child <= 0) return;
    pid_t got;
    do {
        got = ::waitpid(child, &status, 0);
    } while (got < 0 && errno == EINTR);
    reaped = true;
    gone.notify_all();
}

std::string BoardChild::endText() const {
    if (WIFSIGNALED(status))
        return "walkmere-board was ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
               ::strsignal(WTERMSIG(status)) + ")";
    if (!lastLine.empty()) return lastLine;
    return "walkmere-board ended with status " + std::to_string(WEXITSTATUS(status));
}

void BoardChild::removeLink() {
    // Only a link: the board removes its own when it stops, and nothing else belongs here.
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(link.c_str());
    ::rmdir(folder.c_str());
}

BoardChild::~BoardChild() {
    {
        std::unique_lock<std::mutex> guard(lock);
        stopping = true;
        if (process.valid() && !reaped) {
            signalProcess(process, SIGTERM);
            // Without a watcher (a start that failed) nothing sees it go: no grace then.
            const bool ended =
                watcher.joinable() && gone.wait_for(guard, kStopGrace, [&] { return reaped; });
            if (!ended) signalProcess(process, SIGKILL);
        }
    }
    if (watcher.joinable()) watcher.join();
    reap();
    removeLink();
}

std::string boardProgramBesideThisProgram() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "walkmere-board";
    return (self.parent_path() / "walkmere-board").string();
}

} // namespace walkmere
