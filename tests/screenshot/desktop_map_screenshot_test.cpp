// The desktop map as a new user meets it on a 1920 x 1080 screen with --scale auto: the demo
// office's plan (with a 5 m blue square painted on it) fits the window after Ctrl+0 in true
// proportions, Ctrl+wheel zooms about the pointer, a tap measures a point and C shows the
// coverage map around it. Then a walk of the demo office's scripted 59 m path on its
// simulated site, tapped at every turn at its time. Pictures of each step go to
// build/artifacts/desktop-map-*.png.
#include "screenshot/program_session.h"
#include "testkit/TempDir.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <thread>

namespace walkmere::screenshot {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr QRgb kSquareBlue = qRgb(0, 0, 255);
// The demo plan is 800 x 600 pixels at 20 pixels a metre; the square is 5 m a side.
constexpr int kPlanWidth = 800, kPlanHeight = 600, kPixelsPerMetre = 20;
const QRect kSquareOnPlan(640, 40, 5 * kPixelsPerMetre, 5 * kPixelsPerMetre);
// A small red square far from the blue one: the two give the plan's scale on screen to a
// fraction of a pixel over the plan.
constexpr QRgb kMarkRed = qRgb(255, 0, 0);
const QRect kMarkOnPlan(60, 520, 20, 20);

QRect boxOf(const QImage& img, QRgb colour) {
    return findColour(img, colour, img.rect()).box;
}

QPointF middleOf(const QRect& r) {
    return QPointF(r.left() + r.width() / 2.0, r.top() + r.height() / 2.0);
}

// The site view's status line, found without knowing the scale.
bool showsStatusLine(const QImage& img) {
    int green = 0;
    for (int x = 0; x < img.width(); ++x)
        green += img.pixel(x, img.height() - 30) == kStatusGreen;
    for (int y = img.height() - 80; y < img.height(); ++y)
        green += img.pixel(img.width() / 2, y) == kStatusGreen;
    return green > 0;
}

class DesktopMapScreen : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "xwd"})
            if (!onPath(tool)) GTEST_SKIP() << tool << " is not installed (scripts/bootstrap)";
        const fs::path build = envOr("WALKMERE_BUILD_DIR", "");
        source = envOr("WALKMERE_SOURCE_DIR", "");
        ASSERT_FALSE(build.empty() || source.empty()) << "WALKMERE_BUILD_DIR or _SOURCE_DIR unset";
        artifacts = build / "artifacts";
        fs::create_directories(artifacts);
        std::string error;
        ASSERT_TRUE(session.startDisplay(error, "1920x1080")) << error;
        makeSite();
    }
    void TearDown() override { session.keepLogs(artifacts, "desktop-map-"); }

    QImage capture(const std::string& name) {
        std::string error;
        QImage img = session.capture(error);
        EXPECT_FALSE(img.isNull()) << error;
        img.save(QString::fromStdString((artifacts / ("desktop-map-" + name + ".png")).string()));
        return img;
    }
    // The blue square once the window shows it (and the site view's status line).
    QRect squareShown(const std::string& name, QImage& img) {
        QRect square;
        waitFor(10s, [&] {
            img = capture(name);
            square = img.isNull() || !showsStatusLine(img) ? QRect() : boxOf(img, kSquareBlue);
            return !square.isNull();
        });
        return square;
    }

    // The demo office's plan with the two squares on it, made into site.kvs at its scale.
    void makeSite() {
        QImage plan(QString::fromStdString((source / "res/demo/office.bmp").string()));
        ASSERT_EQ(plan.size(), QSize(kPlanWidth, kPlanHeight));
        plan = plan.convertToFormat(QImage::Format_RGB888);
        for (const auto& [box, colour] :
             {std::pair{kSquareOnPlan, kSquareBlue}, {kMarkOnPlan, kMarkRed}})
            for (int y = box.top(); y <= box.bottom(); ++y)
                for (int x = box.left(); x <= box.right(); ++x)
                    plan.setPixel(x, y, colour);
        ASSERT_TRUE(plan.save(QString::fromStdString(tmp.file("plan.bmp").string())));
        Command create;
        create.argv = {WALKMERE_SITE_PROGRAM,           "create",
                       tmp.file("plan.bmp").string(),   "-o",
                       tmp.file("site.kvs").string(),   "--scale-x",
                       std::to_string(kPixelsPerMetre), "--scale-y",
                       std::to_string(kPixelsPerMetre)};
        ASSERT_EQ(runCommand(create, 10s), 0);
    }

    // walkmere --scale auto on site.kvs with `args` for its board, up to its site view.
    void startProgram(std::vector<std::string> args) {
        args.insert(args.end(), {"--scale", "auto"});
        std::string error;
        ASSERT_TRUE(session.startProgram(tmp.file("site.kvs"), error, args)) << error;
        QImage last;
        int questions = 0;
        ASSERT_TRUE(session.showSiteView(
            20s, [](const QImage& img, std::string&) { return showsStatusLine(img); }, last,
            questions, error))
            << error;
        window = session.mainWindow();
    }
    Desktop& desktop() { return session.desktop(); }

    fs::path source, artifacts;
    testkit::TempDir tmp;
    ProgramSession session{tmp.path()};
    std::string window;
};

TEST_F(DesktopMapScreen, WholePlanWheelZoomTapAndCoverageAtScaleAuto) {
    if (HasFatalFailure()) return;
    std::string error;
    ASSERT_TRUE(session.startBoard("ap 00:a0:f8:12:34:56 ssid=corp channel=36 rssi=-50 jitter=0\n"
                                   "ap 00:a0:f8:12:34:57 ssid=corp channel=1 rssi=-64 jitter=0\n",
                                   error))
        << error;
    startProgram({"--port", session.boardPort().string()});
    if (HasFatalFailure()) return;

    // Ctrl+0: the whole plan, every corner of it inside the window, the square square.
    desktop().key(window, "ctrl+0");
    QImage img;
    QRect square = squareShown("whole-plan", img);
    ASSERT_FALSE(square.isNull()) << "no blue square on the plan";
    EXPECT_LE(std::abs(square.width() - square.height()), 1) << "a 5 m square is square";
    const double scale = square.width() / double(kSquareOnPlan.width());
    const double planLeft = square.left() - kSquareOnPlan.left() * scale;
    const double planTop = square.top() - kSquareOnPlan.top() * scale;
    EXPECT_GE(planLeft, -1);
    EXPECT_GE(planTop, -1);
    EXPECT_LE(planLeft + kPlanWidth * scale, img.width() + 1) << "the whole plan across";
    EXPECT_LE(planTop + kPlanHeight * scale, img.height() + 1) << "the whole plan down";
    EXPECT_GT(kPlanWidth * scale, img.width() / 2) << "fitted, not left small";

    // Two notches of Ctrl+wheel on the square: it grows by 1.25 squared about the pointer.
    const QPoint pointer = square.center();
    ASSERT_TRUE(desktop().wheel(window, pointer.x(), pointer.y(), 2, "ctrl"));
    QRect zoomed;
    ASSERT_TRUE(waitFor(10s, [&] {
        zoomed = squareShown("wheel-zoom", img);
        return zoomed.width() > square.width() * 1.4;
    })) << "the wheel did not zoom";
    EXPECT_NEAR(zoomed.width(), square.width() * 1.5625, 3);
    EXPECT_LE(std::abs(zoomed.width() - zoomed.height()), 1);
    EXPECT_NEAR(zoomed.center().x(), pointer.x(), 3) << "zoomed about the pointer";
    EXPECT_NEAR(zoomed.center().y(), pointer.y(), 3);

    // A tap beside the square measures a point there; the map returns with it.
    const QPoint spot(zoomed.left() - zoomed.width() / 2, zoomed.center().y());
    ASSERT_TRUE(desktop().click(window, spot.x(), spot.y()));
    ASSERT_TRUE(waitFor(10s, [&] { return !showsStatusLine(capture("measuring")); }))
        << "the tap started no measurement";
    ASSERT_TRUE(waitFor(60s, [&] { return showsStatusLine(capture("measured")); }))
        << "the measurement did not end";
    square = squareShown("measured", img);
    const QImage before = img;

    // C: the plan around the point takes the coverage map's colours; C again takes them away.
    desktop().key(window, "c");
    int changed = 0;
    ASSERT_TRUE(waitFor(10s,
                        [&] {
                            const QImage now = capture("coverage");
                            if (now.size() != before.size()) return false;
                            changed = 0;
                            for (int y = -60; y <= 60; y += 3)
                                for (int x = -60; x <= 60; x += 3) {
                                    const QPoint at =
                                        square.center() + QPoint(x - square.width(), y);
                                    if (now.rect().contains(at))
                                        changed += now.pixel(at) != before.pixel(at);
                                }
                            return changed > 100;
                        }))
        << "no coverage colours around the point (" << changed << " pixels changed)";
    desktop().key(window, "c");
    ASSERT_TRUE(waitFor(10s, [&] {
        const QImage now = capture("coverage-off");
        return now.size() == before.size() &&
               now.pixel(square.center() + QPoint(-square.width() + 30, 30)) ==
                   before.pixel(square.center() + QPoint(-square.width() + 30, 30));
    }));
}

// The demo office's scripted walk ({"t": seconds, "x", "y": plan pixels} at each turn).
struct Turn {
    double t, x, y;
};
std::vector<Turn> demoWalk(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    std::vector<Turn> turns;
    const std::string s = text.str();
    for (size_t at = s.find("\"t\""); at != std::string::npos; at = s.find("\"t\"", at + 1)) {
        Turn turn{};
        if (std::sscanf(s.c_str() + at, "\"t\": %lf, \"x\": %lf, \"y\": %lf", &turn.t, &turn.x,
                        &turn.y) == 3)
            turns.push_back(turn);
    }
    return turns;
}

double distanceToPath(const std::vector<Turn>& path, double x, double y) {
    double best = 1e18;
    for (size_t i = 1; i < path.size(); ++i) {
        const double ax = path[i - 1].x, ay = path[i - 1].y, dx = path[i].x - ax,
                     dy = path[i].y - ay;
        const double len2 = dx * dx + dy * dy;
        const double u =
            len2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / len2, 0.0, 1.0) : 0;
        best = std::min(best, std::hypot(x - ax - u * dx, y - ay - u * dy));
    }
    return best;
}

// The walk of the demo office's scripted 59 m path on its simulated site: W, a tap at each
// turn when the walker reaches it, W again; every sample written lies on the path.
TEST_F(DesktopMapScreen, AWalkOfTheScriptedPathWritesItsSamplesOnThePath) {
    if (HasFatalFailure()) return;
    const std::vector<Turn> turns = demoWalk(source / "res/demo/office-walk.json");
    ASSERT_GE(turns.size(), 3u);
    fs::copy_file(source / "res/demo/office-walk.json", tmp.file("walk.json"));
    {
        std::ifstream in(source / "res/demo/office.json");
        std::stringstream model;
        model << in.rdbuf();
        std::string text = model.str();
        const size_t site = text.find("\"office.kvs\"");
        ASSERT_NE(site, std::string::npos);
        text.replace(site, 12, "\"site.kvs\"");
        std::ofstream(tmp.file("model.json")) << text;
    }
    startProgram({"--simulate", tmp.file("model.json").string(), "--walker",
                  tmp.file("walk.json").string(), "--interval", "500"});
    if (HasFatalFailure()) return;
    desktop().key(window, "ctrl+0");
    QImage img;
    const QRect square = squareShown("walk-whole-plan", img);
    ASSERT_FALSE(square.isNull());
    const QRect mark = boxOf(img, kMarkRed);
    ASSERT_FALSE(mark.isNull());
    const QPointF blueAt = middleOf(square), redAt = middleOf(mark);
    const QPointF bluePlan = middleOf(kSquareOnPlan), redPlan = middleOf(kMarkOnPlan);
    const double scale = (blueAt.x() - redAt.x()) / (bluePlan.x() - redPlan.x());
    const auto onScreen = [&](const Turn& t) {
        return QPoint(int(std::lround(blueAt.x() + (t.x - bluePlan.x()) * scale)),
                      int(std::lround(blueAt.y() + (t.y - bluePlan.y()) * scale)));
    };

    desktop().key(window, "w");
    const auto begun = std::chrono::steady_clock::now();
    for (const Turn& turn : turns) {
        std::this_thread::sleep_until(begun + std::chrono::milliseconds(int64_t(turn.t * 1000)));
        const QPoint at = onScreen(turn);
        ASSERT_TRUE(desktop().click(window, at.x(), at.y()));
    }
    capture("walk");
    desktop().key(window, "w");
    std::this_thread::sleep_for(500ms);

    std::string csv;
    Command points;
    points.argv = {WALKMERE_SITE_PROGRAM, "points", tmp.file("site.kvs").string(), "--csv"};
    ASSERT_EQ(runCommand(points, 10s, &csv), 0);
    std::istringstream lines(csv);
    std::string line;
    std::set<std::string> samples;
    double worst = 0;
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        std::stringstream fields(line);
        for (std::string cell; std::getline(fields, cell, ',');)
            cells.push_back(cell);
        if (cells.size() < 7 || cells[2] != "WALK") continue;
        if (!samples.insert(cells[6]).second) continue; // a sample's further readings
        worst = std::max(worst, distanceToPath(turns, std::stod(cells[0]), std::stod(cells[1])));
    }
    std::cout << samples.size() << " walked samples written, the farthest " << worst
              << " plan pixels from the path\n";
    EXPECT_GE(samples.size(), 40u);
    // The taps land within a screen pixel of the turns, a plan pixel being a third of one.
    EXPECT_LE(worst, 2 / scale + 2) << "a sample off the path";
}

} // namespace
} // namespace walkmere::screenshot
