// The maps' radius and surveyed area in the plan's real unit: two points 50 m apart on a
// 100 x 50 m plan, where the old default radius (twice the point spacing) covered the whole
// plan. The surveyed area is the part within the radius of a point, in square units.
#include "testkit/SiteToolTesting.h"

#include "survey/SiteFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace walkmere {
namespace {

using namespace sitetooltest;

struct UnitsCase {
    const char* name;
    std::string scaleX, scaleY; // "nan": a stored scale that is none
    std::vector<std::string> options;
    std::string radius;  // as the output line gives it
    double radiusPixels; // unrounded
    double perUnitArea;  // pixels a square unit holds (1 without a scale)
    std::string areaUnit;
};

const UnitsCase kCases[] = {
    {"default 5 m", "20", "20", {}, "radius 5.0 m (100 pixels)", 100, 400, " m\u00b2"},
    {"given in metres",
     "20",
     "20",
     {"--radius", "2"},
     "radius 2.0 m (40 pixels)",
     40,
     400,
     " m\u00b2"},
    {"default in feet",
     "20",
     "20",
     {"--units", "ft"},
     "radius 16.4 ft (328 pixels)",
     20 * 5 / 0.3048,
     400,
     " ft\u00b2"},
    // A circle of the mean scale's pixels: an ellipse of 3.75 by 7.5 m.
    {"x and y differ", "20", "10", {}, "radius 5.0 m (75 pixels)", 75, 200, " m\u00b2"},
    {"no usable scale",
     "nan",
     "nan",
     {"--radius", "100"},
     "radius 100 pixels (the plan has no usable scale)",
     100,
     1,
     " pixels"},
};

TEST(MapUnits, RadiusAndSurveyedAreaAreInThePlansUnit) {
    for (const UnitsCase& c : kCases) {
        SCOPED_TRACE(c.name);
        testkit::TempDir dir;
        const auto plan = dir.file("plan.bmp");
        testkit::writeFileBytes(plan, makeBmp(2000, 1000));
        const std::string site = dir.file("site.kvs").string();
        const bool scaled = c.scaleX != "nan";
        ASSERT_EQ(runTool({"create", plan.string(), "-o", site, "--scale-x",
                           scaled ? c.scaleX : "1", "--scale-y", scaled ? c.scaleY : "1"})
                      .code,
                  0);
        Bytes bytes = testkit::readFileBytes(site);
        if (!scaled) {
            SiteHeader header;
            std::copy_n(bytes.begin(), header.bytes.size(), header.bytes.begin());
            header.setPixelsPerUnitX(NAN);
            header.setPixelsPerUnitY(NAN);
            std::copy(header.bytes.begin(), header.bytes.end(), bytes.begin());
            testkit::writeFileBytes(site, bytes);
        }
        appendSurveyPoint(site, 500, 500, -55);
        appendSurveyPoint(site, 1500, 500, -60);

        std::vector<std::string> args{"heatmap", site, "-o", dir.file("map.png").string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ToolRun map = runTool(args);
        ASSERT_EQ(map.code, 0) << map.err;
        EXPECT_NE(map.out.find(", " + c.radius + ", "), std::string::npos) << map.out;

        // Two whole discs of the radius, to a few per cent at the pixels' edges.
        const double area = 2 * std::numbers::pi * c.radiusPixels * c.radiusPixels / c.perUnitArea;
        const size_t at = map.out.find("surveyed area ");
        ASSERT_NE(at, std::string::npos) << map.out;
        const std::string areaText = map.out.substr(at + 14, map.out.find(" (", at) - at - 14);
        EXPECT_NEAR(std::stod(areaText), area, area * 0.03) << areaText;
        EXPECT_NE(areaText.find(c.areaUnit), std::string::npos);

        // The report's coverage table gives the same area.
        args[0] = "report";
        args[3] = dir.file("report.html").string();
        ASSERT_EQ(runTool(args).code, 0);
        const Bytes page = testkit::readFileBytes(args[3]);
        EXPECT_NE(std::string(page.begin(), page.end()).find("<td class=n>" + areaText + "</td>"),
                  std::string::npos);
    }
}

} // namespace
} // namespace walkmere
