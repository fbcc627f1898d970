// How create gives a site its scale: from a PDF's size on paper, from two points of the plan
// as its file holds it, or not at all, which every command then says.
#include "survey/SiteFile.h"
#include "testkit/PdfBytes.h"
#include "testkit/SiteToolTesting.h"

#include <gtest/gtest.h>

namespace walkmere {
namespace {

using namespace sitetooltest;

struct Case {
    std::string plan;
    std::vector<std::string> extra;
    std::string said; // the site's real size as info gives it, or what the refusal says
};

// A 720 x 360 point page (10 x 5 inches: 25.4 x 12.7 m at 1:100), the same turned a quarter,
// and a 400 x 300 pixel bitmap.
class SiteCalibrate : public ::testing::Test {
protected:
    void SetUp() override {
        testkit::writeFileBytes(pdf, testkit::writePdf({{720, 360, 0, 0, 9, 9}}));
        testkit::writeFileBytes(turned, testkit::writePdf({{720, 360, 0, 0, 9, 9, "0 0 1", 90}}));
        testkit::writeFileBytes(bmp, makeBmp(400, 300));
    }
    void expectSaid(std::initializer_list<Case> cases) {
        for (const Case& c : cases) {
            std::vector<std::string> args = {"create", c.plan, "-o", site, "--force"};
            args.insert(args.end(), c.extra.begin(), c.extra.end());
            const ToolRun made = runTool(args);
            const std::string said =
                made.code ? made.err : runTool({"info", site, "--units", "m"}).out;
            EXPECT_NE(said.find(c.said), std::string::npos) << c.extra[1] << ": " << said;
        }
    }
    testkit::TempDir dir;
    std::string pdf = dir.file("plan.pdf").string(), turned = dir.file("turned.pdf").string();
    std::string bmp = dir.file("plan.bmp").string(), site = dir.file("s.kvs").string();
};

TEST_F(SiteCalibrate, ADrawingScaleGivesThePdfPagesRealSize) {
    expectSaid({
        {pdf, {"--drawing-scale", "1:100", "--dpi", "72"}, "pixels, 25.4 x 12.7 m,"},
        {pdf, {"--drawing-scale", "1:100", "--max-side", "1000"}, "pixels, 25.4 x 12.7 m,"},
        {turned, {"--drawing-scale", "1:100"}, "pixels, 12.7 x 25.4 m,"},
        {pdf, {"--drawing-scale", "1:100001"}, "'--drawing-scale' needs 1:N, the drawing's"},
        {pdf, {"--drawing-scale", "2:100"}, "needs 1:N"},
        {pdf, {"--drawing-scale", "1:100", "--calibrate", "0,0,9,0,1"}, "without --scale-x"},
        {bmp, {"--drawing-scale", "1:100"}, "a BMP has pixels but no size on paper"},
    });
}

TEST_F(SiteCalibrate, ThePointsAreInThePictureAsItsFileHoldsIt) {
    expectSaid({
        {bmp, {"--calibrate", "350,0,350,290,29", "--max-side", "200"}, "40.0 x 30.0 m,"},
        {bmp, {"--calibrate", "0,0,400,0,1", "--max-side", "200"}, "outside the 400 x 300"},
        {pdf, {"--calibrate", "0,0,360,0,12.7", "--dpi", "144"}, "pixels, 25.4 x 12.7 m,"},
        {pdf, {"--calibrate", "0,0,0,300,12.7", "--max-side", "500"}, "30.5 x 15.2 m,"},
        {pdf, {"--calibrate", "0,0,720,0,1"}, "outside the 720 x 360 point page"},
    });
}

// Without a scale create warns and every command says the plan is not calibrated; the
// handheld still reads 10 pixels a unit, as from every site made without a scale.
TEST_F(SiteCalibrate, ASiteMadeWithoutAScaleIsShownAsNotCalibrated) {
    const std::string model = dir.file("m.json").string();
    const std::string json = R"({"version": 1, "site": "s.kvs", "accessPoints": [{"name": "A",
        "x": 9, "y": 9, "radios": [{"band": "2.4", "channel": 1, "bss": [{"bssid":
        "02:00:00:00:00:01", "ssid": ""}]}]}]})";
    testkit::writeFileBytes(model, Bytes(json.begin(), json.end()));
    for (const bool scaled : {false, true}) {
        SCOPED_TRACE(scaled);
        std::vector<std::string> args = {"create", bmp, "-o", site, "--force"};
        if (scaled) args.insert(args.end(), {"--scale-x", "10", "--scale-y", "10"});
        const ToolRun created = runTool(args);
        appendSurveyPoint(site, 100, 100, -55);
        const SiteHeader h = openSiteReadOnly(site).validation.layout.header;
        EXPECT_EQ(std::pair(int(h.pixelsPerUnitX()), int(h.pixelsPerUnitY())), std::pair(10, 10));
        const std::string said[] = {
            created.err,
            runTool({"info", site, "--units", "m"}).out,
            runTool({"info", site, "--json"}).out,
            runTool({"heatmap", site, "-o", "-"}).err,
            runTool({"report", site, "-o", "-", "--units", "m"}).out,
            runTool({"predict", model, "--truth-at", "10,10"}).err,
        };
        const std::string unscaled[] = {
            "warning: the plan is not calibrated, so maps and the report will measure it in pixels",
            "(not calibrated: the site was made without a scale)\n",
            "\"calibrated\": false",
            "pixels (the plan has no usable scale)",
            "<td>unknown (not calibrated)</td>",
            "its site " + site + ": the plan is not calibrated (the site was made without"};
        for (size_t i = 0; i < std::size(said); ++i)
            EXPECT_EQ(said[i].find(unscaled[i]) == std::string::npos, scaled) << said[i];
    }
}

} // namespace
} // namespace walkmere
