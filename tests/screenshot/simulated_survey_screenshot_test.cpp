// The demo office surveyed as `scripts/demo` surveys it, against its site model: a 3 m grid
// walked through the program's measuring path (testkit/SimulatedSurvey.h), then the
// real program on the surveyed site with --simulate, three points tapped in three rooms and
// a picture of the site view; last the site tool's coverage map of the whole survey and the
// map the model predicts. The picture and the maps are kept in build/artifacts.
#include "screenshot/program_session.h"
#include "testkit/SimulatedOffice.h"
#include "testkit/SimulatedSurvey.h"
#include "testkit/TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace walkmere::screenshot {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

// Plan pixels per arrow key, and the demo office's plan.
constexpr int kArrowStep = 10;
constexpr QSize kPlanSize(800, 600);
constexpr QSize kWindowSize(860, 720);
// A room on the north side, the meeting room, a room on the south side.
const QPoint kRooms[] = {{120, 120}, {670, 140}, {290, 460}};

// The strongest true RSSI at a spot, the middle of its pixel, as the measurement takes it.
double strongestTruth(const sim::SimulatedSite& site, int x, int y) {
    double best = -1000;
    for (const auto& [mac, rssi] : simtest::truthAt(site, x + 0.5, y + 0.5))
        best = std::max(best, rssi);
    return best;
}

class SimulatedSurveyScreenshot : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "xwd"})
            if (!onPath(tool)) GTEST_SKIP() << tool << " is not installed (scripts/bootstrap)";
        source = envOr("WALKMERE_SOURCE_DIR", "");
        build = envOr("WALKMERE_BUILD_DIR", "");
        ASSERT_FALSE(source.empty()) << "WALKMERE_SOURCE_DIR is not set";
        ASSERT_FALSE(build.empty()) << "WALKMERE_BUILD_DIR is not set";
        artifacts = build / "artifacts";
        fs::create_directories(artifacts);
    }

    fs::path source, build, artifacts;
    testkit::TempDir tmp;
    ProgramSession session{tmp.path()};
};

TEST_F(SimulatedSurveyScreenshot, TheDemoOfficeSurveyedShowsItsCoverage) {
    const auto began = SteadyClock::now();
    // Copies of the demo site and its model, which names the site beside it.
    const simtest::SimulatedOffice office = simtest::makeDemoOffice(tmp.path());
    const ModelSite model = simtest::openOffice(office);

    // A 3 m grid over the office, walked as a surveyor walks it.
    const std::vector<simtest::Spot> grid = simtest::surveyGrid(*model.site, 3);
    std::string why;
    ASSERT_EQ(simtest::surveyThroughProgram(office.model, grid, why), grid.size()) << why;
    const auto walked = SteadyClock::now();

    // The program on the surveyed site, keeping its points.
    std::string error;
    ASSERT_TRUE(session.startDisplay(error)) << error;
    Desktop& desktop = session.desktop();
    const bool found =
        session.startProgram(office.site, error, {"--simulate", office.model.string()});
    session.keepLogs(artifacts, "simulated-");
    ASSERT_TRUE(found) << error << " (see artifacts/simulated-walkmere.log)";
    const std::string window = session.mainWindow();
    std::optional<ViewArea> view;
    QImage picture;
    int questions = 0;
    ASSERT_TRUE(session.showSiteView(
        15s,
        [&](const QImage& img, std::string& whyNot) {
            view = findSiteView(img, whyNot);
            return view.has_value();
        },
        picture, questions, why))
        << why;
    // A window large enough for the whole office at 100 %, as a desktop user would have it.
    ASSERT_TRUE(desktop.resize(window, kWindowSize.width(), kWindowSize.height()));
    ASSERT_TRUE(waitFor(10s, [&] {
        picture = session.capture(error);
        std::string whyNot;
        view = picture.isNull() ? std::nullopt : findSiteView(picture, whyNot);
        return view && view->right - view->left > kPlanSize.width();
    })) << "the view did not follow the window";
    ASSERT_TRUE(session.setDecertifyTime("10", why)) << why;

    // Three rooms: the arrow keys bring each under the survey cursor, from the plan's top left
    // corner where they stop first, a tap on the cursor measures there, and the site view
    // comes back when the point is stored.
    ASSERT_TRUE(desktop.key(window, "Left", kPlanSize.width() / kArrowStep + 1));
    ASSERT_TRUE(desktop.key(window, "Up", kPlanSize.height() / kArrowStep + 1));
    QPoint cursor(0, 0);
    const auto moveCursorTo = [&](QPoint spot) {
        const QPoint move = (spot - cursor) / kArrowStep;
        cursor = spot;
        return (!move.x() ||
                desktop.key(window, move.x() > 0 ? "Right" : "Left", std::abs(move.x()))) &&
               (!move.y() || desktop.key(window, move.y() > 0 ? "Down" : "Up", std::abs(move.y())));
    };
    const auto siteViewShown = [&] {
        picture = session.capture(error);
        std::string ignored;
        return !picture.isNull() && findSiteView(picture, ignored).has_value();
    };
    for (const QPoint& room : kRooms) {
        ASSERT_TRUE(moveCursorTo(room));
        ASSERT_TRUE(desktop.click(window, view->centre().x(), view->centre().y()));
        ASSERT_TRUE(waitFor(10s, [&] { return !siteViewShown(); })) << "no measurement began";
        ASSERT_TRUE(waitFor(30s, siteViewShown)) << "the measurement did not end";
    }
    // The whole office in the picture: the plan's middle under the cursor, once drawn.
    ASSERT_TRUE(moveCursorTo(QPoint(kPlanSize.width() / 2, kPlanSize.height() / 2)));
    QImage before;
    EXPECT_TRUE(waitFor(5s, [&] {
        before = picture;
        return siteViewShown() && picture == before;
    }));
    const fs::path shot = artifacts / "simulated-survey.png";
    picture.save(QString::fromStdString(shot.string()));
    const int status = session.program().stop(5s);
    session.keepLogs(artifacts, "simulated-");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;

    // The site holds the grid and the three rooms, each point's strongest reading what the
    // model gives there.
    std::string json;
    Command points;
    points.argv = {WALKMERE_SITE_PROGRAM, "points", office.site.string(), "--json"};
    ASSERT_EQ(runCommand(points, 10s, &json), 0) << json;
    const QJsonArray list =
        QJsonDocument::fromJson(QByteArray::fromStdString(json)).object().value("points").toArray();
    ASSERT_EQ(size_t(list.size()), grid.size() + std::size(kRooms));
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QJsonObject point = list.at(i).toObject();
        const QPoint at(point.value("x").toInt(), point.value("y").toInt());
        SCOPED_TRACE(std::to_string(at.x()) + "," + std::to_string(at.y()));
        const QPoint meant = size_t(i) < grid.size() ? QPoint(grid[size_t(i)].x, grid[size_t(i)].y)
                                                     : kRooms[i - grid.size()];
        EXPECT_LE((at - meant).manhattanLength(), 4) << "a tap on the cursor lands by it";
        EXPECT_NEAR(point.value("bestRssi").toInt(), strongestTruth(*model.site, at.x(), at.y()),
                    simtest::kFluctuationDb + 0.5);
    }

    // The coverage map of the whole survey: the strongest access point's signal over the plan.
    const fs::path map = artifacts / "simulated-heatmap.png";
    Command heatmap;
    heatmap.argv = {WALKMERE_SITE_PROGRAM, "heatmap", office.site.string(), "-o",
                    map.string(),          "--force"};
    std::string said;
    EXPECT_EQ(runCommand(heatmap, 30s, &said), 0) << said;
    const QImage drawn(QString::fromStdString(map.string()));
    EXPECT_EQ(drawn.size(), kPlanSize) << "the map covers the plan";
    // Beside it, the coverage the model predicts, with its access points marked.
    const fs::path predicted = artifacts / "simulated-predicted.png";
    Command predict;
    predict.argv = {WALKMERE_SITE_PROGRAM, "predict", office.model.string(), "-o",
                    predicted.string(),    "--force"};
    EXPECT_EQ(runCommand(predict, 30s, &said), 0) << said;
    EXPECT_EQ(QImage(QString::fromStdString(predicted.string())).size(), kPlanSize);

    const auto seconds = [](auto from, auto to) {
        return std::chrono::duration<double>(to - from).count();
    };
    RecordProperty("grid_seconds", std::to_string(seconds(began, walked)));
    std::printf("grid of %zu points %.1f s, whole test %.1f s, picture %s, map %s\n", grid.size(),
                seconds(began, walked), seconds(began, SteadyClock::now()), shot.c_str(),
                map.c_str());
}

} // namespace
} // namespace walkmere::screenshot
