// The heatmap and the report on the bundled demo site after a short scripted survey. The
// picture and the page are kept in the build folder's artifacts/ for people to look at.
#include "site_testing.h"

#include "scan/ApRecord.h"
#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"
#include "testkit/RecordingSoundPlayer.h"
#include "testkit/ScriptedPrompter.h"
#include "tools/site/PngImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace walkmere {
namespace {

using namespace sitetooltest;
namespace fs = std::filesystem;

struct DemoAp {
    uint8_t macTail;
    int x, y;
    int channel;
    const char* ssid;
};

// Three access points of the demo office; what a point hears falls off with distance.
const DemoAp kAps[] = {
    {0x11, 150, 150, 1, "office"}, {0x12, 650, 150, 6, "office"}, {0x13, 400, 480, 11, "guest"}};

std::vector<ApRecord> heardAt(int x, int y) {
    std::vector<ApRecord> heard;
    for (const DemoAp& ap : kAps) {
        const double d = std::hypot(x - ap.x, y - ap.y);
        const int rssi = static_cast<int>(-35 - d / 8);
        if (rssi < -92) continue;
        ApRecord r;
        const uint8_t mac[6] = {0x00, 0x0A, 0xF8, 0x12, 0x34, ap.macTail};
        r.setMac(mac);
        r.setRssi(static_cast<int8_t>(rssi));
        r.setChannelCode(static_cast<uint16_t>(5000 + 5 * ap.channel));
        r.setSsid(ap.ssid);
        heard.push_back(r);
    }
    return heard;
}

fs::path artifactsFolder() {
    const char* build = std::getenv("WALKMERE_BUILD_DIR");
    fs::path dir = build ? fs::path(build) / "artifacts" : fs::temp_directory_path();
    fs::create_directories(dir);
    return dir;
}

TEST(DemoSiteReport, SurveyedOfficeGivesAMapAndAPage) {
    const char* source = std::getenv("WALKMERE_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    testkit::TempDir dir;
    const std::string site = dir.file("office.kvs").string();
    fs::copy_file(fs::path(source) / "res/demo/office.kvs", site);

    testkit::ScriptedPrompter prompter;
    testkit::RecordingSoundPlayer sound;
    CSurveyStore store(prompter, sound);
    ReadOnlySite opened = openSiteReadOnly(site);
    ASSERT_TRUE(opened.accepted());
    store.adoptSite(site, opened.validation.layout.header);

    // A walk down the corridor and back through the rooms.
    int taken = 0;
    for (int x = 80; x <= 720; x += 80) {
        store.beginPoint(x, 300, "TEST");
        ASSERT_EQ(store.commitPoint(heardAt(x, 300)), 1);
        store.beginPoint(x, x % 160 ? 150 : 450, "TEST");
        ASSERT_EQ(store.commitPoint(heardAt(x, x % 160 ? 150 : 450)), 1);
        taken += 2;
    }
    ASSERT_TRUE(store.placeAccessPoint(kAps[2].x, kAps[2].y));
    ASSERT_TRUE(prompter.messages().empty());

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
    EXPECT_GE(taken, 10);
}

} // namespace
} // namespace walkmere
