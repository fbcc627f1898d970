// walkmere-board as a program: started, talked to over its port, stopped by a signal.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "board/WifiEntries.h"
#include "board_testing.h"
#include "testkit/DumpBuilder.h"
#include "testkit/SimulatedOffice.h"
#include "testkit/TempDir.h"
#include "wifi/ScanCapture.h"

extern char** environ;

namespace walkmere {
namespace {

using namespace std::chrono_literals;

std::string boardProgram() {
    return WALKMERE_BOARD_PROGRAM;
}

// A running walkmere-board with its stdout and stderr read through pipes.
class Program {
public:
    explicit Program(std::vector<std::string> args) {
        args.insert(args.begin(), boardProgram());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        stdinFd = in[1];
        stdoutFd = out[0];
        stderrFd = err[0];
    }
    ~Program() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        closeStdin();
        if (stdoutFd >= 0) ::close(stdoutFd);
        if (stderrFd >= 0) ::close(stderrFd);
    }

    bool started() const { return pid > 0; }

    void writeStdin(const std::string& text) {
        ASSERT_EQ(::write(stdinFd, text.data(), text.size()), ssize_t(text.size()));
    }
    void closeStdin() {
        if (stdinFd >= 0) ::close(stdinFd);
        stdinFd = -1;
    }

    // The first line on stdout, waiting up to the limit.
    std::string firstLine(std::chrono::milliseconds limit) {
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + limit;
        char c;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{stdoutFd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            if (::read(stdoutFd, &c, 1) != 1 || c == '\n') break;
            line += c;
        }
        return line;
    }

    std::string readAll(int fd) {
        std::string text;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0)
            text.append(buf, size_t(n));
        return text;
    }

    // Waits for the exit (SIGKILL after the limit); returns the exit status or -1.
    int wait(std::chrono::milliseconds limit) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                pid = -1;
                return -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t pid = -1;
    int stdinFd = -1, stdoutFd = -1, stderrFd = -1;
};

TEST(BoardProgram, ServesOnItsPortAndEndsCleanlyOnSigterm) {
    testkit::TempDir dir;
    std::string link = dir.file("board-port").string();
    Program board({"--link", link, "--firmware", "DRV-9.99", "--seed", "3"});
    ASSERT_TRUE(board.started());
    std::string port = board.firstLine(10s);
    ASSERT_FALSE(port.empty());
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), port);

    {
        testing::LineClient line(link);
        ASSERT_TRUE(line.isOpen());
        line.write(testing::request(1));
        std::vector<testing::Frame> f = line.readFrames(1, 5000ms);
        ASSERT_EQ(f.size(), 1u);
        EXPECT_STREQ(reinterpret_cast<const char*>(f[0].payload.data()), "DRV-9.99");
    }
    std::this_thread::sleep_for(100ms); // hung up for a while: it must keep running
    ::kill(board.pid, SIGTERM);
    EXPECT_EQ(board.wait(5s), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    EXPECT_NE(board.readAll(board.stderrFd).find("firmware 1"), std::string::npos);
}

TEST(BoardProgram, RefusesABadScenarioWithTheLineNumber) {
    testkit::TempDir dir;
    auto file = dir.file("bad.txt");
    std::string text = "serial X1\nap 00:00:00:00:00:01 channel=1 rssi=-40 jiter=2\n";
    testkit::writeFileBytes(file, std::vector<unsigned char>(text.begin(), text.end()));
    Program board({"--scenario", file.string()});
    ASSERT_TRUE(board.started());
    EXPECT_EQ(board.wait(5s), 2);
    std::string err = board.readAll(board.stderrFd);
    EXPECT_NE(err.find("bad.txt: line 2: unknown ap key 'jiter'"), std::string::npos) << err;
}

// A file that could never be a scenario is refused at once on one line: a device that
// never ends, a FIFO with no writer, a file over 1 MB.
TEST(BoardProgram, RefusesAScenarioThatIsNotASmallRegularFile) {
    testkit::TempDir dir;
    const auto fifo = dir.file("fifo.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto big = dir.file("big.txt");
    const std::string comment = "# " + std::string(97, 'x') + "\n";
    std::string text;
    while (text.size() <= (1 << 20))
        text += comment;
    testkit::writeFileBytes(big, std::vector<unsigned char>(text.begin(), text.end()));

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/dev/zero", "cannot open scenario file /dev/zero: not a regular file (a character "
                      "device)"},
        {fifo.string(),
         "cannot open scenario file " + fifo.string() + ": not a regular file (a FIFO)"},
        {big.string(), "cannot use scenario file " + big.string() + ": " +
                           std::to_string(text.size()) +
                           " bytes, more than the 1048576 bytes a scenario may have"},
    };
    for (const auto& [path, message] : cases) {
        SCOPED_TRACE(path);
        Program board({"--scenario", path});
        ASSERT_TRUE(board.started());
        EXPECT_EQ(board.wait(5s), 1);
        EXPECT_EQ(board.readAll(board.stderrFd), "walkmere-board: " + message + "\n");
    }
}

TEST(BoardProgram, RefusesBadOptionsAndShowsHelp) {
    Program bad({"--silence", "9/3"});
    EXPECT_EQ(bad.wait(5s), 2);
    EXPECT_NE(bad.readAll(bad.stderrFd).find("silence '9/3'"), std::string::npos);

    Program help({"--help"});
    EXPECT_EQ(help.wait(5s), 0);
    std::string text = help.readAll(help.stdoutFd);
    EXPECT_NE(text.find("--bad-selector K"), std::string::npos);
    EXPECT_NE(text.find("heardEvery=S"), std::string::npos);
}

// A replay's first dump as the board serves it: its 16 strongest BSSs, strongest first,
// every field as the board's records map it, the age growing from the BSS's own with the
// seconds since the dump was played; the firmware and serial say it is a replay.
TEST(BoardProgram, ServesTheSixteenStrongestOfAReplay) {
    testkit::TempDir dir;
    const std::string capture = dir.file("walk.nlscan").string();
    const std::vector<wifitest::BssFields> first = wifitest::variedBss(20);
    wifitest::writeCapture(
        capture, {wifitest::buildDump(first), wifitest::buildDump(wifitest::variedBss(20, 1))});
    std::vector<ScanDump> dumps;
    std::string error;
    ASSERT_TRUE(loadScanCapture(capture, dumps, error)) << error;
    const auto expected = boardEntries(dumps[0], 0);

    // The 16 strongest BSSIDs, found here without the board's own mapping.
    std::vector<wifitest::BssFields> strongest = first;
    std::sort(strongest.begin(), strongest.end(),
              [](const auto& a, const auto& b) { return a.signalMbm > b.signalMbm; });
    strongest.resize(16);

    const std::string link = dir.file("board-port").string();
    // A long interval: the first dump is served all through the test.
    Program board({"--wifi-replay", capture, "--interval", "600000", "--link", link});
    ASSERT_TRUE(board.started());
    ASSERT_FALSE(board.firstLine(10s).empty());
    testing::LineClient line(link);
    ASSERT_TRUE(line.isOpen());

    const std::pair<uint8_t, const char*> strings[] = {{1, "nl80211 replay"}, {2, "walk"}};
    for (const auto& [type, text] : strings) {
        line.write(testing::request(type));
        const std::vector<testing::Frame> f = line.readFrames(1, 5000ms);
        ASSERT_EQ(f.size(), 1u);
        EXPECT_EQ(f[0].type, type);
        EXPECT_STREQ(reinterpret_cast<const char*>(f[0].payload.data()), text);
    }
    bool hidden = false, sixGhz = false;
    for (uint8_t nn = 1; nn <= 16; ++nn) {
        SCOPED_TRACE(int(nn));
        line.write(testing::entryRequest(nn));
        const std::vector<testing::Frame> f = line.readFrames(1, 5000ms);
        ASSERT_EQ(f.size(), 1u);
        ASSERT_EQ(f[0].payload.size(), 12 + ApRecord::kSize);
        ApRecord served = ApRecord::fromBytes(f[0].payload.data() + 12);
        const ApRecord& want = expected[nn - 1];
        EXPECT_TRUE(std::equal(want.mac(), want.mac() + 6, strongest[nn - 1].bssid.begin()));
        EXPECT_GE(served.age(), want.age());
        EXPECT_LE(served.age(), want.age() + 30);
        served.setAge(want.age());
        EXPECT_TRUE(served.bytes == want.bytes)
            << served.macText() << " " << int(served.rssi()) << " '" << served.ssid() << "' "
            << served.channelCode();
        hidden = hidden || served.ssid().empty();
        sixGhz = sixGhz || served.channelCode() == channelCodeFor(channelForFrequency(6115));
    }
    EXPECT_TRUE(hidden) << "the hidden SSID is among the 16";
    EXPECT_TRUE(sixGhz);
    ::kill(board.pid, SIGTERM);
    EXPECT_EQ(board.wait(5s), 0);
}

// No such adapter (this machine has no wireless at all): one line and status 1, at once.
TEST(BoardProgram, AMissingAdapterIsOneLineAndStatusOne) {
    if (std::filesystem::exists("/sys/class/net/wlan0/wireless"))
        GTEST_SKIP() << "this machine has a wlan0";
    const auto started = std::chrono::steady_clock::now();
    Program board({"--wifi", "wlan0"});
    ASSERT_TRUE(board.started());
    EXPECT_EQ(board.wait(5s), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    const std::string err = board.readAll(board.stderrFd);
    EXPECT_EQ(err.rfind("walkmere-board: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(board.readAll(board.stdoutFd), "") << "no port without a board";
}

TEST(BoardProgram, RefusesWifiOptionsThatCannotGoTogether) {
    testkit::TempDir dir;
    const auto scenario = dir.file("aps.txt");
    const std::string text = "ap 00:a0:f8:12:34:01 channel=6 rssi=-50\n";
    testkit::writeFileBytes(scenario, std::vector<unsigned char>(text.begin(), text.end()));
    const auto damaged = dir.file("damaged.nlscan");
    testkit::writeFileBytes(damaged, std::vector<unsigned char>(10, 0xAB));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"--wifi", "wlan0", "--wifi-replay", damaged.string()},
         2,
         "--wifi and --wifi-replay exclude each other"},
        {{"--scenario", scenario.string(), "--wifi-replay", damaged.string()},
         2,
         "--wifi-replay excludes a scenario's APs"},
        {{"--wifi-replay", damaged.string()}, 1, damaged.string() + ": damaged scan capture"},
        {{"--wifi-replay", dir.file("none.nlscan").string()}, 1, "none.nlscan"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        Program board(c.args);
        ASSERT_TRUE(board.started());
        EXPECT_EQ(board.wait(5s), c.status);
        const std::string err = board.readAll(board.stderrFd);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

// The board's 16 entries as the line answers REQ_READ_ENTRY 1 to 16: the records of those
// with a BSS, in entry order.
std::vector<ApRecord> servedEntries(testing::LineClient& line) {
    std::vector<ApRecord> served;
    for (uint8_t nn = 1; nn <= 16; ++nn) {
        line.write(testing::entryRequest(nn));
        const std::vector<testing::Frame> f = line.readFrames(1, 5000ms);
        if (f.size() != 1 || f[0].payload.size() != 12 + ApRecord::kSize) {
            ADD_FAILURE() << "no answer to entry " << int(nn);
            return served;
        }
        const ApRecord record = ApRecord::fromBytes(f[0].payload.data() + 12);
        if (!record.empty()) served.push_back(record);
    }
    return served;
}

// "" when the served entries are the BSSs the model gives at (x, y), strongest first, each
// within the fluctuation; else what is wrong.
std::string offTheSpot(const std::vector<ApRecord>& served, const sim::SimulatedSite& site,
                       double x, double y) {
    std::map<std::string, int> heard;
    for (size_t i = 0; i < served.size(); ++i) {
        heard[served[i].macText()] = served[i].rssi();
        if (i > 0 && served[i].rssi() > served[i - 1].rssi()) return "not strongest first; ";
    }
    return simtest::offTruth(heard, simtest::truthAt(site, x, y));
}

// --simulate: the board hears the model where standard input puts the surveyor (the middle of
// the plan before the first line), says a line that is not a position and goes on, and
// stays at the last position when the input ends.
TEST(BoardProgram, ServesTheSimulatedSiteWhereStandardInputPutsTheSurveyor) {
    testkit::TempDir dir;
    const simtest::SimulatedOffice office = simtest::makeSimulatedOffice(dir.path());
    const ModelSite model = simtest::openOffice(office);
    const std::string link = dir.file("board-port").string();
    Program board({"--simulate", office.model.string(), "--interval", "100", "--link", link});
    ASSERT_TRUE(board.started());
    ASSERT_FALSE(board.firstLine(10s).empty());
    testing::LineClient line(link);
    ASSERT_TRUE(line.isOpen());
    line.write(testing::request(1));
    const std::vector<testing::Frame> firmware = line.readFrames(1, 5000ms);
    ASSERT_EQ(firmware.size(), 1u);
    EXPECT_STREQ(reinterpret_cast<const char*>(firmware[0].payload.data()), "simulated site");

    // Each scan draws its own fluctuation: a few sweeps may be needed before one falls within
    // it everywhere at once, and the move takes a scan to reach the board.
    struct Spot {
        double x, y;
        std::string input;
    };
    const Spot spots[] = {
        {400, 300, ""}, {120.5, 300, "120.5 300\n"}, {680, 300.25, "680 300.25\n"}};
    std::vector<std::vector<ApRecord>> seen;
    for (const Spot& spot : spots) {
        SCOPED_TRACE(spot.x);
        board.writeStdin(spot.input);
        std::string wrong = "never read";
        for (int sweep = 0; sweep < 100 && !wrong.empty(); ++sweep) {
            seen.push_back(servedEntries(line));
            wrong = offTheSpot(seen.back(), *model.site, spot.x, spot.y);
        }
        EXPECT_EQ(wrong, "");
        EXPECT_EQ(seen.back().size(), simtest::kCorridorBssCount);
        // A line that is not a position changes nothing.
        board.writeStdin("west of here\n");
    }
    board.closeStdin();
    std::this_thread::sleep_for(300ms); // three scans
    EXPECT_EQ(offTheSpot(servedEntries(line), *model.site, 680, 300.25), "");

    ::kill(board.pid, SIGTERM);
    EXPECT_EQ(board.wait(5s), 0);
    const std::string err = board.readAll(board.stderrFd);
    EXPECT_NE(err.find("walkmere-board: standard input line 1: 'west of here' is not a position "
                       "'x y' in plan pixels\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 4) << "three bad lines, the summary";
}

} // namespace
} // namespace walkmere
