// The real program as a surveyor meets it: its window after the start-up pauses, and
// attacked the way a day in the field can attack it: a signal while a message box, a dialog
// or a file dialog waits; Escape at the question whether to keep the points; a board that
// floods the line with radio-status packets.
#include "screenshot/child_process.h"
#include "screenshot/desktop.h"
#include "survey/PointRecords.h"
#include "testkit/PtyPair.h"
#include "testkit/TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/wait.h>
#include <thread>

namespace walkmere::screenshot {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Button i of the command bar sits at (16 + 25 i, 15) in the main window.
constexpr QPoint kOpenButton(16, 15);
constexpr QPoint kOptionsButton(16 + 6 * 25, 15);
const std::string kMainWindow = "^Plotra$";
const std::string kKeepQuestion = "^Kivo$";

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

bool exitedCleanly(const std::optional<int>& status) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

long residentKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

class WholeProgram : public ::testing::Test {
protected:
    void SetUp() override {
        source = envOr("WALKMERE_SOURCE_DIR", "");
        ASSERT_FALSE(source.empty()) << "WALKMERE_SOURCE_DIR is not set";
        fs::create_directories(tmp.file("home"));
        fs::create_directories(tmp.file("runtime"));
        fs::permissions(tmp.file("runtime"), fs::perms::owner_all);
    }

    // The program on `port`, offscreen or on the private X server.
    bool start(std::vector<std::string> args, bool onX) {
        Command c;
        c.argv = {WALKMERE_PROGRAM};
        c.argv.insert(c.argv.end(), args.begin(), args.end());
        c.env = {{"WALKMERE_HOME", tmp.file("home").string()},
                 {"XDG_RUNTIME_DIR", tmp.file("runtime").string()}};
        if (onX) {
            c.env["QT_QPA_PLATFORM"] = "xcb";
            c.env["DISPLAY"] = display.name();
        } else {
            c.env["QT_QPA_PLATFORM"] = "offscreen";
        }
        c.outputFile = tmp.file("walkmere.log");
        std::string error;
        const bool started = program.start(c, error);
        EXPECT_TRUE(started) << error;
        return started;
    }

    bool startDisplay() {
        for (const char* tool : {"Xvfb", "xdotool"})
            if (!onPath(tool)) {
                skipped = std::string(tool) + " is not installed (scripts/bootstrap)";
                return false;
            }
        std::string error;
        const bool up = display.start(tmp.file("xvfb.log"), error);
        EXPECT_TRUE(up) << error;
        if (up) desktop.emplace(display.name());
        return up;
    }

    // The main window, once the program shows it.
    std::optional<std::string> mainWindow() {
        std::string id;
        if (!waitFor(20s,
                     [&] {
                         const auto ids = desktop->findWindows(kMainWindow);
                         if (!ids.empty()) id = ids.front();
                         return !ids.empty() || !program.running();
                     }) ||
            id.empty())
            return std::nullopt;
        return id;
    }

    // A click on the start-up view, then the site view is there. A click too early for the
    // window is made again, but late enough not to land on the site view as a tap.
    void showSiteView(const std::string& window, const std::function<bool()>& shown) {
        const auto g = desktop->geometry(window);
        ASSERT_TRUE(g.has_value());
        auto lastClick = std::chrono::steady_clock::time_point{};
        ASSERT_TRUE(waitFor(15s, [&] {
            if (std::chrono::steady_clock::now() - lastClick > 3s) {
                desktop->click(window, g->width / 2, g->height / 2);
                lastClick = std::chrono::steady_clock::now();
            }
            return shown();
        }));
    }

    // A copy of the demo site holding `count` survey points.
    fs::path siteWithPoints(int count) {
        const fs::path site = tmp.file("office.kvs");
        fs::copy_file(source / "res/demo/office.kvs", site, fs::copy_options::overwrite_existing);
        std::ofstream out(site, std::ios::binary | std::ios::app);
        for (int i = 0; i < count; ++i) {
            PointRecord p;
            p.setX(50 + 10 * i);
            p.setY(60);
            p.setLabel("TEST");
            out.write(reinterpret_cast<const char*>(p.bytes.data()), p.bytes.size());
        }
        return site;
    }

    int pointsIn(const fs::path& site) {
        std::string json;
        Command points;
        points.argv = {WALKMERE_SITE_PROGRAM, "points", site.string(), "--json"};
        if (runCommand(points, 10s, &json) != 0) return -1;
        return QJsonDocument::fromJson(QByteArray::fromStdString(json))
            .object()
            .value("points")
            .toArray()
            .size();
    }

    fs::path source;
    testkit::TempDir tmp;
    VirtualDisplay display;
    std::optional<Desktop> desktop;
    ChildProcess program;
    std::string skipped;
};

TEST_F(WholeProgram, TheWindowAppearsAfterTheTwoStartUpPauses) {
    if (!startDisplay()) GTEST_SKIP() << skipped;
    testkit::PtyPair quietBoard;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(start({"--port", quietBoard.slavePath()}, true));
    ASSERT_TRUE(waitFor(20s, [&] { return !desktop->findWindows(kMainWindow).empty(); }));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1900ms);
}

TEST_F(WholeProgram, SignalsEndTheProgramWhileTheStartUpBoxWaits) {
    // No board: "Cannot Open Connection To Board." waits in its own loop before the main loop.
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        ASSERT_TRUE(start({"--port", tmp.file("no-board").string()}, false));
        std::this_thread::sleep_for(1500ms);
        ASSERT_TRUE(program.running()) << "the program did not wait at its box";
        EXPECT_TRUE(exitedCleanly(program.signalAndWait(signal, 5s)));
        program.stop();
    }
}

TEST_F(WholeProgram, SigtermEndsEveryKindOfNestedLoopAndTheSiteStaysWhole) {
    if (!startDisplay()) GTEST_SKIP() << skipped;
    testkit::PtyPair quietBoard; // a line that never answers: no box at start-up
    const fs::path site = siteWithPoints(3);

    struct Kind {
        const char* name;
        bool withSite;
        // Brings the nested loop up; true when it is up.
        std::function<bool(const std::string& window)> open;
    };
    auto windowCount = [&] { return desktop->findWindows(".").size(); };
    const Kind kinds[] = {
        {"Options dialog", false,
         [&](const std::string& w) {
             desktop->click(w, kOptionsButton.x(), kOptionsButton.y());
             return waitFor(5s, [&] { return !desktop->findWindows("^Options$").empty(); });
         }},
        {"file dialog", false,
         [&](const std::string& w) {
             showSiteView(w, [] { return true; });
             std::this_thread::sleep_for(500ms);
             const size_t before = windowCount();
             desktop->click(w, kOpenButton.x(), kOpenButton.y());
             return waitFor(5s, [&] { return windowCount() > before; });
         }},
        {"keep-points question", true,
         [&](const std::string& w) {
             bool up = false;
             showSiteView(w, [&] { return up = !desktop->findWindows(kKeepQuestion).empty(); });
             return up;
         }},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        std::vector<std::string> args = {"--port", quietBoard.slavePath()};
        if (kind.withSite) args.push_back(site.string());
        ASSERT_TRUE(start(args, true));
        const auto window = mainWindow();
        ASSERT_TRUE(window.has_value()) << "no main window";
        std::this_thread::sleep_for(2500ms); // past the start-up pauses
        ASSERT_TRUE(kind.open(*window)) << "the nested loop did not come up";
        EXPECT_TRUE(exitedCleanly(program.signalAndWait(SIGTERM, 5s)));
        program.stop();
        quietBoard.drain(50);
    }
    EXPECT_EQ(pointsIn(site), 3) << "the site file lost points";
}

TEST_F(WholeProgram, EscapeAtTheKeepPointsQuestionKeepsThePoints) {
    if (!startDisplay()) GTEST_SKIP() << skipped;
    testkit::PtyPair quietBoard;
    const fs::path site = siteWithPoints(4);
    ASSERT_TRUE(start({"--port", quietBoard.slavePath(), site.string()}, true));
    const auto window = mainWindow();
    ASSERT_TRUE(window.has_value());
    std::this_thread::sleep_for(2500ms);
    std::vector<std::string> question;
    showSiteView(*window,
                 [&] { return !(question = desktop->findWindows(kKeepQuestion)).empty(); });
    desktop->key(question.front(), "Escape");
    ASSERT_TRUE(waitFor(5s, [&] { return desktop->findWindows(kKeepQuestion).empty(); }))
        << "Escape did not close the question";
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(exitedCleanly(program.signalAndWait(SIGTERM, 5s)));
    EXPECT_EQ(pointsIn(site), 4);
    EXPECT_FALSE(fs::exists(tmp.file("home") / "discarded")) << "nothing was discarded";
}

TEST_F(WholeProgram, ARadioStatusFloodLeavesTheProgramAliveAndSmall) {
    // 300 radio-status packets a second for 25 s, each one saying "not responding".
    constexpr auto kFlood = 25s;
    constexpr int kPerSecond = 300;
    constexpr long kLimitKiB = 300 * 1024;
    testkit::PtyPair board;
    ASSERT_TRUE(start({"--port", board.slavePath()}, false));
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        const std::vector<uint8_t> notResponding = {0x11, 0x12, 0x03, 0x00, 0x11, 0x13};
        const auto step = std::chrono::microseconds(1000000 / kPerSecond);
        auto next = std::chrono::steady_clock::now();
        while (flooding.load()) {
            board.send(notResponding);
            board.drain(0); // what the program asks goes unanswered
            next += step;
            std::this_thread::sleep_until(next);
        }
    });
    long peak = 0;
    const auto end = std::chrono::steady_clock::now() + kFlood;
    while (std::chrono::steady_clock::now() < end && program.running()) {
        peak = std::max(peak, residentKiB(program.pid()));
        std::this_thread::sleep_for(500ms);
    }
    const bool alive = program.running();
    const auto status = program.signalAndWait(SIGTERM, 5s);
    flooding.store(false);
    flood.join();
    RecordProperty("peak_rss_kib", std::to_string(peak));
    std::printf("radio-status flood: peak RSS %ld KiB\n", peak);
    EXPECT_TRUE(alive) << "the program died under the flood";
    EXPECT_LT(peak, kLimitKiB);
    EXPECT_TRUE(exitedCleanly(status)) << "SIGTERM did not end the program within 5 s";
}

} // namespace
} // namespace walkmere::screenshot
