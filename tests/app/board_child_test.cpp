// walkmere-board as the program's child: started, read over its link, stopped, and told of
// when it ends by itself. The real program, on real pipes and pseudo-terminals.
#include "app/BoardChild.h"
#include "board/TriggerPermission.h"
#include "testkit/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace walkmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kBoard = WALKMERE_BOARD_PROGRAM;
const std::string kSetpriv = "/usr/bin/setpriv";

// What a child said and how it ended, as the program's sinks hear it on the watcher thread,
// and whether the port's link had gone by the end.
struct Heard {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> lines;
    std::optional<std::string> end;
    std::string link;
    bool linkGoneAtEnd = false;

    BoardChild::Setup setup(std::string program, std::vector<std::string> arguments) {
        BoardChild::Setup s;
        s.program = std::move(program);
        s.arguments = std::move(arguments);
        s.onLine = [this](const std::string& line) {
            std::lock_guard<std::mutex> g(lock);
            lines.push_back(line);
        };
        s.onEnd = [this](const std::string& how) {
            std::lock_guard<std::mutex> g(lock);
            end = how;
            linkGoneAtEnd = !fs::exists(fs::symlink_status(link));
            changed.notify_all();
        };
        return s;
    }
    void follow(const BoardChild& board) {
        std::lock_guard<std::mutex> g(lock);
        link = board.portPath();
    }
    std::optional<std::string> waitForEnd() {
        std::unique_lock<std::mutex> g(lock);
        changed.wait_for(g, 20s, [&] { return end.has_value(); });
        return end;
    }
};

std::string realFile(const std::string& path) {
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) ? real : path;
}

TEST(BoardChild, ServesOnItsLinkUntilItIsStopped) {
    Heard heard;
    std::string error;
    auto board = BoardChild::start(heard.setup(kBoard, {}), error);
    ASSERT_TRUE(board) << error;
    const fs::path link = board->portPath();
    EXPECT_EQ(fs::read_symlink(link).string().rfind("/dev/pts/", 0), 0u);
    const pid_t pid = board->pid();

    board.reset();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_FALSE(fs::exists(link.parent_path()));
    EXPECT_NE(::kill(pid, 0), 0) << "the board was not reaped";
    EXPECT_FALSE(heard.end);
    EXPECT_TRUE(heard.lines.empty()) << heard.lines.front(); // its report on stopping is not
}

TEST(BoardChild, TellsHowTheBoardEndedByItself) {
    testkit::TempDir tmp;
    const fs::path capture = tmp.file("office.nlscan");
    fs::copy_file(fs::path(std::getenv("WALKMERE_SOURCE_DIR")) / "res/wifi/office.nlscan", capture);
    struct Case {
        const char* name;
        std::function<void(pid_t)> end;
        std::string said;
    };
    const Case cases[] = {
        {"killed", [](pid_t pid) { ::kill(pid, SIGKILL); },
         "walkmere-board was ended by signal 9 (Killed)"},
        // A Wi-Fi error ends the board with one line and status 1.
        {"its capture changed",
         [&](pid_t) { std::ofstream(capture, std::ios::trunc) << "not a capture"; },
         capture.string() + ": the scan capture changed while it was played"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Heard heard;
        std::string error;
        auto board = BoardChild::start(
            heard.setup(kBoard, {"--wifi-replay", capture.string(), "--interval", "100"}), error);
        ASSERT_TRUE(board) << error;
        heard.follow(*board);
        c.end(board->pid());
        EXPECT_EQ(heard.waitForEnd(), c.said);
        EXPECT_TRUE(heard.linkGoneAtEnd);
    }
}

// A program that dies without stopping its board (a crash) takes the board with it: a shell
// stands for it here, running the board as its own child and saying the board's id.
TEST(BoardChild, TheBoardEndsWithTheProgramThatStartedIt) {
    Heard heard;
    std::string error;
    auto shell = BoardChild::start(
        heard.setup("/bin/sh", {"-c", "\"$0\" \"$@\" & echo $! >&2; wait", kBoard}), error);
    ASSERT_TRUE(shell) << error;
    std::string said;
    {
        std::lock_guard<std::mutex> g(heard.lock);
        ASSERT_FALSE(heard.lines.empty());
        said = heard.lines[0];
    }
    const pid_t board = std::stoi(said);
    ::kill(shell->pid(), SIGKILL);
    ASSERT_TRUE(heard.waitForEnd());
    // Gone, or ended and waiting for whoever took it over to collect it.
    auto ended = [&] {
        std::ifstream status("/proc/" + std::to_string(board) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("State:", 0) == 0) return line.find('Z') != std::string::npos;
        return true;
    };
    for (int i = 0; i < 200 && !ended(); ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(ended());
    if (!ended()) ::kill(board, SIGKILL);
}

TEST(BoardChild, RefusesABoardThatDoesNotServe) {
    struct Case {
        std::string program;
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {"/nonexistent/walkmere-board",
         {},
         "cannot start /nonexistent/walkmere-board: No such file or directory"},
        // What the board said last, without its name.
        {kBoard,
         {"--wifi-replay", "/nonexistent.nlscan"},
         "cannot open the scan capture /nonexistent.nlscan: No such file or directory"},
        {"/bin/sh", {"-c", "exec sleep 30", "sh"}, "walkmere-board did not serve within 1 s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        Heard heard;
        BoardChild::Setup setup = heard.setup(c.program, c.arguments);
        setup.startLimit = 1s;
        std::string error;
        EXPECT_FALSE(BoardChild::start(std::move(setup), error));
        EXPECT_EQ(error, c.error);
    }
}

// Fresh scans need CAP_NET_ADMIN: a board started without it names its file and what to do,
// and so does the program, asking the child's process what it was given.
TEST(BoardChild, NamesWhatToDoWhenTheBoardLacksTheCapability) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, which holds CAP_NET_ADMIN";
    const std::string withoutIt = "--bounding-set=-net_admin";
    const std::string hint = "install Walkmere's package, or give it the capability as root: "
                             "setcap cap_net_admin+ep " +
                             realFile(kBoard);

    Heard refused;
    std::string error;
    EXPECT_FALSE(BoardChild::start(
        refused.setup(kSetpriv, {withoutIt, kBoard, "--wifi", "nosuch0", "--trigger"}), error));
    if (!refused.lines.empty() && refused.lines[0].rfind("setpriv:", 0) == 0)
        GTEST_SKIP() << refused.lines[0];
    ASSERT_FALSE(refused.lines.empty()) << error;
    EXPECT_NE(refused.lines[0].find(hint), std::string::npos) << refused.lines[0];

    const std::string capture =
        (fs::path(std::getenv("WALKMERE_SOURCE_DIR")) / "res/wifi/office.nlscan").string();
    struct Run {
        std::string program;
        std::vector<std::string> arguments;
        bool lacking;
    };
    const Run runs[] = {
        {kSetpriv, {withoutIt, kBoard, "--wifi-replay", capture}, true},
        {kBoard, {"--wifi-replay", capture}, false},
    };
    for (const Run& run : runs) {
        Heard heard;
        auto board = BoardChild::start(heard.setup(run.program, run.arguments), error);
        ASSERT_TRUE(board) << error;
        const std::string missing = missingTriggerPermission(board->pid(), kBoard);
        EXPECT_EQ(missing.find(hint) != std::string::npos, run.lacking) << missing;
    }
}

} // namespace
} // namespace walkmere
