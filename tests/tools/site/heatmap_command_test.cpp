#include "testkit/SiteToolTesting.h"

#include "coverage/HeatmapData.h"
#include "coverage/RssiColour.h"
#include "image/BmpReader.h"
#include "image/PngReader.h"
#include "scan/ApRecord.h"
#include "scan/MacAddress.h"
#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"

#include <gtest/gtest.h>

namespace walkmere {
namespace {

using namespace sitetooltest;

RgbImage readPng(const std::string& path) {
    const auto bytes = testkit::readFileBytes(path);
    RgbImage img;
    const std::string problem = decodePng(bytes.data(), bytes.size(), img);
    if (!problem.empty()) throw std::runtime_error(path + ": " + problem);
    return img;
}

Rgb pixelAt(const RgbImage& img, int32_t x, int32_t y) {
    const uint8_t* p = img.at(x, y);
    return {p[0], p[1], p[2]};
}

// A 600 x 400 plan surveyed by the store: three points in a row on the left hearing
// "office" (two APs) and, at the middle one only, "guest"; a placed access point; a point
// far right that heard nothing; and a deleted point that heard a strong "ghost" network.
// The plan has a scale of 10 pixels a metre: --radius 8 reaches 80 pixels.
class SurveyedSite : public ::testing::Test {
protected:
    void SetUp() override {
        site = createSite(dir, 600, 400);
        ReadOnlySite opened = openSiteReadOnly(site);
        ASSERT_TRUE(opened.accepted());
        store.adoptSite(site, opened.validation.layout.header);
        commit(100, 200, {heardAp(0x01, -45, 6, "office"), heardAp(0x02, -75, 11, "office")});
        commit(160, 200, {heardAp(0x01, -55, 6, "office"), heardAp(0x03, -60, 1, "guest<&>")});
        commit(220, 200, {heardAp(0x01, -65, 6, "office"), heardAp(0x02, -50, 11, "office")});
        ASSERT_TRUE(store.placeAccessPoint(130, 150));
        commit(560, 50, {});
        commit(400, 300, {heardAp(0x09, -30, 3, "ghost")});
        ASSERT_EQ(store.findNearest(400, 300), KIND_SURVEY_POINT);
        ASSERT_TRUE(store.deletePoint());
        map = dir.file("map.png").string();
    }

    void commit(int32_t x, int32_t y, std::vector<ApRecord> heard) {
        store.beginPoint(x, y, "TEST");
        ASSERT_GE(store.commitPoint(heard).stored, 0);
    }

    RgbImage heatmap(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"heatmap", site, "-o", map, "--force"};
        args.insert(args.end(), extra.begin(), extra.end());
        ToolRun r = runTool(args);
        EXPECT_EQ(r.code, 0) << r.err;
        return readPng(map);
    }

    testkit::TempDir dir;
    std::string site;
    std::string map;
    CSurveyStore store;
};

TEST_F(SurveyedSite, ReadsTheLiveSurveyAndPicksReadingsByNetwork) {
    ReadOnlySite opened = openSiteReadOnly(site);
    SurveyData data;
    ASSERT_EQ(readSurvey(opened.fd.get(), opened.validation.layout, data), "");
    ASSERT_EQ(data.points.size(), 4u); // the deleted point is not part of the survey
    ASSERT_EQ(data.accessPoints.size(), 1u);
    EXPECT_EQ(data.accessPoints[0].x, 130);

    NetworkFilter all;
    EXPECT_EQ(pointValue(data.points[0], all), -45);
    EXPECT_EQ(pointValue(data.points[3], all), std::nullopt); // heard nothing

    NetworkFilter ap2;
    ap2.mac = parseMac("00:1a:2b:3c:4d:02");
    ASSERT_TRUE(ap2.mac);
    EXPECT_EQ(pointValue(data.points[0], ap2), -75);
    EXPECT_EQ(pointValue(data.points[1], ap2), std::nullopt); // not -100
    EXPECT_EQ(pointValue(data.points[2], ap2), -50);

    NetworkFilter guest;
    guest.ssid = "guest<&>";
    const auto samples = samplesFor(data, guest);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0].x, 160);
    EXPECT_EQ(samples[0].rssi, -60);

    NetworkFilter office;
    office.ssid = "office";
    EXPECT_EQ(pointValue(data.points[1], office), -55); // guest's -60 not taken
    EXPECT_EQ(samplesFor(data, office).size(), 3u);
}

TEST_F(SurveyedSite, AMacThatIsNoAddressIsAUsageError) {
    ToolRun r = runTool({"heatmap", site, "-o", map, "--mac", "nonsense"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--mac"), std::string::npos);
}

TEST_F(SurveyedSite, HeatmapIsThePlanSizeColouredAtThePointsAndPlainFarAway) {
    const RgbImage plan = [&] {
        const std::string bmp = dir.file("plan.bmp").string();
        EXPECT_EQ(runTool({"plan", site, "-o", bmp}).code, 0);
        const auto bytes = testkit::readFileBytes(bmp);
        RgbImage img;
        EXPECT_EQ(readBmpPixels(bytes.data(), bytes.size(), img), "");
        return img;
    }();
    const RgbImage img = heatmap({"--radius", "8"});
    ASSERT_EQ(img.width, 600);
    ASSERT_EQ(img.height, 400);
    // The disc of the first point carries its colour.
    EXPECT_EQ(pixelAt(img, 100, 200), rssiColour(-45));
    EXPECT_EQ(pixelAt(img, 160, 200), rssiColour(-55));
    // Between the first two points, off their discs, the map is tinted (not the plan).
    EXPECT_NE(pixelAt(img, 130, 215), pixelAt(plan, 130, 215));
    // Far from every point (and from the legend): the plan untouched. The deleted point's
    // strong reading does not show.
    EXPECT_EQ(pixelAt(img, 400, 300), pixelAt(plan, 400, 300));
    EXPECT_EQ(pixelAt(img, 420, 310), pixelAt(plan, 420, 310));
    // The point that heard nothing is not coloured as -100: it has no disc and no area.
    EXPECT_NE(pixelAt(img, 560, 50), rssiColour(-100));
    EXPECT_EQ(pixelAt(img, 560 + 20, 50 + 20), pixelAt(plan, 560 + 20, 50 + 20));
}

// Points farther off the plan than the radius leave the map as it was; one just off the
// plan still colours its edge.
TEST_F(SurveyedSite, PointsFarOffThePlanChangeNothing) {
    const auto withPoints = [&](const std::string& name, const std::vector<Bytes>& points) {
        Bytes bytes = testkit::readFileBytes(site);
        for (const Bytes& p : points)
            bytes.insert(bytes.end(), p.begin(), p.end());
        testkit::writeFileBytes(dir.file(name), bytes);
        return dir.file(name).string();
    };
    const std::string far = withPoints("far.kvs", {surveyPointBytes(INT32_MIN, INT32_MIN, -30),
                                                   surveyPointBytes(INT32_MAX, INT32_MAX, -30),
                                                   surveyPointBytes(-2000, 100, -30),
                                                   surveyPointBytes(300, 5000, -30)});
    const std::string near = withPoints("near.kvs", {surveyPointBytes(-10, 300, -30)});
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, {"--radius", "8"}, {"--ssid", "office"}}) {
        SCOPED_TRACE(options.empty() ? "default radius" : options[0]);
        const auto mapOf = [&](const std::string& of) {
            std::vector<std::string> args{"heatmap", of, "-o", map, "--force"};
            args.insert(args.end(), options.begin(), options.end());
            const ToolRun r = runTool(args);
            EXPECT_EQ(r.code, 0) << r.err;
            return testkit::readFileBytes(map);
        };
        const Bytes plain = mapOf(site);
        EXPECT_EQ(mapOf(far), plain);
        EXPECT_NE(mapOf(near), plain);
    }
}

TEST_F(SurveyedSite, FiltersChangeWhatIsDrawn) {
    const RgbImage ap2 = heatmap({"--mac", "00-1A-2B-3C-4D-02", "--radius", "8"});
    EXPECT_EQ(pixelAt(ap2, 100, 200), rssiColour(-75));
    EXPECT_EQ(pixelAt(ap2, 220, 200), rssiColour(-50));
    EXPECT_NE(pixelAt(ap2, 160, 200), rssiColour(-100)); // did not hear it: a cross
    EXPECT_NE(pixelAt(ap2, 160, 200), rssiColour(-55));
    const RgbImage guest = heatmap({"--ssid", "guest<&>", "--radius", "8"});
    EXPECT_EQ(pixelAt(guest, 160, 200), rssiColour(-60));
    EXPECT_NE(pixelAt(guest, 100, 200), rssiColour(-45));
}

TEST_F(SurveyedSite, WeakAreasAreMarkedNotCovered) {
    // With a threshold above every value the whole surveyed area is greyed and hatched;
    // the default threshold leaves this strong area coloured. Comparing the two maps pixel
    // by pixel takes the plan's own pattern out: pixels on the diagonal hatching lines
    // darken much more than those between them.
    const RgbImage normal = heatmap({"--radius", "8"});
    const RgbImage strict = heatmap({"--radius", "8", "--threshold", "-20"});
    EXPECT_NE(pixelAt(normal, 130, 215), pixelAt(strict, 130, 215));
    const auto brightness = [](Rgb p) { return (p.r + p.g + p.b) / 3.0; };
    double onLine = 0, offLine = 0;
    int onCount = 0, offCount = 0;
    for (int32_t y = 225; y < 235; ++y)
        for (int32_t x = 110; x < 150; ++x) {
            const double darkening =
                brightness(pixelAt(normal, x, y)) - brightness(pixelAt(strict, x, y));
            if ((x + y) % 12 < 3)
                onLine += darkening, ++onCount;
            else
                offLine += darkening, ++offCount;
        }
    ASSERT_GT(onCount, 0);
    EXPECT_GT(onLine / onCount, offLine / offCount + 40) << "no hatching in the weak area";
    ToolRun r = runTool({"heatmap", site, "-o", map, "--threshold", "abc"});
    EXPECT_EQ(r.code, 2);
}

TEST_F(SurveyedSite, NothingHeardForTheFilterIsRefused) {
    ToolRun r = runTool({"heatmap", site, "-o", map, "--ssid", "ghost"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("No survey point heard"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(map));
}

TEST_F(SurveyedSite, ReportHoldsEveryPointAndAccessPoint) {
    const std::string report = dir.file("report.html").string();
    ToolRun r = runTool({"report", site, "-o", report});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto bytes = testkit::readFileBytes(report);
    const std::string html(bytes.begin(), bytes.end());
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(html.find("</html>"), std::string::npos);
    // Every access point heard, by MAC, and the deleted point's AP not at all.
    for (const char* mac : {"00-1A-2B-3C-4D-01", "00-1A-2B-3C-4D-02", "00-1A-2B-3C-4D-03"})
        EXPECT_NE(html.find("<td>" + std::string(mac) + "</td>"), std::string::npos) << mac;
    EXPECT_EQ(html.find("4D-09"), std::string::npos);
    EXPECT_EQ(html.find("ghost"), std::string::npos);
    // AP 01: channel 6, heard at 3 points, best -45. AP 02: channel 11, 2 points, best -50.
    EXPECT_NE(
        html.find("<td>00-1A-2B-3C-4D-01</td><td>office</td><td>2.4 GHz</td><td class=n>6</td>"
                  "<td class=n>3</td><td class=n>-45</td><td>not located"),
        std::string::npos);
    EXPECT_NE(html.find("<td class=n>11</td><td class=n>2</td><td class=n>-50</td><td>not located"),
              std::string::npos);
    // Every live survey point, in order, and the placed access point.
    EXPECT_NE(html.find("<td class=n>1</td><td class=n>100</td><td class=n>200</td>"),
              std::string::npos);
    EXPECT_NE(html.find("<td class=n>3</td><td class=n>220</td><td class=n>200</td>"),
              std::string::npos);
    EXPECT_NE(html.find("<td class=n>4</td><td class=n>560</td><td class=n>50</td>"
                        "<td class=n>0</td><td class=n></td><td>none heard"),
              std::string::npos);
    EXPECT_EQ(html.find("<td class=n>5</td><td class=n>"), std::string::npos);
    EXPECT_NE(html.find("<td>placed at 13.0, 15.0 m</td>"), std::string::npos);
    // The SSID is escaped; the summary's pass/fail map, one map for all, one per network,
    // the signature
    EXPECT_NE(html.find("guest&lt;&amp;&gt;"), std::string::npos);
    EXPECT_EQ(html.find("guest<"), std::string::npos);
    EXPECT_EQ(count(html, "src=\"data:image/png;base64,"), 8u); // and three metric maps
    // Self-contained: nothing fetched from anywhere.
    EXPECT_EQ(html.find("http"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<link"), std::string::npos);
}

TEST(HeatmapRefusals, ASiteWithoutSurveyPointsIsRefusedClearly) {
    testkit::TempDir dir;
    const std::string site = createSite(dir, 50, 40);
    // Only a placed access point and a deleted survey point.
    CSurveyStore store;
    ReadOnlySite opened = openSiteReadOnly(site);
    store.adoptSite(site, opened.validation.layout.header);
    ASSERT_TRUE(store.placeAccessPoint(10, 10));
    store.beginPoint(30, 30, "TEST");
    const ApRecord heard[] = {heardAp(1, -50, 6, "x")};
    ASSERT_EQ(store.commitPoint(heard).stored, 1);
    ASSERT_EQ(store.findNearest(30, 30), KIND_SURVEY_POINT);
    ASSERT_TRUE(store.deletePoint());

    const std::string map = dir.file("map.png").string();
    for (const char* command : {"heatmap", "report"}) {
        ToolRun r = runTool({command, site, "-o", map});
        EXPECT_EQ(r.code, 1) << command;
        EXPECT_NE(r.err.find("The site has no survey points to map."), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(map)) << command;
    }
}

TEST(HeatmapRefusals, PointsThatHeardNothingGiveNothingToMap) {
    testkit::TempDir dir;
    const std::string site = createSite(dir, 50, 40);
    CSurveyStore store;
    store.adoptSite(site, openSiteReadOnly(site).validation.layout.header);
    store.beginPoint(20, 20, "TEST");
    ASSERT_EQ(store.commitPoint({}).stored, 0);
    const std::string map = dir.file("map.png").string();
    ToolRun r = runTool({"heatmap", site, "-o", map});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("No survey point heard any access point"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(map));
}

} // namespace
} // namespace walkmere
