// The maps of every metric and the report on the bundled demo site after a short scripted
// survey. The pictures and the page are kept in the build folder's artifacts/ for people to
// look at.
#include "demo_survey.h"
#include "testkit/SiteToolTesting.h"

#include "image/PngReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
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

// A profile by name and a file with its numbers draw the same map; the report's summary
// heads the page, with the data profile unless another is asked for.
TEST(DemoSiteProfiles, HeatmapAndReportJudgeTheSurveyByAProfile) {
    testkit::TempDir dir;
    const std::string site = demosurvey::makeSurveyedDemoSite(dir);
    std::ofstream(dir.file("voice.json")) << R"({"name": "voice", "primary": -67, "secondary": -67,
               "accessPoints": {"count": 2, "at": -67}, "coChannel": 2})";
    std::vector<std::vector<uint8_t>> maps;
    for (const std::string& profile : {std::string("voice"), dir.file("voice.json").string()}) {
        const std::string map = dir.file("map.png").string();
        const ToolRun heat = runTool({"heatmap", site, "-o", map, "--profile", profile, "--force"});
        ASSERT_EQ(heat.code, 0) << heat.err;
        EXPECT_NE(heat.out.find(": voice profile map, 800 x 600 pixels"), std::string::npos)
            << heat.out;
        EXPECT_NE(heat.out.find(" passing: primary "), std::string::npos) << heat.out;
        maps.push_back(testkit::readFileBytes(map));
    }
    EXPECT_EQ(maps[0], maps[1]);
    EXPECT_EQ(runTool({"heatmap", site, "-o", "-", "--profile", "voice", "--metric", "count"}).code,
              2);

    for (const auto& [options, shown] :
         {std::pair<std::vector<std::string>, std::string>{{}, "data"},
          {{"--profile", "location"}, "location"}}) {
        std::vector<std::string> args = {"report", site, "-o", dir.file("page.html").string(),
                                         "--force"};
        args.insert(args.end(), options.begin(), options.end());
        ASSERT_EQ(runTool(args).code, 0);
        std::ifstream in(dir.file("page.html"));
        const std::string html(std::istreambuf_iterator<char>(in), {});
        const size_t summary = html.find("<h3>Summary: the " + shown + " profile</h3>");
        EXPECT_LT(summary, html.find("<h3>Site</h3>")) << shown;
        // A verdict per requirement asked for and the whole profile's.
        EXPECT_EQ(count(html, "</td><td><b style"), shown == "data" ? 4u : 5u) << shown;
    }
}

} // namespace
} // namespace walkmere
