// Runs the built walkmere-site program itself, as a user would.
#include "testkit/SiteToolTesting.h"
#include "testkit/SparseSite.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace walkmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace sitetooltest;

struct ProcessRun {
    int code = -1;
    int signal = 0;      // the signal that ended the program
    std::string failure; // why the program did not run to an exit code
    std::string out;
    std::string err;
};

// Starts the program with stdout and stderr sent to files in `dir`; -1 (and `failure` set)
// when it cannot start.
pid_t startProgram(const testkit::TempDir& dir, const std::vector<std::string>& args,
                   std::string& failure) {
    const char* build = std::getenv("WALKMERE_BUILD_DIR");
    const std::string program =
        build ? std::string(build) + "/tools/site/walkmere-site" : WALKMERE_SITE_PROGRAM;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const std::string outPath = dir.file("stdout").string();
    const std::string errPath = dir.file("stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    // The stop signals act as they would in a shell, whatever the test runner set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0) return pid;
    failure = program + ": " + std::strerror(spawned);
    return -1;
}

// Waits for a started program. One still running after `deadline` is killed and reported
// as hanging.
ProcessRun finishProgram(const testkit::TempDir& dir, pid_t pid,
                         std::chrono::milliseconds deadline = std::chrono::seconds(60)) {
    ProcessRun run;
    int status = 0;
    pid_t waited;
    const auto giveUp = std::chrono::steady_clock::now() + deadline;
    while ((waited = ::waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (waited == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        run.failure = "still running after " + std::to_string(deadline.count()) + " ms";
    } else if (waited != pid) {
        run.failure = std::string("waitpid: ") + std::strerror(errno);
    } else if (WIFEXITED(status)) {
        run.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        run.signal = WTERMSIG(status);
        run.failure = std::string("ended by ") + strsignal(run.signal);
    }
    const Bytes out = testkit::readFileBytes(dir.file("stdout"));
    const Bytes err = testkit::readFileBytes(dir.file("stderr"));
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    return run;
}

ProcessRun runProgram(const testkit::TempDir& dir, const std::vector<std::string>& args,
                      std::chrono::milliseconds deadline = std::chrono::seconds(60)) {
    ProcessRun run;
    const pid_t pid = startProgram(dir, args, run.failure);
    return pid < 0 ? run : finishProgram(dir, pid, deadline);
}

std::vector<std::string> partFilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string().find(".part.") != std::string::npos)
            names.push_back(e.path().filename().string());
    return names;
}

TEST(SiteProgram, RunsAsACommandWithItsExitCodes) {
    testkit::TempDir dir;
    testkit::writeFileBytes(dir.file("plan.bmp"), makeBmp(21, 13));
    const std::string site = dir.file("s.kvs").string();

    ProcessRun created = runProgram(dir, {"create", dir.file("plan.bmp").string(), "-o", site});
    ASSERT_EQ(created.code, 0) << created.failure << created.err;
    const Bytes made = testkit::readFileBytes(site);

    ProcessRun info = runProgram(dir, {"info", site, "--json"});
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("\"planWidth\": 21,"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"planHeight\": 13,"), std::string::npos);
    EXPECT_EQ(testkit::readFileBytes(site), made);

    ProcessRun usage = runProgram(dir, {"info"});
    EXPECT_EQ(usage.code, 2);
    EXPECT_NE(usage.err.find("missing SITE.kvs"), std::string::npos);

    ProcessRun refused = runProgram(dir, {"info", dir.file("plan.bmp").string()});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("Not a Site File."), std::string::npos);

    ProcessRun help = runProgram(dir, {"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Usage: walkmere-site COMMAND"), std::string::npos);
}

TEST(SiteProgram, RefusesWhatIsNotARegularFileAtOnce) {
    testkit::TempDir dir;
    const std::string fifo = dir.file("fifo.kvs").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.file("folder.kvs").string();
    std::filesystem::create_directory(folder);
    const std::string out = dir.file("out").string();

    const std::vector<std::pair<std::string, std::string>> sites = {
        {fifo, "a FIFO"}, {"/dev/null", "a character device"}, {folder, "a directory"}};
    const std::vector<std::vector<std::string>> commands = {
        {"info"}, {"points"}, {"plan", "-o", out}, {"heatmap", "-o", out}, {"report", "-o", out}};
    for (const auto& [site, type] : sites) {
        for (std::vector<std::string> args : commands) {
            args.insert(args.begin() + 1, site);
            SCOPED_TRACE(args[0] + " " + site);
            // A blocking open of the FIFO would wait for a writer for ever.
            const ProcessRun run = runProgram(dir, args, 10s);
            EXPECT_EQ(run.failure, "");
            EXPECT_EQ(run.code, 1);
            EXPECT_EQ(run.err, "walkmere-site: " + site + ": not a regular file (" + type + ")\n");
            EXPECT_FALSE(std::filesystem::exists(out));
        }
    }
}

// Two points at +-2^31 among many on the plan: they stretched the grid of points over
// billions of pixels, and the map took time with the square of the point count.
TEST(SiteProgram, PointsFarOffThePlanCostNoTime) {
    testkit::TempDir dir;
    const std::string site = createSite(dir, 200, 200);
    Bytes bytes = testkit::readFileBytes(site);
    const auto add = [&bytes](int32_t x, int32_t y, int rssi) {
        const Bytes point = surveyPointBytes(x, y, rssi);
        bytes.insert(bytes.end(), point.begin(), point.end());
    };
    for (int32_t i = 0; i < 100000; ++i)
        add(i % 200, (i / 200) % 200, -40 - i % 40);
    add(INT32_MIN, INT32_MIN, -50);
    add(INT32_MAX, INT32_MAX, -50);
    testkit::writeFileBytes(site, bytes);

    // Under 1 s in a plain build; AddressSanitizer's debug build is ten times slower.
#if defined(__SANITIZE_ADDRESS__)
    const auto limit = 60s;
#else
    const auto limit = 10s;
#endif
    const ProcessRun run =
        runProgram(dir, {"heatmap", site, "-o", dir.file("map.png").string()}, limit);
    EXPECT_EQ(run.failure, "");
    EXPECT_EQ(run.code, 0) << run.err;
}

// SIGTERM or SIGINT while the plan is being written: the ".part" file goes, nothing
// appears under the output name, and the signal still ends the program.
TEST(SiteProgram, AStopSignalDuringAWriteRemovesThePartFile) {
    testkit::TempDir dir;
    const std::string site = dir.file("big.kvs").string();
    // A 10,000 x 10,000 plan at 8 bits: 100 MB to write, which takes a while.
    testkit::writeSparseSite(site, testkit::bmpHeaders(10000, 10000, 8), 100'000'000 / 8);
    const std::string out = dir.file("plan.bmp").string();
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        std::string failure;
        const pid_t pid = startProgram(dir, {"plan", site, "-o", out}, failure);
        ASSERT_GT(pid, 0) << failure;
        // Once the first megabyte is in the part file.
        const auto giveUp = std::chrono::steady_clock::now() + 20s;
        for (std::error_code gone; std::chrono::steady_clock::now() < giveUp;
             std::this_thread::sleep_for(200us)) {
            const std::vector<std::string> parts = partFilesIn(dir.path());
            if (!parts.empty() && fs::file_size(dir.file(parts[0]), gone) > (1 << 20)) break;
        }
        ::kill(pid, signal);
        const ProcessRun run = finishProgram(dir, pid);
        EXPECT_EQ(run.signal, signal) << run.failure << run.err;
        EXPECT_EQ(partFilesIn(dir.path()), std::vector<std::string>{});
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

} // namespace
} // namespace walkmere
