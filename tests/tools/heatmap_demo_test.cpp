// The heatmap and the report on the bundled demo site after a short scripted survey. The
// picture and the page are kept in the build folder's artifacts/ for people to look at.
#include "demo_survey.h"
#include "site_testing.h"

#include "tools/site/PngImage.h"

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
    const std::string map = (out / "demo-heatmap.png").string();
    const std::string page = (out / "demo-report.html").string();
    ToolRun heat = runTool({"heatmap", site, "-o", map});
    ASSERT_EQ(heat.code, 0) << heat.err;
    ToolRun report = runTool({"report", site, "-o", page});
    ASSERT_EQ(report.code, 0) << report.err;

    const auto png = testkit::readFileBytes(map);
    sitetool::RgbImage img;
    ASSERT_EQ(sitetool::decodePng(std::vector<uint8_t>(png.begin(), png.end()), img), "");
    EXPECT_EQ(img.width, 800);
    EXPECT_EQ(img.height, 600);

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
