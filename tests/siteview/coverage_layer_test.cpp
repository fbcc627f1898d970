// The coverage map inside the desktop map is the map tool's: with the same survey and the same
// choice, the plan is coloured pixel for pixel as `walkmere-site heatmap` colours it, also
// after points are added while the map is shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include <cmath>

#include "image/PngReader.h"
#include "siteview/CoverageDlg.h"
#include "testkit/SiteFileBuilder.h"
#include "testkit/SiteToolTesting.h"
#include "testkit/SiteViewFixture.h"
#include "ui/HandheldSize.h"

namespace walkmere {
namespace {

using siteinputtest::SiteViewFixture;

constexpr int32_t kWidth = 800, kHeight = 600;

// Three access points heard with a log-distance fall-off, on two networks.
std::vector<ApRecord> heardAt(int32_t x, int32_t y) {
    std::vector<ApRecord> heard;
    const int32_t at[3][2] = {{150, 150}, {600, 200}, {400, 500}};
    for (uint8_t ap = 0; ap < 3; ++ap) {
        const double d = std::hypot(x - at[ap][0], y - at[ap][1]) / 13 + 1;
        heard.push_back(sitetooltest::heardAp(uint8_t(ap + 1), int8_t(-32 - 24 * std::log10(d)),
                                              ap == 2 ? 36 : 6, ap == 0 ? "guest" : "office"));
    }
    return heard;
}

class CoverageInView : public ::testing::Test, public SiteViewFixture {
protected:
    void SetUp() override {
        makeView();
        view->setHandheldClient(kHandheldViewArea - view->scrollBarExtent());
        view->resize(1000, 750);
        view->show();
        sitefiletest::SiteLayout layout;
        layout.plan = sitefiletest::makeBmp(kWidth, kHeight);
        site = dir.file("office.kvs").string();
        testkit::writeFileBytes(site, sitefiletest::buildSite(layout).bytes);
        prompter.scriptYesNo(true);
        ASSERT_TRUE(view->openSite(site));
    }
    void commitAt(int32_t x, int32_t y) {
        store.beginPoint(x, y, "");
        ASSERT_EQ(store.commitPoint(heardAt(x, y)).stored, 1);
        spots.push_back({x, y});
    }
    // Every fifth pixel away from the survey points' markers and the legend's corner.
    void expectTheToolsMap(const std::vector<std::string>& options) {
        const std::string png = dir.file("map.png").string();
        std::vector<std::string> args{"heatmap", site, "-o", png, "--force"};
        args.insert(args.end(), options.begin(), options.end());
        const auto run = sitetooltest::runTool(args);
        ASSERT_EQ(run.code, 0) << run.err;
        const auto bytes = testkit::readFileBytes(png);
        RgbImage tool;
        ASSERT_EQ(decodePng(bytes.data(), bytes.size(), tool), "");
        (void)view->composePicture();
        const QImage& mine = view->coverageLayer().colouredPlan();
        ASSERT_EQ(mine.size(), QSize(tool.width, tool.height));
        int differ = 0, compared = 0;
        for (int32_t y = 0; y < kHeight; y += 5)
            for (int32_t x = 0; x < kWidth; x += 5) {
                if (x < 200 && y < 300) continue;
                bool nearPoint = false;
                for (const QPoint& s : spots)
                    nearPoint = nearPoint || std::abs(s.x() - x) + std::abs(s.y() - y) < 12;
                if (nearPoint) continue;
                const uint8_t* t = tool.at(x, y);
                ++compared;
                differ += mine.pixel(x, y) != qRgb(t[0], t[1], t[2]);
            }
        EXPECT_EQ(differ, 0) << "of " << compared;
    }

    std::string site;
    std::vector<QPoint> spots;
};

TEST_F(CoverageInView, ColoursThePlanAsTheHeatmapToolDoesAndFollowsNewPoints) {
    for (int32_t y = 60; y < kHeight; y += 120)
        for (int32_t x = 60; x < kWidth; x += 140)
            commitAt(x, y);
    QKeyEvent c(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &c);
    ASSERT_TRUE(view->coverageLayer().shown());
    expectTheToolsMap({});

    commitAt(333, 277); // measured while the map is shown
    commitAt(700, 560);
    expectTheToolsMap({});

    CoverageChoice second;
    second.metric.metric = Metric::Second;
    second.metric.band = Band::Ghz24;
    view->setCoverageChoice(second, false);
    expectTheToolsMap({"--metric", "second", "--band", "2.4"});
    CoverageChoice voice;
    voice.profile = builtInProfile("voice");
    voice.filter.ssid = "office";
    view->setCoverageChoice(voice, false);
    expectTheToolsMap({"--profile", "voice", "--ssid", "office"});
    EXPECT_EQ(surveyNetworks(view->coverageLayer().survey()),
              (std::vector<std::string>{"guest", "office"}));
}

TEST_F(CoverageInView, OnlyTheDesktopMapShowsCoverage) {
    view->resize(kHandheldViewArea);
    QApplication::processEvents();
    view->toggleCoverage();
    EXPECT_FALSE(view->coverageLayer().shown());
    EXPECT_EQ(view->statusNote().toStdString(), kCoverageNeedsDesktopText);
}

} // namespace
} // namespace walkmere
