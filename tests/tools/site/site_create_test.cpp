#include "platform/ByteOrder.h"
#include "survey/SiteFile.h"
#include "testkit/SiteToolTesting.h"
#include "testkit/SparseSite.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace walkmere {
namespace {

using namespace sitetooltest;
namespace fs = std::filesystem;

uint32_t le32(const Bytes& b, size_t at) {
    return readLe32(b.data() + at);
}

TEST(SiteCreate, MakesAValidSiteWhosePlanDecodesBackToTheBitmap) {
    testkit::TempDir dir;
    const Bytes plan = makeBmp(57, 31);
    testkit::writeFileBytes(dir.file("plan.bmp"), plan);
    const std::string site = dir.file("s.kvs").string();

    ToolRun created = runTool({"create", dir.file("plan.bmp").string(), "-o", site, "--scale-x",
                               "12.5", "--scale-y=7.25"});
    ASSERT_EQ(created.code, 0) << created.err;

    const Bytes bytes = testkit::readFileBytes(site);
    ReadOnlySite opened = openSiteReadOnly(site);
    ASSERT_TRUE(opened.accepted()) << opened.validation.refusal->text;
    const SiteHeader& h = opened.validation.layout.header;
    EXPECT_EQ(h.headerLength(), 152u);
    EXPECT_EQ(h.version(), 4);
    EXPECT_DOUBLE_EQ(h.pixelsPerUnitX(), 12.5);
    EXPECT_DOUBLE_EQ(h.pixelsPerUnitY(), 7.25);
    EXPECT_EQ(h.clearedFlagA(), 0);
    // header, floor-plan block, signature block, points section last and empty
    EXPECT_EQ(h.bitmapOffset(), 152u);
    EXPECT_EQ(h.signatureOffset(), 152u + le32(bytes, 152));
    EXPECT_EQ(h.pointsOffset(), h.signatureOffset() + 2600);
    EXPECT_EQ(bytes.size(), h.pointsOffset() + 8u);
    for (uint32_t i = 0; i < 2600; ++i)
        ASSERT_EQ(bytes[h.signatureOffset() + i], 0xFF) << i;
    EXPECT_EQ(le32(bytes, h.pointsOffset()), 71u);
    EXPECT_EQ(le32(bytes, h.pointsOffset() + 4), 41u);

    const std::string out = dir.file("back.bmp").string();
    ToolRun planned = runTool({"plan", site, "-o", out});
    ASSERT_EQ(planned.code, 0) << planned.err;
    EXPECT_EQ(testkit::readFileBytes(out), plan);

    ToolRun info = runTool({"info", site, "--json"});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("\"planWidth\": 57,"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"planHeight\": 31,"), std::string::npos);
    EXPECT_NE(info.out.find("\"pixelsPerUnitX\": 12.5,"), std::string::npos);
    EXPECT_NE(info.out.find("\"locationCount\": 0,"), std::string::npos);
}

TEST(SiteCreate, RefusesAPlanThatIsNotABitmapAndKeepsExistingFiles) {
    testkit::TempDir dir;
    testkit::writeFileBytes(dir.file("notes.txt"), Bytes{'h', 'e', 'l', 'l', 'o'});
    const std::string site = dir.file("s.kvs").string();
    ToolRun r = runTool({"create", dir.file("notes.txt").string(), "-o", site});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("not a floor plan this tool reads (BMP, PNG, JPEG or PDF)"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(site));

    Bytes cut = makeBmp(10, 10);
    cut.resize(cut.size() - 20);
    testkit::writeFileBytes(dir.file("cut.bmp"), cut);
    r = runTool({"create", dir.file("cut.bmp").string(), "-o", site});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("pixel data cut short"), std::string::npos) << r.err;

    const Bytes survey = {'s', 'u', 'r', 'v', 'e', 'y'};
    testkit::writeFileBytes(site, survey);
    testkit::writeFileBytes(dir.file("p.bmp"), makeBmp(4, 4));
    r = runTool({"create", dir.file("p.bmp").string(), "-o", site});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;
    EXPECT_EQ(testkit::readFileBytes(site), survey);

    r = runTool({"create", dir.file("p.bmp").string(), "-o", site, "--force"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(openSiteReadOnly(site).accepted());
    // Nothing but the files named is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4);
}

TEST(SiteCreate, WrongUsageExitsWithTwo) {
    testkit::TempDir dir;
    testkit::writeFileBytes(dir.file("p.bmp"), makeBmp(4, 4));
    const std::string plan = dir.file("p.bmp").string();
    const std::string site = dir.file("s.kvs").string();
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"create", plan}, "create: missing option '-o'"},
        {{"create", "-o", site}, "create: missing PLAN"},
        {{"create", plan, "-o"}, "create: option '-o' needs a value"},
        {{"create", plan, "-o", site, "--scale-x", "0"}, "from 0.001 to 1000000, not '0'"},
        {{"create", plan, "-o", site, "--scale-y", "ten"}, "from 0.001 to 1000000, not 'ten'"},
        {{"create", plan, "-o", site, "--scale"}, "create: unknown option '--scale'"},
        {{"create", plan, plan, "-o", site}, "create: unexpected argument"},
        {{"create", plan, "-o", plan}, "the site file would replace the plan"},
    };
    for (const Case& c : cases) {
        ToolRun r = runTool(c.args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Try 'walkmere-site help create'."), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_FALSE(fs::exists(site));
    EXPECT_EQ(testkit::readFileBytes(plan), makeBmp(4, 4));
}

// The decoder's padding bytes after the bitmap are not written: the file is as long as its
// file header says, and a header that said otherwise is put right.
TEST(SiteCreate, ThePlanWrittenBackIsAsLongAsItsHeaderSays) {
    testkit::TempDir dir;
    const std::string site = dir.file("s.kvs").string();
    struct Case {
        int32_t width;
        uint16_t bits;
        uint32_t declared; // the plan's file header's size field, when not its true size
    };
    const Case cases[] = {{1, 1, 0},   {13, 1, 0}, {7, 4, 0},   {40, 8, 0},
                          {41, 24, 0}, {3, 32, 0}, {40, 8, 17}, {41, 24, 99999}};
    for (const Case& c : cases) {
        // Plain rows with a few marks: the padding bits of the last code byte decode to
        // the commonest byte.
        Bytes plan = testkit::bmpHeaders(c.width, 9, c.bits);
        const size_t headers = plan.size();
        plan.resize(readLe32(plan.data() + 2), 0);
        for (size_t i = headers; i < plan.size(); i += 11)
            plan[i] = 0x5A;
        Bytes stored = plan;
        if (c.declared) put32(stored, 2, c.declared);
        testkit::writeFileBytes(dir.file("p.bmp"), stored);
        ASSERT_EQ(runTool({"create", dir.file("p.bmp").string(), "-o", site, "--force"}).code, 0);
        const std::string back = dir.file(std::to_string(&c - cases) + ".bmp").string();
        const ToolRun r = runTool({"plan", site, "-o", back});
        EXPECT_EQ(testkit::readFileBytes(back), plan) << c.width << " x " << c.bits;
        EXPECT_EQ(r.err, c.declared ? "walkmere-site: " + site +
                                          ": the floor plan's file header gave its size as " +
                                          std::to_string(c.declared) +
                                          " bytes; written with its true size\n"
                                    : "");
    }
}

// Two points of the plan and the real length between them give both scales.
TEST(SiteCreate, CalibratesTheScaleFromTwoPoints) {
    testkit::TempDir dir;
    testkit::writeFileBytes(dir.file("p.bmp"), makeBmp(400, 500));
    const std::string plan = dir.file("p.bmp").string();
    const std::string site = dir.file("s.kvs").string();
    struct Case {
        std::string calibrate;
        double scale;
    };
    const Case cases[] = {
        {"0,0,300,400,10", 50},      // 500 pixels over 10
        {"10,20,10,80,12", 5},       // 60 pixels over 12
        {"399,499,0,499,2.5", 159.6} // from the bottom right corner to the bottom left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.calibrate);
        ToolRun r = runTool({"create", plan, "-o", site, "--force", "--calibrate", c.calibrate});
        ASSERT_EQ(r.code, 0) << r.err;
        ReadOnlySite opened = openSiteReadOnly(site);
        ASSERT_TRUE(opened.accepted());
        EXPECT_DOUBLE_EQ(opened.validation.layout.header.pixelsPerUnitX(), c.scale);
        EXPECT_DOUBLE_EQ(opened.validation.layout.header.pixelsPerUnitY(), c.scale);
    }
}

TEST(SiteCreate, RefusesACalibrationThatGivesNoScale) {
    testkit::TempDir dir;
    testkit::writeFileBytes(dir.file("p.bmp"), makeBmp(400, 500));
    const std::string plan = dir.file("p.bmp").string();
    const std::string site = dir.file("s.kvs").string();
    struct Case {
        std::vector<std::string> extra;
        std::string message;
    };
    const Case cases[] = {
        {{"--calibrate", "0,0,300,400,0"}, "the length between the points must be more than 0"},
        {{"--calibrate", "0,0,300,400,-3"}, "the length between the points must be more than 0"},
        {{"--calibrate", "7,9,7,9,3"}, "the two points are the same point"},
        {{"--calibrate", "0,0,400,10,1"}, "the point 400,10 is outside the 400 x 500 pixel plan"},
        {{"--calibrate", "0,-1,4,10,1"}, "the point 0,-1 is outside"},
        {{"--calibrate", "1,2,3,4"}, "needs X1,Y1,X2,Y2,LENGTH, not '1,2,3,4'"},
        {{"--calibrate", "1,2,3,4,5,6"}, "needs X1,Y1,X2,Y2,LENGTH"},
        {{"--calibrate", "1,2,,4,5"}, "needs X1,Y1,X2,Y2,LENGTH"},
        {{"--calibrate", "0,0,3,4,1", "--scale-x", "2"}, "without --scale-x and --scale-y"},
        {{"--calibrate", "0,0,3,4,1", "--scale-y", "2"}, "without --scale-x and --scale-y"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"create", plan, "-o", site};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        ToolRun r = runTool(args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(site));
}

// --units names the unit of the scales for the tool's own output only.
TEST(SiteCreate, InfoAndReportShowThePlansRealSizeInTheUnitsAsked) {
    testkit::TempDir dir;
    testkit::writeFileBytes(dir.file("p.bmp"), makeBmp(400, 300));
    const std::string site = dir.file("s.kvs").string();
    ASSERT_EQ(runTool({"create", dir.file("p.bmp").string(), "-o", site, "--scale-x", "5",
                       "--scale-y", "10"})
                  .code,
              0);
    const Bytes before = testkit::readFileBytes(site);
    struct Case {
        std::vector<std::string> args;
        std::string shown; // "" when no real size is shown
    };
    const Case cases[] = {
        {{"info", site, "--units", "m"}, "400 x 300 pixels, 80.0 x 30.0 m, 24 bits per pixel"},
        {{"info", site, "--units=ft"}, "400 x 300 pixels, 80.0 x 30.0 ft,"},
        {{"info", site, "--json", "--units", "m"},
         "\"planRealSize\": {\"width\": 80, \"height\": 30, \"units\": \"m\"},"},
        {{"info", site}, ""},
        {{"info", site, "--json"}, ""},
    };
    for (const Case& c : cases) {
        ToolRun r = runTool(c.args);
        ASSERT_EQ(r.code, 0) << r.err;
        if (c.shown.empty()) {
            EXPECT_EQ(r.out.find("30.0"), std::string::npos) << r.out;
            EXPECT_EQ(r.out.find("planRealSize"), std::string::npos) << r.out;
        } else {
            EXPECT_NE(r.out.find(c.shown), std::string::npos) << r.out;
        }
    }
    ToolRun wrong = runTool({"info", site, "--units", "yd"});
    EXPECT_EQ(wrong.code, 2);
    EXPECT_NE(wrong.err.find("'--units' takes m or ft, not 'yd'"), std::string::npos) << wrong.err;

    appendSurveyPoint(site, 100, 100, -55);
    const std::string html = dir.file("r.html").string();
    ToolRun report = runTool({"report", site, "-o", html, "--units", "ft"});
    ASSERT_EQ(report.code, 0) << report.err;
    const Bytes page = testkit::readFileBytes(html);
    EXPECT_NE(std::string(page.begin(), page.end())
                  .find("<tr><th>Real size</th><td>80.0 x 30.0 ft</td></tr>"),
              std::string::npos);
    // The unit is never written into the site.
    Bytes after = testkit::readFileBytes(site);
    after.resize(before.size());
    EXPECT_EQ(after, before);
}

} // namespace
} // namespace walkmere
