// The maps of every metric and the report on the bundled demo site after a short scripted
// survey. The pictures and the page are kept in the build folder's artifacts/ for people to
// look at.
#include "demo_survey.h"
#include "testkit/SiteToolTesting.h"

#include "image/PngReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace walkmere {
namespace {

using namespace sitetooltest;
using demosurvey::artifactsFolder;
namespace fs = std::filesystem;

TEST(DemoSiteReport, SurveyedOfficeGivesAMapAndAPage) {
    testkit::TempDir dir;
    const std::string site = demosurvey::makeSurveyedDemoSite(dir);

    const fs::path out = artifactsFolder();
    const std::string page = (out / "demo-report.html").string();
    ToolRun report = runTool({"report", site, "-o", page, "--force"});
    ASSERT_EQ(report.code, 0) << report.err;
    // The four maps differ from each other: each metric shows something of its own.
    std::vector<RgbImage> maps;
    for (const char* metric : {"best", "second", "count", "overlap"}) {
        const std::string map = (out / ("demo-heatmap-" + std::string(metric) + ".png")).string();
        ToolRun heat = runTool({"heatmap", site, "-o", map, "--metric", metric, "--force"});
        ASSERT_EQ(heat.code, 0) << heat.err;
        const auto png = testkit::readFileBytes(map);
        RgbImage& img = maps.emplace_back();
        ASSERT_EQ(decodePng(png.data(), png.size(), img), "");
        EXPECT_EQ(img.width, 800);
        EXPECT_EQ(img.height, 600);
        for (size_t i = 0; i + 1 < maps.size(); ++i)
            EXPECT_NE(maps[i].pixels, img.pixels) << metric;
    }

    std::ifstream in(page);
    std::stringstream text;
    text << in.rdbuf();
    const std::string html = text.str();
    EXPECT_NE(html.find("00-0A-F8-12-34-11"), std::string::npos);
    EXPECT_NE(html.find("00-0A-F8-12-34-13"), std::string::npos);
    EXPECT_NE(html.find("guest"), std::string::npos);
    EXPECT_EQ(html.find("http://"), std::string::npos) << "the page needs no network";
    EXPECT_EQ(html.find("https://"), std::string::npos) << "the page needs no network";
}

} // namespace
} // namespace walkmere
