// Loading points whose last write was cut short: a copy of the file as it was goes to
// repaired/ first, then the tail is cut, and the surveyor is told once. A count that no
// write can leave is damage: nothing is cut, nothing is added.
#include <gtest/gtest.h>

#include <ctime>

#include "store_TestSite.h"

namespace walkmere {
namespace {

using namespace storetest;
namespace fs = std::filesystem;

class StoreRepair : public ::testing::Test, public StoreFixture {
protected:
    static constexpr size_t kFirst = kPointsAt + 8;

    std::vector<fs::path> copies() const {
        std::vector<fs::path> out;
        if (fs::exists(home.repaired()))
            for (const auto& e : fs::directory_iterator(home.repaired()))
                out.push_back(e.path());
        std::sort(out.begin(), out.end());
        return out;
    }

    Bytes first = pointBytes(1, 1, KIND_SURVEY_POINT, {reading(-50 * 256)});
};

TEST_F(StoreRepair, TornTailIsCopiedThenCutAndNamedInOneMessage) {
    // The last point announces 3 readings; 1.5 of them reached the disk.
    Bytes cutReadings = pointBytes(120, 85, KIND_SURVEY_POINT, {reading(-60 * 256)}, 3);
    cutReadings.resize(cutReadings.size() + 20, 0xCC);
    Bytes cutRecord = pointBytes(120, 85, KIND_SURVEY_POINT);
    cutRecord.resize(30);
    struct Case {
        const char* name;
        Bytes tail;
        size_t wholeTail; // the bytes of the tail that stay
        std::string said;
    };
    const std::vector<Case> cases = {
        {"readings cut", cutReadings, 71 + 41,
         "The last survey point (number 2, at 120, 85) was not completely written: it is kept "
         "with the 1 reading that was saved."},
        {"record cut", cutRecord, 0,
         "A point record was cut short at the end of the site file (30 of its 71 bytes were "
         "written): it is left out."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompter.clear();
        fs::remove_all(home.repaired());
        makeSite(first + c.tail);
        const Bytes before = file();

        ASSERT_TRUE(store.loadPoints());
        const std::vector<fs::path> kept = copies();
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(kept[0].extension(), ".kvs");
        EXPECT_EQ(testkit::readFileBytes(kept[0]), before);
        EXPECT_EQ(prompter.messages(),
                  std::vector<std::string>{c.said + " The site file as it was is in " +
                                           kept[0].string() + "."});

        // Repaired as before: the partial bytes cut, the count rewritten to what is there.
        Bytes f = file();
        ASSERT_EQ(f.size(), kFirst + first.size() + c.wholeTail);
        if (c.wholeTail) {
            EXPECT_EQ(recordAt(f, kFirst + first.size()).readingCount(), 1);
        }
        EXPECT_EQ(store.readingTotal(), c.wholeTail ? 2 : 1);
        store.beginPoint(9, 9, "TEST");
        EXPECT_EQ(store.commitPoint({}), 0);
        ASSERT_TRUE(store.loadPoints());
        EXPECT_EQ(store.index().back().x, 9);
        EXPECT_EQ(copies().size(), 1u); // nothing more to repair
    }
}

TEST_F(StoreRepair, CopyNeverTakesTheNameOfAnExistingFile) {
    makeSite(first + pointBytes(2, 2, KIND_SURVEY_POINT, {reading(-60 * 256)}, 2));
    // Files already named as a copy made around now would be.
    fs::create_directories(home.repaired());
    const std::time_t now = std::time(nullptr);
    std::vector<fs::path> theirs;
    for (std::time_t t = now - 1; t <= now + 2; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        theirs.push_back(home.repaired() / ("site-" + std::string(stamp) + ".kvs"));
        testkit::writeFileBytes(theirs.back(), {'m', 'i', 'n', 'e'});
    }
    ASSERT_TRUE(store.loadPoints());
    for (const fs::path& p : theirs)
        EXPECT_EQ(testkit::readFileBytes(p), (Bytes{'m', 'i', 'n', 'e'})) << p;
    EXPECT_EQ(copies().size(), theirs.size() + 1);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_NE(prompter.messages()[0].find("-2.kvs."), std::string::npos) << prompter.messages()[0];
}

TEST_F(StoreRepair, WithoutACopyTheFileStaysUntilTheNextPointWhichLandsAligned) {
    Bytes torn = pointBytes(2, 2, KIND_SURVEY_POINT, {reading(-60 * 256)}, 3);
    torn.resize(torn.size() + 20, 0xCC);
    makeSite(first + torn);
    const Bytes before = file();
    // The data folder cannot be made: a file stands in its way.
    testkit::writeFileBytes(home.path(), {'x'});

    ASSERT_TRUE(store.loadPoints());
    EXPECT_EQ(file(), before);
    ASSERT_EQ(prompter.messages().size(), 1u);
    const std::string said = prompter.messages()[0];
    EXPECT_EQ(said.find("The last survey point (number 2, at 2, 2) was not completely written"), 0u)
        << said;
    EXPECT_NE(said.find("No copy of the site file as it was could be made"), std::string::npos);
    EXPECT_EQ(store.index().back().readingCount, 1);

    // Deleting writes in place and cuts nothing; the next point cuts first, then lands.
    ASSERT_EQ(store.findNearest(1, 1), KIND_SURVEY_POINT);
    ASSERT_TRUE(store.deletePoint());
    EXPECT_EQ(file().size(), before.size());
    store.beginPoint(9, 9, "TEST");
    const std::vector<ApRecord> one = {ap(1, -40)};
    ASSERT_EQ(store.commitPoint(one), 1);
    EXPECT_EQ(store.index().back().fileOffset, kFirst + first.size() + 71 + 41);
    ASSERT_TRUE(store.loadPoints());
    ASSERT_EQ(store.index().size(), 2u);
    EXPECT_EQ(store.index()[0].readingCount, 1);
    EXPECT_EQ(store.index()[1].bestRssi, -40);
    EXPECT_EQ(prompter.messages().size(), 2u); // and "Deleted."
}

TEST_F(StoreRepair, DamageFoundWhenLoadingIsNeitherCutNorAppendedTo) {
    // A first record whose count reads 65535, with 19 whole points after it.
    Bytes points = pointBytes(1, 1, KIND_SURVEY_POINT, {reading(-50 * 256)}, 65535);
    for (int i = 0; i < 19; ++i)
        points = points + pointBytes(i, i, KIND_SURVEY_POINT, {reading(-40 * 256)});
    makeSite(points);
    const Bytes before = file();

    EXPECT_FALSE(store.loadPoints());
    EXPECT_TRUE(store.index().empty());
    store.beginPoint(5, 5, "TEST");
    EXPECT_EQ(store.commitPoint({}), -1);
    EXPECT_FALSE(store.placeAccessPoint(6, 6));
    EXPECT_EQ(file(), before);
    EXPECT_TRUE(copies().empty());
    const std::string damage = "Damaged Site File: the point record at byte " +
                               std::to_string(kFirst) + " announces 65535 readings (at most 32).";
    const std::vector<std::string> said = prompter.messages();
    ASSERT_EQ(said.size(), 3u);
    for (const std::string& m : said)
        EXPECT_NE(m.find(damage), std::string::npos) << m;

    // Discarding the points removes the damage with them.
    ASSERT_TRUE(store.discardPoints());
    EXPECT_TRUE(store.placeAccessPoint(6, 6));
}

} // namespace
} // namespace walkmere
