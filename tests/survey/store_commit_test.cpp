// Storing a measured point, placing access points, and the file being unavailable.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "testkit/StoreFixture.h"

namespace walkmere {
namespace {

using namespace storetest;

class StoreCommit : public ::testing::Test, public StoreFixture {
protected:
    void SetUp() override {
        makeSite();
        const StoreOutcome loaded = store.loadPoints();
        ASSERT_TRUE(loaded);
        ASSERT_TRUE(loaded.notices.empty());
    }
    static constexpr size_t kFirst = kPointsAt + 8; // where the first record lands
};

TEST_F(StoreCommit, ReadingsGoWeakestFirstWithTheFinalCountInTheRecord) {
    store.beginPoint(10, 20, "TEST");
    std::vector<ApRecord> certified = {ap(1, -70), ap(2, -50), ap(3, -60)};
    const CommitOutcome committed = store.commitPoint(certified);
    EXPECT_EQ(committed.stored, 1);

    Bytes f = file();
    ASSERT_EQ(f.size(), kFirst + kPointRecordSize + 3 * kReadingSize);
    PointRecord p = recordAt(f, kFirst);
    EXPECT_EQ(p.x(), 10);
    EXPECT_EQ(p.y(), 20);
    EXPECT_EQ(p.label(), "TEST");
    EXPECT_EQ(p.readingCount(), 3);
    EXPECT_EQ(p.kind(), KIND_SURVEY_POINT);
    for (size_t i = 42; i < 70; ++i)
        EXPECT_EQ(p.bytes[i], 0) << "channelNoise byte " << i;
    EXPECT_EQ(readingAt(f, kFirst + 71).rssi256(), -70 * 256);
    EXPECT_EQ(readingAt(f, kFirst + 71 + 41).rssi256(), -60 * 256);
    EXPECT_EQ(readingAt(f, kFirst + 71 + 82).rssi256(), -50 * 256);
    EXPECT_EQ(readingAt(f, kFirst + 71 + 82).mac()[5], 2);

    EXPECT_EQ(store.bestRssi(), -50);
    EXPECT_EQ(store.locationCount(), 1);
    EXPECT_EQ(store.readingTotal(), 3);
    EXPECT_FALSE(store.noApHeard());
    ASSERT_EQ(store.index().size(), 1u);
    const PointIndexEntry& e = store.index()[0];
    EXPECT_EQ(e.x, 10);
    EXPECT_EQ(e.bestRssi, -50);
    EXPECT_EQ(e.readingCount, 3);
    EXPECT_EQ(e.kind, KIND_SURVEY_POINT);
    EXPECT_EQ(e.fileOffset, kFirst);
    EXPECT_EQ(store.pointOffset(), kFirst);
    EXPECT_TRUE(committed.notices.empty());

    // What loading makes of it is what the commit put in the index.
    CSurveyStore other;
    other.adoptSite(path.string(), makeHeader());
    ASSERT_TRUE(other.loadPoints());
    ASSERT_EQ(other.index().size(), 1u);
    EXPECT_EQ(other.index()[0].bestRssi, -50);
    EXPECT_EQ(other.readingTotal(), 3);
}

TEST_F(StoreCommit, EqualRssiKeepsTableOrderAndWeakSignalsScaleExactly) {
    store.beginPoint(0, 0, "TEST");
    std::vector<ApRecord> certified = {ap(7, -65), ap(3, -65), ap(9, -101)};
    EXPECT_EQ(store.commitPoint(certified).stored, 1);
    Bytes f = file();
    EXPECT_EQ(readingAt(f, kFirst + 71).rssi256(), -25856); // -101 dBm
    EXPECT_EQ(readingAt(f, kFirst + 71 + 41).mac()[5], 7);
    EXPECT_EQ(readingAt(f, kFirst + 71 + 82).mac()[5], 3);
    EXPECT_EQ(store.bestRssi(), -65);

    store.beginPoint(5, 5, "TEST");
    std::vector<ApRecord> faint = {ap(9, -101)};
    EXPECT_EQ(store.commitPoint(faint).stored, 1);
    EXPECT_EQ(store.bestRssi(), -100);
    EXPECT_EQ(store.index().back().bestRssi, -100);
}

TEST_F(StoreCommit, APointHoldsAtMost32ReadingsTheStrongest) {
    // More than the live table can certify: a file with such a point would be refused.
    std::vector<ApRecord> certified;
    for (int i = 0; i < 40; ++i)
        certified.push_back(ap(uint8_t(i), int8_t(-90 + i)));
    store.beginPoint(0, 0, "TEST");
    EXPECT_EQ(store.commitPoint(certified).stored, 1);
    ASSERT_EQ(fileSize(), kFirst + 71 + 32 * 41);
    EXPECT_EQ(readingAt(file(), kFirst + 71).rssi256(), -82 * 256); // the 8 weakest left out
    ASSERT_TRUE(store.loadPoints());
    EXPECT_EQ(store.readingTotal(), 32);
}

TEST_F(StoreCommit, SsidChannelAndMacAreStoredAsTheBoardGaveThem) {
    const std::string ssid32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    store.beginPoint(0, 0, "TEST");
    std::vector<ApRecord> certified = {ap(1, -90, 5030, ssid32), ap(2, -80, 5180, "short"),
                                       ap(3, -70, 2412, "legacy")};
    EXPECT_EQ(store.commitPoint(certified).stored, 1);
    Bytes f = file();
    ApReading r1 = readingAt(f, kFirst + 71);
    EXPECT_EQ(r1.channel(), 6);
    EXPECT_EQ(r1.ssid(), ssid32);
    EXPECT_TRUE(std::equal(ssid32.begin(), ssid32.end(), r1.bytes.begin() + 9)); // no NUL
    const uint8_t mac[6] = {0xA0, 1, 2, 3, 4, 1};
    EXPECT_TRUE(std::equal(mac, mac + 6, r1.mac()));
    ApReading r2 = readingAt(f, kFirst + 71 + 41);
    EXPECT_EQ(r2.channel(), 36);
    EXPECT_EQ(r2.ssid(), "short");
    EXPECT_EQ(r2.bytes[9 + 5], 0);
    // (2412 - 5000) / 5 = -517 = 0xFDFB: the low byte is kept.
    EXPECT_EQ(readingAt(f, kFirst + 71 + 82).channel(), 0xFB);
}

// Each record stored alone, its reading byte for byte: the handheld's bytes for every board
// entry but those our own boards marked 6 GHz.
TEST_F(StoreCommit, ReadingsAreTheHandheldsBytesAndOnlyMarked6GhzReadsAs6Ghz) {
    const auto ending = [](ApRecord r, const std::array<uint8_t, 8>& bytes) {
        std::copy(bytes.begin(), bytes.end(), r.bytes.begin() + ApRecord::kBandMarkOffset);
        return r;
    };
    const std::array<uint8_t, 8> six = ApRecord::kSixGhzMark,
                                 foreign = {'W', 'M', 'B', 'A', 'N', 'D', 5};
    const struct {
        ApRecord record;
        uint8_t channel;
        int16_t rssi256;
        ReadingBand band;
    } cases[] = {
        {ap(1, -70, 5005), 1, -70 * 256, ReadingBand::Ghz24},
        {ap(2, -101, 5180), 36, -101 * 256, ReadingBand::Ghz5},
        {ap(3, -60, 6000), 200, -60 * 256, ReadingBand::Unknown},
        {ending(ap(4, -70, 5005), foreign), 1, -70 * 256, ReadingBand::Ghz24},
        {ending(ap(5, -70, 5005), six), 1, -70 * 256 - 6, ReadingBand::Ghz6},
        {ending(ap(6, 0, 5005), six), 1, -1 * 256 - 6, ReadingBand::Ghz6},
        {ending(ap(7, -128, 6165), six), 233, -127 * 256 - 6, ReadingBand::Ghz6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record.macText());
        const uint64_t at = fileSize();
        store.beginPoint(0, 0, "TEST");
        ASSERT_EQ(store.commitPoint(std::vector<ApRecord>{c.record}).stored, 1);
        ApReading want;
        want.setChannel(c.channel);
        want.setRssi256(c.rssi256);
        want.setMac(c.record.mac());
        want.setSsid(c.record.ssid());
        const ApReading stored = readingAt(file(), at + kPointRecordSize);
        EXPECT_EQ(stored.bytes, want.bytes);
        EXPECT_EQ(stored.band(), c.band);
        EXPECT_EQ(stored.rssiDbm(), c.rssi256 / 256);
        // Any other remainder is reserved: no band, the same dBm.
        want.setRssi256(int16_t(c.rssi256 / 256 * 256 - 3));
        EXPECT_EQ(want.band(), ReadingBand::Unknown);
        EXPECT_EQ(want.rssiDbm(), c.rssi256 / 256);
    }
}

TEST_F(StoreCommit, NoCertifiedApStoresAnEmptyPointAndSaysSo) {
    store.beginPoint(3, 4, "TEST");
    EXPECT_EQ(store.commitPoint({}).stored, 0);
    EXPECT_TRUE(store.noApHeard());
    EXPECT_EQ(store.locationCount(), 1);
    EXPECT_EQ(store.readingTotal(), 0);
    EXPECT_EQ(store.index().back().bestRssi, -100);
    EXPECT_EQ(fileSize(), kFirst + kPointRecordSize);
    EXPECT_EQ(recordAt(file(), kFirst).readingCount(), 0);
    // Opening a site (this one again) keeps the outcome of the last commit.
    store.adoptSite(path.string(), makeHeader());
    ASSERT_TRUE(store.loadPoints());
    EXPECT_TRUE(store.noApHeard());

    // Empty board entries are not APs; the next commit clears the flag.
    store.beginPoint(3, 4, "TEST");
    std::vector<ApRecord> blank = {ap(1, -50, 0)};
    EXPECT_EQ(store.commitPoint(blank).stored, 0);
    store.beginPoint(3, 4, "TEST");
    std::vector<ApRecord> one = {ap(1, -50)};
    EXPECT_EQ(store.commitPoint(one).stored, 1);
    EXPECT_FALSE(store.noApHeard());
    EXPECT_EQ(store.locationCount(), 3);
}

TEST_F(StoreCommit, PlacedAccessPointHasNoReadingsAndLeavesTheCounters) {
    ASSERT_TRUE(store.placeAccessPoint(-5, 70));
    Bytes f = file();
    ASSERT_EQ(f.size(), kFirst + kPointRecordSize);
    PointRecord p = recordAt(f, kFirst);
    EXPECT_EQ(p.label(), "AP");
    EXPECT_EQ(p.kind(), KIND_DYNAMIC_AP);
    EXPECT_EQ(p.readingCount(), 0);
    EXPECT_EQ(p.x(), -5);
    EXPECT_EQ(store.locationCount(), 0);
    ASSERT_EQ(store.index().size(), 1u);
    EXPECT_EQ(store.index()[0].kind, KIND_DYNAMIC_AP);
    EXPECT_EQ(store.index()[0].bestRssi, -100);
}

TEST_F(StoreCommit, UnopenableOrLockedFileIsReportedAndNothingStored) {
    // Another operation holds the file.
    int holder = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    store.beginPoint(1, 1, "TEST");
    std::vector<ApRecord> one = {ap(1, -50)};
    const CommitOutcome committed = store.commitPoint(one);
    const StoreOutcome placed = store.placeAccessPoint(2, 2);
    ::close(holder);
    EXPECT_EQ(committed.stored, -1);
    EXPECT_FALSE(placed);
    // The box, then the alert played to its end, for each.
    for (const Notices& told : {committed.notices, placed.notices}) {
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].text, "<<<The file is in use by another program.<" + path.string() + ">");
        EXPECT_EQ(told[0].soundAfter, "REDALERT");
    }
    EXPECT_EQ(fileSize(), kFirst);
    EXPECT_EQ(store.locationCount(), 0);
    EXPECT_TRUE(store.index().empty());

    // Free again: the same point goes in.
    EXPECT_EQ(store.commitPoint(one).stored, 1);
    EXPECT_EQ(store.locationCount(), 1);

    // A site that is gone.
    store.setSitePath(dir.file("missing.kvs").string());
    const CommitOutcome gone = store.commitPoint(one);
    EXPECT_EQ(gone.stored, -1);
    EXPECT_EQ(texts(gone.notices).at(0), "<<<" + std::string(std::strerror(ENOENT)) + "<" +
                                             dir.file("missing.kvs").string() + ">");
    EXPECT_EQ(store.locationCount(), 1);
}

TEST_F(StoreCommit, NoSiteYetFailsInTheOpen) {
    CSurveyStore fresh;
    fresh.beginPoint(0, 0, "TEST");
    const CommitOutcome committed = fresh.commitPoint({});
    EXPECT_EQ(committed.stored, -1);
    EXPECT_FALSE(fresh.loadPoints());
    EXPECT_EQ(texts(committed.notices).at(0), "<<<" + std::string(std::strerror(ENOENT)) + "<>");
    EXPECT_EQ(fresh.locationCount(), 0);
}

} // namespace
} // namespace walkmere
