// merge: the surveys of sites on one floor plan at one scale joined into a new site file.
#include "site_testing.h"
#include "survey/SiteFile.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace walkmere {
namespace {

using namespace sitetooltest;
namespace fs = std::filesystem;

Bytes placedApBytes(int32_t x, int32_t y) {
    PointRecord ap;
    ap.setX(x);
    ap.setY(y);
    ap.setLabel("AP");
    ap.setKind(KIND_DYNAMIC_AP);
    return Bytes(ap.bytes.begin(), ap.bytes.end());
}

Bytes deletedBytes(int32_t x, int32_t y) {
    Bytes point = surveyPointBytes(x, y, -70);
    point[70] = KIND_DELETED;
    return point;
}

void append(const std::string& site, const std::vector<Bytes>& records) {
    Bytes bytes = testkit::readFileBytes(site);
    for (const Bytes& r : records)
        bytes.insert(bytes.end(), r.begin(), r.end());
    testkit::writeFileBytes(site, bytes);
}

std::string makeSite(const testkit::TempDir& dir, const std::string& name, const Bytes& plan,
                     std::vector<std::string> extra = {}) {
    testkit::writeFileBytes(dir.file(name + ".bmp"), plan);
    const std::string site = dir.file(name).string();
    std::vector<std::string> args = {"create", dir.file(name + ".bmp").string(), "-o", site};
    args.insert(args.end(), extra.begin(), extra.end());
    const ToolRun r = runTool(args);
    if (r.code != 0) throw std::runtime_error("create failed: " + r.err);
    return site;
}

TEST(SiteMerge, KeepsEveryPointOfEachSiteInOrder) {
    testkit::TempDir dir;
    const std::string a = makeSite(dir, "a.kvs", makeBmp(40, 30));
    const std::string b = makeSite(dir, "b.kvs", makeBmp(40, 30));
    const Bytes aFront = testkit::readFileBytes(a);
    const std::vector<Bytes> aRecords = {surveyPointBytes(1, 1, -50), placedApBytes(5, 5),
                                         deletedBytes(2, 2), surveyPointBytes(3, 3, -60)};
    const std::vector<Bytes> bRecords = {surveyPointBytes(10, 10, -40), placedApBytes(5, 5),
                                         placedApBytes(6, 5), deletedBytes(7, 7)};
    append(a, aRecords);
    append(b, bRecords);
    const Bytes aBefore = testkit::readFileBytes(a);
    const Bytes bBefore = testkit::readFileBytes(b);

    const std::string out = dir.file("out.kvs").string();
    const ToolRun r = runTool({"merge", a, b, "-o", out});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("2 sites merged, 3 survey points with 3 readings, 2 placed APs; left "
                         "out 2 deleted, 1 placed APs at a spot already taken"),
              std::string::npos)
        << r.out;

    // a's header, plan and signature as they are, then the records kept, in order.
    Bytes expected = aFront;
    for (const Bytes* kept : {&aRecords[0], &aRecords[1], &aRecords[3], &bRecords[0], &bRecords[2]})
        expected.insert(expected.end(), kept->begin(), kept->end());
    EXPECT_EQ(testkit::readFileBytes(out), expected);
    EXPECT_TRUE(openSiteReadOnly(out).accepted());
    EXPECT_EQ(testkit::readFileBytes(a), aBefore);
    EXPECT_EQ(testkit::readFileBytes(b), bBefore);
}

TEST(SiteMerge, RefusesSitesThatDifferNamingTheFirstDifference) {
    testkit::TempDir dir;
    const std::string a = makeSite(dir, "a.kvs", makeBmp(40, 30));
    Bytes onePixel = makeBmp(40, 30);
    onePixel[54 + (30 - 1 - 7) * 120 + 12 * 3 + 1] ^= 1; // pixel 12,7 from the top left
    const std::string pixel = makeSite(dir, "pixel.kvs", onePixel);
    const std::string wider = makeSite(dir, "wider.kvs", makeBmp(41, 30));
    const std::string scaleX = makeSite(dir, "scalex.kvs", makeBmp(40, 30), {"--scale-x", "12.5"});
    const std::string scaleY = makeSite(dir, "scaley.kvs", makeBmp(40, 30), {"--scale-y", "4"});
    const std::string same = makeSite(dir, "same.kvs", makeBmp(40, 30));
    const std::string out = dir.file("out.kvs").string();
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {{"merge", a, pixel, "-o", out},
         1,
         pixel + ": its floor plan differs from " + a + "'s (pixel 12,7)"},
        {{"merge", a, same, wider, "-o", out},
         1,
         wider + ": its floor plan differs from " + a + "'s (41 x 30 pixels, not 40 x 30)"},
        {{"merge", a, scaleX, "-o", out}, 1, scaleX + ": its scale-x is 12.5, not 10 as in " + a},
        {{"merge", a, scaleY, "-o", out}, 1, scaleY + ": its scale-y is 4, not 10 as in " + a},
        {{"merge", a, same, "-o", same}, 2, "the merged site file would replace " + same},
        {{"merge", a, same, "-o", a}, 2, "the merged site file would replace " + a},
        {{"merge", a, "-o", out}, 2, "give two site files or more to merge"},
        {{"merge", a, same}, 2, "missing option '-o'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const Bytes aBefore = testkit::readFileBytes(a);
        const ToolRun r = runTool(c.args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out));
        EXPECT_EQ(testkit::readFileBytes(a), aBefore);
    }
}

} // namespace
} // namespace walkmere
