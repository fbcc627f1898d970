// Loading, discarding and deleting points, reading readings back, and the site header.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "testkit/StoreFixture.h"

namespace walkmere {
namespace {

using namespace storetest;

class StoreLoad : public ::testing::Test, public StoreFixture {
protected:
    static constexpr size_t kFirst = kPointsAt + 8;
};

TEST_F(StoreLoad, BuildsIndexAndCountersFromTheKindsItKnows) {
    makeSite(pointBytes(1, 2, KIND_SURVEY_POINT, {reading(-70 * 256), reading(-40 * 256)}) +
             pointBytes(3, 4, KIND_DYNAMIC_AP) +
             pointBytes(5, 6, KIND_DELETED, {reading(-10 * 256)}) +
             pointBytes(7, 8, 9, {reading(-10 * 256), reading(-11 * 256)}) +
             pointBytes(9, 10, KIND_SURVEY_POINT));
    const StoreOutcome loaded = store.loadPoints();
    ASSERT_TRUE(loaded);
    ASSERT_EQ(store.index().size(), 3u);
    EXPECT_EQ(store.locationCount(), 2);
    EXPECT_EQ(store.readingTotal(), 2);
    EXPECT_EQ(store.index()[0].bestRssi, -40);
    EXPECT_EQ(store.index()[0].readingCount, 2);
    EXPECT_EQ(store.index()[1].kind, KIND_DYNAMIC_AP);
    EXPECT_EQ(store.index()[1].bestRssi, -100);
    EXPECT_EQ(store.index()[1].fileOffset, kFirst + 71 + 82);
    // The readings of the deleted and unknown records were stepped over.
    EXPECT_EQ(store.index()[2].x, 9);
    EXPECT_EQ(store.index()[2].bestRssi, -100); // no readings
    EXPECT_EQ(store.index()[2].fileOffset, kFirst + 71 + 82 + 71 + 71 + 41 + 71 + 82);
    EXPECT_TRUE(loaded.notices.empty());
}

TEST_F(StoreLoad, RssiIsTruncatedTowardZeroAndFloorsAtMinus100) {
    makeSite(pointBytes(0, 0, KIND_SURVEY_POINT, {reading(-110 * 256), reading(-25700)}) +
             pointBytes(0, 0, KIND_SURVEY_POINT, {reading(-3200), reading(-120 * 256)}));
    ASSERT_TRUE(store.loadPoints());
    EXPECT_EQ(store.index()[0].bestRssi, -100); // -25700 / 256 = -100.39 -> -100, not above
    EXPECT_EQ(store.index()[1].bestRssi, -12);  // -12.5 dBm truncates to -12
}

TEST_F(StoreLoad, PartialRecordAtTheEndIsIgnoredAndCut) {
    Bytes whole = pointBytes(1, 1, KIND_SURVEY_POINT, {reading(-50 * 256)});
    Bytes partial = pointBytes(2, 2, KIND_SURVEY_POINT);
    partial.resize(30);
    makeSite(whole + partial);
    const StoreOutcome loaded = store.loadPoints();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(store.index().size(), 1u);
    EXPECT_EQ(fileSize(), kFirst + whole.size());
    EXPECT_EQ(loaded.notices.size(), 1u); // what was cut, and where the copy is

    // The next point lands aligned and both load again.
    store.beginPoint(5, 5, "TEST");
    std::vector<ApRecord> one = {ap(1, -44)};
    ASSERT_EQ(store.commitPoint(one).stored, 1);
    ASSERT_TRUE(store.loadPoints());
    ASSERT_EQ(store.index().size(), 2u);
    EXPECT_EQ(store.index()[1].x, 5);
    EXPECT_EQ(store.index()[1].bestRssi, -44);
}

TEST_F(StoreLoad, FewerReadingsThanAnnouncedRewritesTheCount) {
    Bytes first = pointBytes(1, 1, KIND_SURVEY_POINT, {reading(-50 * 256)});
    Bytes torn = pointBytes(2, 2, KIND_SURVEY_POINT, {reading(-60 * 256), reading(-30 * 256)}, 5);
    torn.resize(torn.size() + 17, 0xCC); // part of a third reading
    makeSite(first + torn);
    ASSERT_TRUE(store.loadPoints());
    ASSERT_EQ(store.index().size(), 2u);
    EXPECT_EQ(store.index()[1].readingCount, 2);
    EXPECT_EQ(store.index()[1].bestRssi, -30);
    EXPECT_EQ(store.readingTotal(), 3);
    Bytes f = file();
    ASSERT_EQ(f.size(), kFirst + first.size() + 71 + 82);
    EXPECT_EQ(recordAt(f, kFirst + first.size()).readingCount(), 2);

    store.beginPoint(9, 9, "TEST");
    EXPECT_EQ(store.commitPoint({}).stored, 0);
    ASSERT_TRUE(store.loadPoints());
    ASSERT_EQ(store.index().size(), 3u);
    EXPECT_EQ(store.index()[2].x, 9);
    EXPECT_EQ(store.readingTotal(), 3);
}

TEST_F(StoreLoad, DiscardLeavesOnlyTheSectionHead) {
    makeSite(pointBytes(1, 1, KIND_SURVEY_POINT, {reading(-50 * 256)}) +
             pointBytes(2, 2, KIND_DYNAMIC_AP));
    ASSERT_TRUE(store.loadPoints());
    ASSERT_TRUE(store.discardPoints());
    EXPECT_EQ(fileSize(), kPointsAt + 8u);
    EXPECT_EQ(store.locationCount(), 0);
    EXPECT_EQ(store.readingTotal(), 0);
    EXPECT_TRUE(store.index().empty());
    Bytes f = file();
    EXPECT_EQ(f[kPointsAt], 71);
    EXPECT_EQ(f[kPointsAt + 4], 41);
}

TEST_F(StoreLoad, OtherRecordSizesAreNeverReadOrWritten) {
    Bytes points = pointBytes(1, 1, KIND_SURVEY_POINT);
    makeSite(points, 72, 41);
    Bytes before = file();
    const StoreOutcome loaded = store.loadPoints();
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(store.index().empty());
    store.beginPoint(0, 0, "TEST");
    const CommitOutcome committed = store.commitPoint({});
    EXPECT_EQ(committed.stored, -1);
    const StoreOutcome placed = store.placeAccessPoint(0, 0);
    EXPECT_FALSE(placed);
    const StoreOutcome discarded = store.discardPoints();
    EXPECT_FALSE(discarded);
    EXPECT_EQ(file(), before);
    for (const Notices& told :
         {loaded.notices, committed.notices, placed.notices, discarded.notices})
        EXPECT_EQ(told.size(), 1u);
    ASSERT_FALSE(loaded.notices.empty());
    EXPECT_NE(loaded.notices[0].text.find("72 and 41"), std::string::npos);

    makeSite({}, 71, 40);
    EXPECT_FALSE(store.loadPoints());

    // A file that ends before its points section.
    const SiteHeader h = makeHeader();
    testkit::writeFileBytes(path, Bytes(h.bytes.begin(), h.bytes.end()));
    EXPECT_FALSE(store.loadPoints());
    EXPECT_EQ(fileSize(), 152u);
}

class StoreDelete : public StoreLoad {
protected:
    void SetUp() override {
        std::vector<ApReading> seven;
        for (int i = 0; i < 7; ++i)
            seven.push_back(reading((-80 + i) * 256, 1, uint8_t(i)));
        makeSite(pointBytes(100, 100, KIND_SURVEY_POINT, seven) +
                 pointBytes(200, 200, KIND_DYNAMIC_AP) +
                 pointBytes(300, 300, KIND_SURVEY_POINT, {reading(-50 * 256)}));
        ASSERT_TRUE(store.loadPoints());
        ASSERT_EQ(store.locationCount(), 2);
        ASSERT_EQ(store.readingTotal(), 8);
    }
};

TEST_F(StoreDelete, SurveyPointLowersCountersByOneAndItsReadings) {
    ASSERT_EQ(store.findNearest(100, 100), KIND_SURVEY_POINT);
    const StoreOutcome deleted = store.deletePoint();
    ASSERT_TRUE(deleted);
    EXPECT_EQ(store.locationCount(), 1);
    EXPECT_EQ(store.readingTotal(), 1);
    EXPECT_EQ(store.index()[0].kind, KIND_DELETED);
    ASSERT_EQ(deleted.notices.size(), 1u);
    EXPECT_EQ(deleted.notices[0].text, "Deleted.");
    EXPECT_EQ(deleted.notices[0].caption, "");
    EXPECT_EQ(deleted.notices[0].icon, MessageIcon::None);
    EXPECT_EQ(deleted.notices[0].soundAfter, "");
    EXPECT_EQ(recordAt(file(), kFirst).kind(), KIND_DELETED);

    // A second delete of the same find changes nothing more, and says nothing.
    const StoreOutcome again = store.deletePoint();
    EXPECT_FALSE(again);
    EXPECT_TRUE(again.notices.empty());
    EXPECT_EQ(store.locationCount(), 1);

    ASSERT_TRUE(store.loadPoints());
    ASSERT_EQ(store.index().size(), 2u);
    EXPECT_EQ(store.index()[0].kind, KIND_DYNAMIC_AP);
    EXPECT_EQ(store.locationCount(), 1);
    EXPECT_EQ(store.readingTotal(), 1);
}

TEST_F(StoreDelete, PlacedApLeavesTheCounters) {
    ASSERT_EQ(store.findNearest(210, 200), KIND_DYNAMIC_AP);
    ASSERT_TRUE(store.deletePoint());
    EXPECT_EQ(store.locationCount(), 2);
    EXPECT_EQ(store.readingTotal(), 8);
    EXPECT_EQ(store.index()[1].kind, KIND_DELETED);
    Bytes f = file();
    EXPECT_EQ(recordAt(f, kFirst + 71 + 7 * 41).kind(), KIND_DELETED);
    EXPECT_EQ(recordAt(f, kFirst + 71 + 7 * 41).x(), 200);
}

TEST_F(StoreDelete, UnreadableRecordIsReportedAndNothingChanges) {
    ASSERT_EQ(store.findNearest(300, 300), KIND_SURVEY_POINT);
    // Someone cut the file behind the store's back.
    std::filesystem::resize_file(path, store.found().fileOffset + 20);
    const StoreOutcome deleted = store.deletePoint();
    EXPECT_FALSE(deleted);
    ASSERT_EQ(deleted.notices.size(), 1u);
    EXPECT_NE(deleted.notices[0].text, "Deleted.");
    EXPECT_EQ(store.locationCount(), 2);
    EXPECT_EQ(store.readingTotal(), 8);
    EXPECT_EQ(store.index()[2].kind, KIND_SURVEY_POINT);
}

TEST_F(StoreDelete, AnotherRecordWhereThePointWasIsLeftAlone) {
    ASSERT_EQ(store.findNearest(300, 300), KIND_SURVEY_POINT);
    Bytes f = file();
    f[store.found().fileOffset] ^= 1; // x differs now
    testkit::writeFileBytes(path, f);
    EXPECT_FALSE(store.deletePoint());
    EXPECT_EQ(file(), f);
    EXPECT_EQ(store.locationCount(), 2);
}

TEST_F(StoreDelete, ReadReadingStaysWithinTheFoundPoint) {
    ASSERT_EQ(store.findNearest(100, 100), KIND_SURVEY_POINT);
    for (int i = 1; i <= 7; ++i) {
        std::optional<ApReading> r = store.readReading(i).reading;
        ASSERT_TRUE(r.has_value()) << i;
        EXPECT_EQ(r->rssi256(), (-80 + i - 1) * 256);
        EXPECT_EQ(r->mac()[5], i - 1);
    }
    EXPECT_FALSE(store.readReading(8).reading.has_value()); // that would be the next record
    EXPECT_FALSE(store.readReading(0).reading.has_value());
    ASSERT_EQ(store.findNearest(200, 200), KIND_DYNAMIC_AP);
    EXPECT_FALSE(store.readReading(1).reading.has_value());
}

TEST(StoreHeaderFlags, ClearedFlagsAreWrittenAndOtherBytesKept) {
    testkit::TempDir dir;
    auto path = dir.file("site.kvs");
    // A 200-byte header: the 48 bytes past what the store holds must stay.
    SiteHeader h = makeHeader(kPointsAt, 200);
    Bytes bytes = siteBytes({}, 71, 41, h);
    for (size_t i = 152; i < 200; ++i)
        bytes[i] = static_cast<unsigned char>(i);
    testkit::writeFileBytes(path, bytes);

    CSurveyStore store;
    store.adoptSite(path.string(), h);
    int fd = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(store.clearHeaderFlags(fd));
    ::close(fd);

    Bytes after = testkit::readFileBytes(path);
    Bytes expected = bytes;
    expected[12] = 0;
    expected[150] = 0;
    EXPECT_EQ(after, expected);
    EXPECT_EQ(store.header().clearedFlagA(), 0);
    EXPECT_EQ(store.header().clearedFlagB(), 0);
}

} // namespace
} // namespace walkmere
