// The program at --scale 3 on a 1920 x 1080 screen, used with real X input: the window is
// the handheld's three times over showing the plan in true proportions, a tap on a plan
// feature lands on that feature, and a larger window shows the plan at the same size.
#include "screenshot/child_process.h"
#include "screenshot/desktop.h"
#include "testkit/TempDir.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace walkmere::screenshot {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kScale = 3;
constexpr QRgb kRulerYellow = qRgb(255, 255, 0);
constexpr QRgb kStatusGreen = qRgb(0, 192, 0);
// The plan: white, with one pure blue 40 x 40 square, away from the cursor in the middle.
constexpr QRgb kSquareBlue = qRgb(0, 0, 255);
const QRect kSquareOnPlan(150, 40, 40, 40);

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

// The site view's client area in a picture of the window: from the rulers' yellow corner to
// the far end of the green status band.
std::optional<QRect> siteViewIn(const QImage& img) {
    const int probe = 2 * kScale;
    int top = -1;
    for (int y = 0; y < img.height() && top < 0; ++y)
        if (img.pixel(probe, y) == kRulerYellow) top = y;
    if (top < 0) return std::nullopt;
    int bottom = -1;
    for (int y = top; y < img.height(); ++y)
        if (img.pixel(probe, y) == kStatusGreen) bottom = y;
    if (bottom < 0) return std::nullopt;
    int right = probe;
    while (right + 1 < img.width() && img.pixel(right + 1, bottom) == kStatusGreen)
        ++right;
    return QRect(QPoint(0, top), QPoint(right, bottom));
}

QRect blueSquareIn(const QImage& img) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) == kSquareBlue)
                box = box.isNull() ? QRect(x, y, 1, 1) : box.united(QRect(x, y, 1, 1));
    return box;
}

class ScaledWindow : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "xwd"})
            if (!onPath(tool)) GTEST_SKIP() << tool << " is not installed (scripts/bootstrap)";
        const fs::path build = envOr("WALKMERE_BUILD_DIR", "");
        ASSERT_FALSE(build.empty()) << "WALKMERE_BUILD_DIR is not set";
        artifacts = build / "artifacts";
        fs::create_directories(artifacts);
        fs::create_directories(tmp.file("home"));
        fs::create_directories(tmp.file("runtime"));
        fs::permissions(tmp.file("runtime"), fs::perms::owner_all);
    }

    QImage capture(const std::string& name) {
        std::string error;
        QImage img = desktop->capture(window, tmp.file("window.xwd"), error);
        EXPECT_FALSE(img.isNull()) << error;
        img.save(QString::fromStdString((artifacts / ("scaled-window-" + name + ".png")).string()));
        return img;
    }

    // Waits until the window shows the site view; its client area and the blue square.
    bool siteViewShown(QImage& img, QRect& view, QRect& square, const std::string& name) {
        return waitFor(10s, [&] {
            img = capture(name);
            const auto v = img.isNull() ? std::nullopt : siteViewIn(img);
            if (!v) return false;
            view = *v;
            square = blueSquareIn(img);
            return !square.isNull();
        });
    }

    fs::path artifacts;
    testkit::TempDir tmp;
    VirtualDisplay display;
    ChildProcess board;
    ChildProcess program;
    std::optional<Desktop> desktop;
    std::string window;
};

TEST_F(ScaledWindow, TheHandheldThreeTimesOverWithTapsWhereTheyLandAndNoStretchWhenResized) {
    std::string error;
    ASSERT_TRUE(display.start(tmp.file("xvfb.log"), error, "1920x1080")) << error;
    desktop.emplace(display.name());

    QImage plan(600, 500, QImage::Format_RGB888);
    plan.fill(Qt::white);
    for (int y = kSquareOnPlan.top(); y <= kSquareOnPlan.bottom(); ++y)
        for (int x = kSquareOnPlan.left(); x <= kSquareOnPlan.right(); ++x)
            plan.setPixel(x, y, kSquareBlue);
    ASSERT_TRUE(plan.save(QString::fromStdString(tmp.file("plan.bmp").string())));
    Command create;
    create.argv = {WALKMERE_SITE_PROGRAM, "create", tmp.file("plan.bmp").string(), "-o",
                   tmp.file("site.kvs").string()};
    ASSERT_EQ(runCommand(create, 10s), 0);

    {
        std::ofstream(tmp.file("scenario.txt"))
            << "ap 00:a0:f8:12:34:56 ssid=corp channel=36 rssi=-50 jitter=0\n";
    }
    const fs::path port = tmp.file("board-port");
    Command boardCommand;
    boardCommand.argv = {WALKMERE_BOARD_PROGRAM, "--scenario", tmp.file("scenario.txt").string(),
                         "--link", port.string()};
    ASSERT_TRUE(board.start(boardCommand, error)) << error;
    ASSERT_TRUE(waitFor(5s, [&] { return fs::exists(port); }));

    Command c;
    c.argv = {WALKMERE_PROGRAM, "--scale",     std::to_string(kScale),
              "--port",         port.string(), tmp.file("site.kvs").string()};
    c.env = {{"DISPLAY", display.name()},
             {"QT_QPA_PLATFORM", "xcb"},
             {"WALKMERE_HOME", tmp.file("home").string()},
             {"XDG_RUNTIME_DIR", tmp.file("runtime").string()}};
    c.outputFile = tmp.file("walkmere.log");
    ASSERT_TRUE(program.start(c, error)) << error;
    ASSERT_TRUE(waitFor(20s,
                        [&] {
                            const auto ids = desktop->findWindows("^Plotra$");
                            if (!ids.empty()) window = ids.front();
                            return !ids.empty() || !program.running();
                        }) &&
                !window.empty())
        << "no main window";
    const auto frame = desktop->geometry(window);
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->width, 240 * kScale);

    // The start-up view, tapped once; the question whether to keep the points, answered.
    ASSERT_TRUE(waitFor(15s, [&] {
        desktop->click(window, frame->width / 2, frame->height / 2);
        std::this_thread::sleep_for(500ms);
        for (const std::string& box : desktop->findWindows("^Kivo$"))
            desktop->key(box, "Return");
        std::this_thread::sleep_for(300ms);
        return desktop->findWindows("^Kivo$").empty() && siteViewIn(capture("start")).has_value();
    }));
    desktop->focus(window);
    QImage img;
    QRect view, square;
    ASSERT_TRUE(siteViewShown(img, view, square, "handheld")) << "no blue square on the plan";
    const QSize handheldSquare = square.size();
    EXPECT_NEAR(handheldSquare.height(), handheldSquare.width(), kScale) << "true proportions";

    // A tap on the square: the plan centres on it and a measurement starts; Escape gives the
    // measurement up and the site view returns with the square under the cursor.
    ASSERT_TRUE(desktop->click(window, square.center().x(), square.center().y()));
    ASSERT_TRUE(waitFor(10s, [&] {
        const QImage now = capture("measuring");
        return !now.isNull() && !siteViewIn(now);
    })) << "the tap started no measurement";
    desktop->key(window, "Escape");
    ASSERT_TRUE(siteViewShown(img, view, square, "tapped"));
    const QPoint centre((view.left() + view.right() + 1) / 2, (view.top() + view.bottom() + 1) / 2);
    EXPECT_NEAR(square.center().x(), centre.x(), 2 * kScale);
    EXPECT_NEAR(square.center().y(), centre.y(), 2 * kScale);

    // Larger: more plan, the square as it was. (1000 x 750 would be below the window's
    // minimum height at this scale, 3 x 299, so the window grows to 1000 x 1000.)
    ASSERT_TRUE(desktop->resize(window, 1000, 1000));
    ASSERT_TRUE(waitFor(10s, [&] {
        return siteViewShown(img, view, square, "1000x1000") && view.width() > 900;
    })) << "the view did not follow the window";
    EXPECT_NEAR(square.width(), handheldSquare.width(), kScale);
    EXPECT_NEAR(square.height(), handheldSquare.height(), kScale);
}

} // namespace
} // namespace walkmere::screenshot
