#include "testkit/SiteToolTesting.h"
#include "testkit/SparseSite.h"

#include "scan/ApRecord.h"
#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace walkmere {
namespace {

using namespace sitetooltest;
namespace fs = std::filesystem;

// A site whose points were written by the survey store: two survey points (one then
// deleted, whose reading our own board said was 6 GHz), a placed access point and a point
// that heard nothing.
class SiteWithPoints : public ::testing::Test {
protected:
    void SetUp() override {
        site = createSite(dir);
        ReadOnlySite opened = openSiteReadOnly(site);
        ASSERT_TRUE(opened.accepted());
        store.adoptSite(site, opened.validation.layout.header);

        store.beginPoint(100, 200, "TEST");
        const ApRecord first[] = {heardAp(0x01, -40, 6, "lobby"),
                                  heardAp(0x02, -71, 11, "back\"room\\")};
        ASSERT_EQ(store.commitPoint(first).stored, 1);
        ASSERT_TRUE(store.placeAccessPoint(-5, 7));
        store.beginPoint(300, 50, "TEST");
        ApRecord second[] = {heardAp(0xF3, -105, 1, "weak")};
        second[0].markSixGhz();
        ASSERT_EQ(store.commitPoint(second).stored, 1);
        store.beginPoint(10, 10, "TEST");
        ASSERT_EQ(store.commitPoint({}).stored, 0);
        ASSERT_EQ(store.findNearest(300, 50), KIND_SURVEY_POINT);
        ASSERT_TRUE(store.deletePoint());
        ASSERT_EQ(store.index().size(), 4u);
        before = testkit::readFileBytes(site);
    }

    testkit::TempDir dir;
    std::string site;
    CSurveyStore store;
    Bytes before;
};

TEST_F(SiteWithPoints, PointsJsonGivesBackWhatTheStoreWrote) {
    ToolRun r = runTool({"points", site, "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto& idx = store.index();
    // The store writes the weakest reading first.
    const std::string first =
        "{\"x\": 100, \"y\": 200, \"label\": \"TEST\", \"kind\": 0, \"bestRssi\": -40, "
        "\"readingCount\": 2, \"fileOffset\": " +
        std::to_string(idx[0].fileOffset) +
        ", \"readings\": [{\"channel\": 11, \"band\": \"2.4\", \"rssi\": -71, \"mac\": "
        "\"00-1A-2B-3C-4D-02\", "
        "\"ssid\": \"back\\\"room\\\\\", \"ssidHex\": \"6261636b22726f6f6d5c\"}, "
        "{\"channel\": 6, \"band\": \"2.4\", \"rssi\": -40, \"mac\": \"00-1A-2B-3C-4D-01\", "
        "\"ssid\": \"lobby\", "
        "\"ssidHex\": \"6c6f626279\"}]}";
    EXPECT_NE(r.out.find(first), std::string::npos) << r.out;
    const std::string ap = "{\"x\": -5, \"y\": 7, \"label\": \"AP\", \"kind\": 1, \"bestRssi\": "
                           "-100, \"readingCount\": 0, \"fileOffset\": " +
                           std::to_string(idx[1].fileOffset) + ", \"readings\": []}";
    EXPECT_NE(r.out.find(ap), std::string::npos) << r.out;
    // Deleted, and below the -100 floor.
    const std::string deleted =
        "{\"x\": 300, \"y\": 50, \"label\": \"TEST\", \"kind\": 2, "
        "\"bestRssi\": -100, \"readingCount\": 1, \"fileOffset\": " +
        std::to_string(idx[2].fileOffset) +
        ", \"readings\": [{\"channel\": 1, \"band\": \"6\", \"rssi\": -105, \"mac\": "
        "\"00-1A-2B-3C-4D-F3\"";
    EXPECT_NE(r.out.find(deleted), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"bestRssi\": -100, \"readingCount\": 0, \"fileOffset\": " +
                         std::to_string(idx[3].fileOffset) + ", \"readings\": []}"),
              std::string::npos);
    EXPECT_EQ(r.out.substr(0, 12), "{\"points\": [");
    EXPECT_EQ(r.out.substr(r.out.size() - 18), "], \"tornTail\": 0}\n");
    EXPECT_EQ(count(r.out, "\"kind\""), 4u);
    EXPECT_TRUE(r.err.empty());
}

TEST_F(SiteWithPoints, InfoCountsAsLoadingDoes) {
    ASSERT_TRUE(store.loadPoints());
    ToolRun r = runTool({"info", site, "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\"locationCount\": " + std::to_string(store.locationCount()) + ","),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"readingTotal\": " + std::to_string(store.readingTotal()) + ","),
              std::string::npos);
    EXPECT_NE(r.out.find("\"locationCount\": 2,"), std::string::npos);
    EXPECT_NE(r.out.find("\"readingTotal\": 2,"), std::string::npos);
    EXPECT_NE(r.out.find("\"recordCount\": 4,"), std::string::npos);
    EXPECT_NE(r.out.find("\"placedApCount\": 1,"), std::string::npos);
    EXPECT_NE(r.out.find("\"deletedCount\": 1,"), std::string::npos);
    EXPECT_NE(r.out.find("\"tornTail\": 0,"), std::string::npos);
    EXPECT_NE(r.out.find("\"planWidth\": 40,"), std::string::npos);

    ToolRun text = runTool({"info", site});
    ASSERT_EQ(text.code, 0);
    EXPECT_NE(text.out.find("survey points    2 with 2 readings"), std::string::npos) << text.out;
}

TEST_F(SiteWithPoints, CsvHasOneRowPerReading) {
    ToolRun r = runTool({"points", site, "--csv"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto& idx = store.index();
    const std::string expected =
        "x,y,label,kind,bestRssi,readingCount,fileOffset,channel,rssi,mac,ssid,band\n"
        "100,200,TEST,0,-40,2," +
        std::to_string(idx[0].fileOffset) +
        ",11,-71,00-1A-2B-3C-4D-02,\"back\"\"room\\\\\",2.4\n"
        "100,200,TEST,0,-40,2," +
        std::to_string(idx[0].fileOffset) +
        ",6,-40,00-1A-2B-3C-4D-01,lobby,2.4\n"
        "-5,7,AP,1,-100,0," +
        std::to_string(idx[1].fileOffset) +
        ",,,,,\n"
        "300,50,TEST,2,-100,1," +
        std::to_string(idx[2].fileOffset) +
        ",1,-105,00-1A-2B-3C-4D-F3,weak,6\n"
        "10,10,TEST,0,-100,0," +
        std::to_string(idx[3].fileOffset) + ",,,,,\n";
    EXPECT_EQ(r.out, expected);
}

TEST_F(SiteWithPoints, ReportsATornTailWithoutRepairingIt) {
    // Half a point record at the end, as a write cut short leaves it.
    Bytes torn = before;
    torn.insert(torn.end(), 30, 0x11);
    testkit::writeFileBytes(site, torn);
    ToolRun info = runTool({"info", site, "--json"});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("\"tornTail\": 30,"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"locationCount\": 2,"), std::string::npos);
    ToolRun points = runTool({"points", site, "--json"});
    EXPECT_EQ(points.code, 0);
    EXPECT_NE(points.out.find("\"tornTail\": 30}"), std::string::npos);
    EXPECT_NE(points.err.find("points section ends torn: 30 bytes"), std::string::npos)
        << points.err;
    EXPECT_EQ(testkit::readFileBytes(site), torn);

    // A record announcing three readings with one and a half present.
    PointRecord p;
    p.setX(1);
    p.setY(2);
    p.setLabel("TEST");
    p.setReadingCount(3);
    Bytes cut = before;
    cut.insert(cut.end(), p.bytes.begin(), p.bytes.end());
    ApReading a;
    a.setRssi256(-30 * 256);
    cut.insert(cut.end(), a.bytes.begin(), a.bytes.end());
    cut.insert(cut.end(), 20, 0);
    testkit::writeFileBytes(site, cut);
    info = runTool({"info", site, "--json"});
    EXPECT_NE(info.out.find("\"tornTail\": 20,"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"readingsMissing\": 2"), std::string::npos);
    EXPECT_NE(info.out.find("\"locationCount\": 3,"), std::string::npos);
    EXPECT_NE(info.out.find("\"readingTotal\": 3,"), std::string::npos);
    EXPECT_EQ(testkit::readFileBytes(site), cut);
}

TEST_F(SiteWithPoints, DamagedCountIsReportedWithItsOffsetAfterWhatStandsBeforeIt) {
    // The placed AP's count reads 65535: the two records after it would be its readings.
    const uint64_t at = store.index()[1].fileOffset;
    Bytes damaged = before;
    damaged[at + 40] = damaged[at + 41] = 0xFF;
    testkit::writeFileBytes(site, damaged);
    const std::string text = "Damaged Site File: the point record at byte " + std::to_string(at) +
                             " announces 65535 readings (at most 32).";
    const std::string damage = "\"damage\": {\"offset\": " + std::to_string(at) +
                               ", \"announced\": 65535, \"text\": \"" + text + "\"}";
    struct Case {
        std::vector<std::string> args;
        std::string shown; // how the output shows the damage or ends
    };
    const std::vector<Case> cases = {
        {{"info", site},
         "points section   at " + std::to_string(at - 8 - 71 - 82) +
             "\nfloor plan       40 x 30 pixels, 24 bits per pixel (3654 bytes "
             "decoded)\nsurvey points    damaged: " +
             text.substr(19) + "\nrecords before   1 ('points' lists them)\n"},
        {{"info", site, "--json"}, "\"readingsMissing\": null,\n  " + damage + "\n}\n"},
        {{"points", site, "--json"}, "}]}\n], \"tornTail\": null, " + damage + "}\n"},
        {{"points", site, "--csv"},
         "," + std::to_string(at - 71 - 82) + ",6,-40,00-1A-2B-3C-4D-01,lobby,2.4\n"},
    };
    for (const Case& c : cases) {
        ToolRun r = runTool(c.args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "walkmere-site: " + site + ": " + text + "\n");
        ASSERT_GE(r.out.size(), c.shown.size());
        EXPECT_EQ(r.out.substr(r.out.size() - c.shown.size()), c.shown) << r.out;
    }
    EXPECT_EQ(testkit::readFileBytes(site), damaged);
}

TEST_F(SiteWithPoints, ReadingCommandsNeverChangeTheFile) {
    struct stat st {};
    ASSERT_EQ(::stat(site.c_str(), &st), 0);
    const auto mtime = st.st_mtim;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"info", site},
             {"info", site, "--json"},
             {"points", site},
             {"points", site, "--json"},
             {"points", site, "--csv"},
             {"plan", site, "-o", dir.file("p.bmp").string()},
         }) {
        ToolRun r = runTool(args);
        EXPECT_EQ(r.code, 0) << args[0] << ": " << r.err;
    }
    EXPECT_EQ(testkit::readFileBytes(site), before);
    ASSERT_EQ(::stat(site.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, mtime.tv_sec);
    EXPECT_EQ(st.st_mtim.tv_nsec, mtime.tv_nsec);

    // plan refuses to write over the site itself.
    ToolRun r = runTool({"plan", site, "-o", site});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(testkit::readFileBytes(site), before);
}

TEST(SiteToolErrors, RefusedFilesExitWithOneAndTheProgramsTexts) {
    testkit::TempDir dir;
    const std::string site = createSite(dir);
    const Bytes good = testkit::readFileBytes(site);

    Bytes foreign = good;
    foreign[5] = 0;
    testkit::writeFileBytes(dir.file("foreign.kvs"), foreign);
    Bytes old = good;
    old[8] = 3;
    testkit::writeFileBytes(dir.file("old.kvs"), old);
    Bytes damaged = good;
    damaged[0] = 100; // header length
    testkit::writeFileBytes(dir.file("damaged.kvs"), damaged);

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"foreign.kvs", "Not a Site File."},
        {"old.kvs", "Obsolete Site File, recreate using Planwright"},
        {"damaged.kvs", "Damaged Site File: header shorter than 151 bytes."},
        {"missing.kvs", "No such file or directory"},
    };
    for (const auto& [name, text] : cases) {
        const std::string path = dir.file(name).string();
        for (const auto& command : {"info", "points"}) {
            ToolRun r = runTool({command, path});
            EXPECT_EQ(r.code, 1) << name;
            EXPECT_EQ(r.err, "walkmere-site: " + path + ": " + text + "\n");
            EXPECT_TRUE(r.out.empty());
        }
        ToolRun r = runTool({"plan", path, "-o", dir.file("out.bmp").string()});
        EXPECT_EQ(r.code, 1);
        EXPECT_FALSE(fs::exists(dir.file("out.bmp")));
    }
    EXPECT_EQ(testkit::readFileBytes(dir.file("foreign.kvs")), foreign);
    EXPECT_EQ(testkit::readFileBytes(dir.file("old.kvs")), old);
    EXPECT_EQ(testkit::readFileBytes(dir.file("damaged.kvs")), damaged);
}

TEST(SiteToolErrors, WrongUsageExitsWithTwo) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, "walkmere-site: missing command\n"},
        {{"frob"}, "walkmere-site: unknown command 'frob'\n"},
        {{"info"}, "walkmere-site: info: missing SITE.kvs\n"},
        {{"info", "a.kvs", "--yaml"}, "walkmere-site: info: unknown option '--yaml'\n"},
        {{"info", "a.kvs", "--json=1"}, "walkmere-site: info: option '--json' takes no value\n"},
        {{"points", "a.kvs", "--json", "--csv"},
         "walkmere-site: points: --json and --csv cannot be used together\n"},
        {{"points", "a.kvs", "--csv", "--csv"},
         "walkmere-site: points: option '--csv' given twice\n"},
        {{"plan", "a.kvs"}, "walkmere-site: plan: missing option '-o'\n"},
        {{"help", "frob"}, "walkmere-site: no help for 'frob'\n"},
    };
    for (const Case& c : cases) {
        ToolRun r = runTool(c.args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_EQ(r.err.substr(0, c.message.size()), c.message);
        EXPECT_NE(r.err.find("Try 'walkmere-site help"), std::string::npos);
    }
}

// Small sparse sites whose plan blocks announce 200 MB of zero code (1.6 GB decoded), after
// the headers of a 40 x 30 bitmap, or of one above the limit.
TEST(SiteToolPlans, EveryReaderStopsAtTheBitmapOrRefusesItWhenTooLarge) {
    testkit::TempDir dir;
    const std::string cut = dir.file("cut.kvs").string(), huge = dir.file("huge.kvs").string();
    const std::string out = dir.file("out").string();
    testkit::writeSparseSite(cut, testkit::bmpHeaders(40, 30, 24), 200u << 20,
                             surveyPointBytes(20, 15, -55));
    testkit::writeSparseSite(huge, testkit::bmpHeaders(20000, 10000, 8), 200u << 20,
                             surveyPointBytes(20, 15, -55));

    ToolRun plan = runTool({"plan", cut, "-o", out});
    EXPECT_EQ(plan.out, out + ": 3654 bytes, 40 x 30 pixels\n");
    EXPECT_EQ(plan.err, "walkmere-site: " + cut +
                            ": the floor-plan block holds more than the bitmap; decoded the "
                            "bitmap\n");
    EXPECT_EQ(runTool({"heatmap", cut, "-o", out, "--force"}).code, 0);

    for (const char* command : {"plan", "heatmap", "report"}) {
        SCOPED_TRACE(command);
        fs::remove(out);
        ToolRun r = runTool({command, huge, "-o", out});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "walkmere-site: " + huge +
                             ": floor plan: The floor plan is too large: 20000 x 10000 pixels, "
                             "more than the limit of 100000000 pixels.\n");
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST(SiteToolHelp, DocumentsEveryCommandAndOption) {
    for (const auto& word : {"--help", "help", "-h"}) {
        ToolRun r = runTool({word});
        EXPECT_EQ(r.code, 0);
        for (const auto& text : {"create PLAN -o SITE.kvs [--scale-x N] [--scale-y N] [--calibrate",
                                 "merge A.kvs B.kvs [...] -o OUT.kvs", "info SITE.kvs [--json]",
                                 "points SITE.kvs [--json | --csv]", "plan SITE.kvs -o PLAN.bmp",
                                 "Exit codes: 0 success; 1"})
            EXPECT_NE(r.out.find(text), std::string::npos) << text;
    }
    ToolRun points = runTool({"help", "points"});
    EXPECT_EQ(points.code, 0);
    EXPECT_NE(points.out.find("--csv"), std::string::npos);
    EXPECT_NE(points.out.find("ssidHex"), std::string::npos);
    ToolRun info = runTool({"info", "--help"});
    EXPECT_EQ(info.code, 0);
    EXPECT_NE(info.out.find("tornTail"), std::string::npos);
}

} // namespace
} // namespace walkmere
