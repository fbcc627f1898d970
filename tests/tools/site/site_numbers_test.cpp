// Numbers given to the tool stay within ranges whose every value it can use, and a scale
// read from a file that is not one is shown as not calibrated.
#include "survey/SiteHeader.h"
#include "testkit/SiteToolTesting.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

namespace walkmere {
namespace {

using namespace sitetooltest;

TEST(SiteNumbers, AValueOutOfRangeIsAUsageErrorThatNamesTheRange) {
    testkit::TempDir dir;
    const std::string site = createSite(dir, 400, 300);
    appendSurveyPoint(site, 20, 15, -55);
    const std::string plan = dir.file("site.kvs.plan.bmp").string();
    const std::string radius = "option '--radius' needs a number from 1 to 100000000, not '";
    const std::string scale = "' needs a number from 0.001 to 1000000, not '";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"report", site, "--radius", "1e19"}, radius + "1e19'"},
        {{"heatmap", site, "--radius", "1e300"}, radius + "1e300'"},
        {{"report", site, "--threshold", "-1e300"}, "'--threshold' needs a number from -200 to 0"},
        {{"create", plan, "--scale-x", "1e-300"}, "option '--scale-x" + scale + "1e-300'"},
        {{"create", plan, "--scale-y", "inf"}, "option '--scale-y" + scale + "inf'"},
        {{"create", plan, "--dpi", "1e300"}, "option '--dpi' needs a number from 1 to 100000"},
        {{"create", plan, "--calibrate", "0,0,100,0,1e308"},
         "option '--calibrate' gives a scale of 1e-306 pixels per unit, not from 0.001 to "
         "1000000"},
    };
    for (const auto& [args, message] : cases) {
        std::vector<std::string> withOutput = args;
        withOutput.insert(withOutput.end(), {"-o", dir.file("out").string()});
        const ToolRun r = runTool(withOutput);
        EXPECT_EQ(r.code, 2) << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
    }
}

TEST(SiteNumbers, AStoredScaleThatIsNoScaleIsShownAsNotCalibrated) {
    testkit::TempDir dir;
    const std::string site = createSite(dir, 400, 300);
    appendSurveyPoint(site, 20, 15, -55);
    int run = 0;
    for (const double scale : {HUGE_VAL, double(NAN), -10.0, 1e308, 1e-310}) {
        SCOPED_TRACE(scale);
        Bytes bytes = testkit::readFileBytes(site);
        SiteHeader header;
        std::copy_n(bytes.begin(), header.bytes.size(), header.bytes.begin());
        header.setPixelsPerUnitX(scale);
        header.setPixelsPerUnitY(scale);
        std::copy(header.bytes.begin(), header.bytes.end(), bytes.begin());
        testkit::writeFileBytes(site, bytes);

        const std::string info = runTool({"info", site, "--units", "m"}).out;
        EXPECT_NE(info.find("pixels per unit (not calibrated: a scale is from 0.001 to 1000000)\n"
                            "floor-plan block"),
                  std::string::npos)
            << info;
        EXPECT_NE(info.find("300 pixels, unknown (not calibrated), 24 bits"), std::string::npos);
        const std::string page = dir.file(std::to_string(++run) + ".html").string();
        ASSERT_EQ(runTool({"report", site, "-o", page, "--units", "m"}).code, 0);
        const Bytes html = testkit::readFileBytes(page);
        EXPECT_NE(std::string(html.begin(), html.end()).find("<td>unknown (not calibrated)</td>"),
                  std::string::npos);
    }
}

} // namespace
} // namespace walkmere
