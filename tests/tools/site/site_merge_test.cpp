// merge: the surveys of sites on one floor plan at one scale joined into a new site file.
#include "survey/SiteFile.h"
#include "testkit/SiteToolTesting.h"

#include <algorithm>
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

// A site at 10 pixels a unit, or at the scale `extra` gives.
std::string makeSite(const testkit::TempDir& dir, const std::string& name, const Bytes& plan,
                     std::vector<std::string> extra = {}) {
    testkit::writeFileBytes(dir.file(name + ".bmp"), plan);
    const std::string site = dir.file(name).string();
    std::vector<std::string> args = {"create", dir.file(name + ".bmp").string(), "-o", site};
    if (std::find(extra.begin(), extra.end(), "--scale-y") == extra.end())
        args.insert(args.end(), {"--scale-y", "10"});
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

// One file named twice, under any spelling, would have each of its points written twice.
TEST(SiteMerge, RefusesAFileGivenTwiceNamingBothArguments) {
    testkit::TempDir dir;
    const std::string a = makeSite(dir, "a.kvs", makeBmp(40, 30));
    const std::string b = makeSite(dir, "b.kvs", makeBmp(40, 30));
    const std::string link = dir.file("link.kvs").string(), hard = dir.file("hard.kvs").string();
    fs::create_symlink(a, link);
    fs::create_hard_link(a, hard);
    const std::string dotted = (dir.path() / "." / "a.kvs").string();
    for (const auto& [first, second] : {std::pair{a, a}, {a, link}, {hard, a}, {a, dotted}}) {
        const ToolRun r = runTool({"merge", first, b, second, "-o", dir.file("out").string()});
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find(first + " and " + second + " are the same file"), std::string::npos)
            << r.err;
        EXPECT_FALSE(fs::exists(dir.file("out")));
    }
}

// A site whose last write was cut short: what is left out is named as it was, and counted.
TEST(SiteMerge, SaysWhatACutShortRecordWas) {
    testkit::TempDir dir;
    const std::string b = makeSite(dir, "b.kvs", makeBmp(40, 30));
    const Bytes kept = surveyPointBytes(1, 1, -50);
    Bytes point = surveyPointBytes(5, 6, -60); // announces 3 readings; the file holds 2
    point[40] = 3;
    point.insert(point.end(), kept.begin() + kPointRecordSize, kept.end());
    Bytes pointAndTwo = point;
    pointAndTwo.insert(pointAndTwo.end(), kept.begin(), kept.begin() + 2);
    Bytes ap = placedApBytes(7, 8);
    ap[40] = 1;
    const std::pair<Bytes, std::string> cases[] = {
        {point, "the survey point at 5,6 with 2 of 3 readings"},
        {pointAndTwo, "the survey point at 5,6 with 2 of 3 readings and 2 bytes of the next"},
        {ap, "the placed AP at 7,8 with 0 of 1 readings"},
        {Bytes(kept.begin(), kept.begin() + 30), "a partial record of 30 bytes"},
    };
    for (const auto& [tail, said] : cases) {
        const std::string a = makeSite(dir, "a.kvs", makeBmp(40, 30), {"--force"});
        Bytes expected = testkit::readFileBytes(a);
        expected.insert(expected.end(), kept.begin(), kept.end());
        append(a, {kept, tail});
        const ToolRun r = runTool({"merge", a, b, "-o", dir.file("out").string(), "--force"});
        EXPECT_EQ(r.err, "walkmere-site: " + a + ": left out " + said +
                             ", cut short at the end of the file\n");
        EXPECT_NE(r.out.find("1 survey points with 1 readings, 0 placed APs; left out 0 deleted, "
                             "0 placed APs at a spot already taken, 1 cut short at the end of a "
                             "file\n"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(testkit::readFileBytes(dir.file("out")), expected);
    }
}

} // namespace
} // namespace walkmere
