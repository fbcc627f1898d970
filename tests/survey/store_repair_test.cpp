// Loading points whose last write was cut short: a copy of the file as it was goes to
// repaired/ first, then the tail is cut, and the surveyor is told once. A count that no
// write can leave is damage: nothing is cut, nothing is added.
#include <gtest/gtest.h>

#include <ctime>

#include "testkit/StoreFixture.h"

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
        return out;
    }

    const Bytes first = pointBytes(1, 1, KIND_SURVEY_POINT, {reading(-50 * 256)});
    // The last point announces 3 readings; 1.5 of them reached the disk.
    const Bytes torn =
        pointBytes(120, 85, KIND_SURVEY_POINT, {reading(-60 * 256)}, 3) + Bytes(20, 0xCC);
};

TEST_F(StoreRepair, TornTailIsCopiedThenCutAndNamedInOneMessage) {
    Bytes cutRecord = pointBytes(120, 85, KIND_SURVEY_POINT);
    cutRecord.resize(30);
    const struct {
        Bytes tail;
        size_t kept; // bytes of the tail that stay
        std::string said;
    } cases[] = {
        {torn, 71 + 41,
         "The last survey point (number 2, at 120, 85) was not completely written: it is kept "
         "with the 1 reading that was saved."},
        {cutRecord, 0,
         "A point record was cut short at the end of the site file (30 of its 71 bytes were "
         "written): it is left out."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        fs::remove_all(home.repaired());
        makeSite(first + c.tail);
        const Bytes before = file();

        const StoreOutcome loaded = store.loadPoints();
        ASSERT_TRUE(loaded);
        ASSERT_EQ(copies().size(), 1u);
        EXPECT_EQ(testkit::readFileBytes(copies()[0]), before);
        EXPECT_EQ(texts(loaded.notices),
                  std::vector<std::string>{c.said + " The site file as it was is in " +
                                           copies()[0].string() + "."});
        EXPECT_EQ(loaded.notices[0].icon, MessageIcon::Exclamation);
        // Repaired as before: the partial bytes cut, the count rewritten to what is there.
        ASSERT_EQ(fileSize(), kFirst + first.size() + c.kept);
        EXPECT_EQ(store.readingTotal(), c.kept ? 2 : 1);
        if (c.kept) {
            EXPECT_EQ(recordAt(file(), kFirst + first.size()).readingCount(), 1);
        }
    }
}

TEST_F(StoreRepair, CopyNeverTakesTheNameOfAnExistingFile) {
    makeSite(first + torn);
    fs::create_directories(home.repaired());
    std::vector<fs::path> theirs; // named as a copy made around now would be
    for (std::time_t t = std::time(nullptr) - 1, end = t + 4; t < end; ++t) {
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&t));
        theirs.push_back(home.repaired() / ("site-" + std::string(stamp) + ".kvs"));
        testkit::writeFileBytes(theirs.back(), {'m', 'i', 'n', 'e'});
    }
    const StoreOutcome loaded = store.loadPoints();
    ASSERT_TRUE(loaded);
    for (const fs::path& p : theirs)
        EXPECT_EQ(testkit::readFileBytes(p), (Bytes{'m', 'i', 'n', 'e'})) << p;
    EXPECT_EQ(copies().size(), theirs.size() + 1);
    EXPECT_NE(texts(loaded.notices).at(0).find("-2.kvs."), std::string::npos);
}

TEST_F(StoreRepair, WithoutACopyTheFileStaysUntilTheNextPointWhichLandsAligned) {
    makeSite(first + torn);
    const Bytes before = file();
    testkit::writeFileBytes(home.path(), {'x'}); // the data folder cannot be made

    const StoreOutcome loaded = store.loadPoints();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(file(), before);
    ASSERT_EQ(loaded.notices.size(), 1u);
    EXPECT_NE(loaded.notices[0].text.find("No copy of the site file as it was could be made"),
              std::string::npos);
    store.beginPoint(9, 9, "TEST");
    ASSERT_EQ(store.commitPoint({}).stored, 0);
    EXPECT_EQ(store.index().back().fileOffset, kFirst + first.size() + 71 + 41);
    ASSERT_TRUE(store.loadPoints());
    EXPECT_EQ(store.index().size(), 3u);
    EXPECT_EQ(store.readingTotal(), 2);
}

TEST_F(StoreRepair, DamageFoundWhenLoadingIsNeitherCutNorAppendedTo) {
    // A first record whose count reads 65535, with 19 whole points after it.
    Bytes points = pointBytes(1, 1, KIND_SURVEY_POINT, {reading(-50 * 256)}, 65535);
    for (int i = 0; i < 19; ++i)
        points = points + first;
    makeSite(points);
    const Bytes before = file();

    const StoreOutcome loaded = store.loadPoints();
    EXPECT_FALSE(loaded);
    store.beginPoint(5, 5, "TEST");
    const CommitOutcome committed = store.commitPoint({});
    EXPECT_EQ(committed.stored, -1);
    const StoreOutcome placed = store.placeAccessPoint(6, 6);
    EXPECT_FALSE(placed);
    EXPECT_EQ(file(), before);
    EXPECT_TRUE(store.index().empty());
    EXPECT_TRUE(copies().empty());
    for (const Notices& told : {loaded.notices, committed.notices, placed.notices}) {
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].text.find("Damaged Site File: the point record at byte " +
                                    std::to_string(kFirst) +
                                    " announces 65535 readings (at most 32)."),
                  std::string::npos)
            << told[0].text;
        EXPECT_EQ(told[0].caption, "File Error");
        EXPECT_EQ(told[0].icon, MessageIcon::Stop);
    }
}

} // namespace
} // namespace walkmere
