// Walking a points section record by record.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "survey/PointsWalk.h"
#include "testkit/StoreFixture.h"

namespace walkmere {
namespace {

using namespace storetest;

struct Walk {
    PointsWalkEnd::Status status;
    std::vector<PointsEntry> entries;
    PointsTail tail;
};

Walk walk(const Bytes& file, size_t bufferSize, uint64_t pointsAt = kPointsAt) {
    testkit::TempDir dir;
    testkit::writeFileBytes(dir.file("f"), file);
    int fd = ::open(dir.file("f").c_str(), O_RDONLY);
    Walk w;
    const PointsWalkEnd end = walkPointsSection(
        fd, pointsAt,
        [&](const PointsEntry& e, const PointSummary&) {
            w.entries.push_back(e);
            return true;
        },
        bufferSize);
    w.status = end.status;
    w.tail = end.tail;
    ::close(fd);
    return w;
}

std::vector<ApReading> readings(int n, int base) {
    std::vector<ApReading> r;
    for (int i = 0; i < n; ++i)
        r.push_back(reading((base - i) * 256, uint8_t(i), uint8_t(i)));
    return r;
}

TEST(StorePointsReader, SmallAndLargeBuffersYieldTheSameRecords) {
    Bytes points;
    for (int i = 0; i < 40; ++i)
        points = points + pointBytes(i, -i, uint8_t(i % 3), readings(i % 9, -30 - i));
    Bytes file = siteBytes(points);
    Walk big = walk(file, kPointsWalkBuffer);
    Walk small = walk(file, 256); // records straddle every refill
    ASSERT_EQ(big.status, PointsWalkEnd::Status::End);
    ASSERT_EQ(small.status, PointsWalkEnd::Status::End);
    ASSERT_EQ(big.entries.size(), 40u);
    ASSERT_EQ(small.entries.size(), 40u);
    uint64_t offset = kPointsAt + 8;
    for (int i = 0; i < 40; ++i) {
        const PointsEntry& a = big.entries[size_t(i)];
        const PointsEntry& b = small.entries[size_t(i)];
        EXPECT_EQ(a.fileOffset, offset);
        EXPECT_EQ(b.fileOffset, offset);
        EXPECT_EQ(a.record.bytes, b.record.bytes);
        EXPECT_EQ(a.record.x(), i);
        ASSERT_EQ(a.readingsPresent(), i % 9);
        ASSERT_EQ(b.readingsPresent(), i % 9);
        for (int k = 0; k < i % 9; ++k) {
            EXPECT_EQ(a.readings[size_t(k)].bytes, b.readings[size_t(k)].bytes);
            EXPECT_EQ(a.readings[size_t(k)].rssi256(), (-30 - i - k) * 256);
        }
        offset += 71 + 41 * uint64_t(i % 9);
    }
    EXPECT_FALSE(big.tail.torn);
    EXPECT_EQ(big.tail.wholeEnd, file.size());
    EXPECT_EQ(big.tail.fileEnd, file.size());
}

TEST(StorePointsReader, ReportsTornTails) {
    Bytes first = pointBytes(1, 1, KIND_SURVEY_POINT, readings(2, -40));
    Bytes cut = pointBytes(2, 2, KIND_SURVEY_POINT, readings(4, -40));
    cut.resize(71 + 41 + 10); // one whole reading and ten bytes of the next
    Walk w = walk(siteBytes(first + cut), 256);
    ASSERT_EQ(w.entries.size(), 2u);
    EXPECT_EQ(w.entries[1].readingsPresent(), 1);
    EXPECT_TRUE(w.entries[1].readingsCut());
    EXPECT_EQ(w.status, PointsWalkEnd::Status::End);
    EXPECT_TRUE(w.tail.torn);
    EXPECT_TRUE(w.tail.readingsCut);
    EXPECT_EQ(w.tail.cutRecordOffset, kPointsAt + 8 + first.size());
    EXPECT_EQ(w.tail.announced, 4);
    EXPECT_EQ(w.tail.present, 1);
    EXPECT_EQ(w.tail.wholeEnd, kPointsAt + 8 + first.size() + 71 + 41);
    EXPECT_EQ(w.tail.tornBytes(), 10u);

    Bytes partial = pointBytes(3, 3, KIND_DYNAMIC_AP);
    partial.resize(70);
    Walk p = walk(siteBytes(first + partial), 4096);
    ASSERT_EQ(p.entries.size(), 1u);
    EXPECT_TRUE(p.tail.torn);
    EXPECT_FALSE(p.tail.readingsCut);
    EXPECT_EQ(p.tail.wholeEnd, kPointsAt + 8 + first.size());
    EXPECT_EQ(p.tail.tornBytes(), 70u);
}

TEST(StorePointsReader, RefusesMissingSectionAndOtherSizes) {
    EXPECT_EQ(walk(siteBytes(pointBytes(1, 1, 0), 70, 41), 4096).status,
              PointsWalkEnd::Status::BadSizes);
    EXPECT_EQ(walk(siteBytes(pointBytes(1, 1, 0), 71, 42), 4096).entries.size(), 0u);
    Bytes shortFile = siteBytes();
    shortFile.resize(kPointsAt + 5);
    EXPECT_EQ(walk(shortFile, 4096).status, PointsWalkEnd::Status::NoSection);
    Walk empty = walk(siteBytes(), 4096);
    EXPECT_EQ(empty.status, PointsWalkEnd::Status::End);
    EXPECT_FALSE(empty.tail.torn);
}

} // namespace
} // namespace walkmere
