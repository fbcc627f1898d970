#include "survey/SiteFile.h"

#include "testkit/SiteFileBuilder.h"
#include "testkit/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>

namespace walkmere {
namespace {

using sitefiletest::buildSite;
using sitefiletest::Bytes;
using sitefiletest::put16;
using sitefiletest::put32;

class SiteValidation_ : public ::testing::Test {
protected:
    SiteValidation check(const Bytes& bytes) {
        const auto path = dir.file("site.kvs");
        testkit::writeFileBytes(path, bytes);
        OwnedFd fd(::open(path.c_str(), O_RDONLY));
        EXPECT_TRUE(fd.valid());
        return validateSiteFile(fd.get());
    }
    // The refusal text, or "" when accepted.
    std::string refusal(const Bytes& bytes) {
        SiteValidation v = check(bytes);
        return v.refusal ? v.refusal->text : "";
    }

    testkit::TempDir dir;
};

TEST_F(SiteValidation_, AcceptsAWellFormedFileAndReadsItsLayout) {
    const auto site = buildSite();
    SiteValidation v = check(site.bytes);
    ASSERT_TRUE(v.accepted()) << v.refusal->text;
    EXPECT_EQ(v.layout.fileSize, site.bytes.size());
    EXPECT_EQ(v.layout.header.bitmapOffset(), site.bitmapOffset);
    EXPECT_EQ(v.layout.header.pointsOffset(), site.pointsOffset);
    EXPECT_EQ(v.layout.planBlockLength, site.planBlockLength);
    EXPECT_EQ(v.layout.planBlockBytes(), site.planBlockLength);
    EXPECT_DOUBLE_EQ(v.layout.header.pixelsPerUnitX(), 12.9);
    EXPECT_TRUE(
        std::equal(site.bytes.begin(), site.bytes.begin() + 152, v.layout.header.bytes.begin()));
}

TEST_F(SiteValidation_, NamesForeignAndObsoleteFilesWithTheProgramsTexts) {
    auto site = buildSite();
    Bytes wrongMagic = site.bytes;
    wrongMagic[7] = 0x43;
    EXPECT_EQ(refusal(wrongMagic), "Not a Site File.");
    EXPECT_EQ(check(wrongMagic).refusal->problem, SiteFileProblem::NotASiteFile);
    EXPECT_EQ(refusal({}), "Not a Site File.");
    EXPECT_EQ(refusal({0x98, 0, 0, 0, 0x2A, 0x53, 0x45}), "Not a Site File.");

    Bytes v3 = site.bytes;
    put16(v3, 8, 3);
    EXPECT_EQ(refusal(v3), "Obsolete Site File, recreate using Planwright");
    EXPECT_EQ(check(v3).refusal->problem, SiteFileProblem::Obsolete);

    Bytes v5 = site.bytes;
    put16(v5, 8, 5);
    EXPECT_EQ(refusal(v5), "");
}

TEST_F(SiteValidation_, ChecksMagicThenVersionThenLayout) {
    auto site = buildSite();
    Bytes b = site.bytes;
    put16(b, 8, 3);
    put32(b, 0, 40); // also a short header
    EXPECT_EQ(refusal(b), "Obsolete Site File, recreate using Planwright");
    b[4] = 0;
    EXPECT_EQ(refusal(b), "Not a Site File.");
}

TEST_F(SiteValidation_, RefusesHeadersTooShortOrLongerThanTheFile) {
    auto site = buildSite();
    Bytes b = site.bytes;
    put32(b, 0, 150);
    EXPECT_EQ(refusal(b), "Damaged Site File: header shorter than 151 bytes.");
    EXPECT_EQ(check(b).refusal->problem, SiteFileProblem::Damaged);
    put32(b, 0, 0xFFFFFFFF);
    EXPECT_EQ(refusal(b), "Damaged Site File: the file ends inside its header.");
    Bytes shortFile(site.bytes.begin(), site.bytes.begin() + 9);
    EXPECT_EQ(refusal(shortFile), "Damaged Site File: the file ends inside its header.");
}

TEST_F(SiteValidation_, RefusesPointSectionsWithOtherRecordSizes) {
    auto site = buildSite();
    for (auto [record, reading] : {std::pair{72u, 41u}, {71u, 40u}, {0u, 0u}}) {
        Bytes b = site.bytes;
        put32(b, site.pointsOffset, record);
        put32(b, site.pointsOffset + 4, reading);
        EXPECT_EQ(refusal(b), "Damaged Site File: points section gives record sizes " +
                                  std::to_string(record) + " and " + std::to_string(reading) +
                                  " instead of 71 and 41.");
    }
}

TEST_F(SiteValidation_, RefusesOffsetsOutsideTheFile) {
    auto site = buildSite();
    const uint32_t size = static_cast<uint32_t>(site.bytes.size());
    Bytes b = site.bytes;
    put32(b, SiteHeader::kPointsOffsetOffset, size - 7); // the section head does not fit
    EXPECT_EQ(refusal(b), "Damaged Site File: points section outside the file.");
    put32(b, SiteHeader::kPointsOffsetOffset, 0xFFFFFFFC); // would wrap in 32 bits
    EXPECT_EQ(refusal(b), "Damaged Site File: points section outside the file.");

    b = site.bytes;
    put32(b, SiteHeader::kSignatureOffsetOffset, 0xFFFFFF00);
    EXPECT_EQ(refusal(b), "Damaged Site File: signature block outside the file.");

    b = site.bytes;
    put32(b, SiteHeader::kBitmapOffsetOffset, size - 3);
    EXPECT_EQ(refusal(b), "Damaged Site File: floor-plan block outside the file.");
    put32(b, SiteHeader::kBitmapOffsetOffset, size - 4); // blockLength readable: accepted
    EXPECT_EQ(refusal(b), "");
}

TEST_F(SiteValidation_, RefusesBlocksThatOverlapTheHeaderOrThePoints) {
    auto site = buildSite();
    Bytes b = site.bytes;
    put32(b, SiteHeader::kPointsOffsetOffset, 100);
    EXPECT_EQ(refusal(b), "Damaged Site File: points section overlaps the header.");

    b = site.bytes;
    put32(b, SiteHeader::kSignatureOffsetOffset, 151);
    EXPECT_EQ(refusal(b), "Damaged Site File: signature block overlaps the header.");
    put32(b, SiteHeader::kSignatureOffsetOffset, 152); // right after the header: fine
    EXPECT_EQ(refusal(b), "");

    b = site.bytes;
    put32(b, SiteHeader::kSignatureOffsetOffset, site.pointsOffset - 2599);
    EXPECT_EQ(refusal(b), "Damaged Site File: signature block overlaps the points section.");
    put32(b, SiteHeader::kSignatureOffsetOffset, site.pointsOffset - 2600);
    EXPECT_EQ(refusal(b), "");
}

// A point record announcing `announced` readings, followed by `present` of them.
Bytes points(uint16_t announced, int present) {
    PointRecord p;
    p.setReadingCount(announced);
    Bytes b;
    b.reserve(p.bytes.size() + size_t(present) * kReadingSize);
    b.assign(p.bytes.begin(), p.bytes.end());
    b.resize(b.size() + size_t(present) * kReadingSize, 0x5A);
    return b;
}

TEST_F(SiteValidation_, RefusesPointRecordsAnnouncingMoreReadingsThanAPointHolds) {
    using sitefiletest::operator+;
    Bytes nineteen;
    for (int i = 0; i < 19; ++i)
        nineteen = nineteen + points(2, 2);
    const struct {
        Bytes points;
        long damagedAt; // from the first record; -1: accepted
        uint16_t announced;
    } cases[] = {
        {points(32, 32) + points(0, 0), -1, 0},
        {points(1, 1) + points(3, 1) + Bytes(20, 1), -1, 0}, // torn: the store repairs it
        {points(65535, 1) + nineteen, 0, 65535},
        {points(1, 1) + points(33, 33) + points(0, 0), 71 + 41, 33},
        {points(0, 0) + points(40, 35), 71, 40}, // more at the end than one commit writes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damagedAt);
        sitefiletest::SiteLayout layout;
        layout.points = c.points;
        const auto site = buildSite(layout);
        const uint64_t at = site.pointsOffset + 8 + uint64_t(c.damagedAt);
        SiteValidation v = check(site.bytes);
        EXPECT_EQ(v.refusal ? v.refusal->text : "",
                  c.damagedAt < 0 ? ""
                                  : "Damaged Site File: the point record at byte " +
                                        std::to_string(at) + " announces " +
                                        std::to_string(c.announced) + " readings (at most 32).");
        EXPECT_EQ(v.pointsDamage.has_value(), c.damagedAt >= 0);
        EXPECT_EQ(v.layout.header.pointsOffset(), site.pointsOffset); // the header is sound
    }
}

TEST_F(SiteValidation_, HoldsAtMost152HeaderBytes) {
    sitefiletest::SiteLayout layout;
    layout.headerLength = 200;
    auto longHeader = buildSite(layout);
    SiteValidation v = check(longHeader.bytes);
    ASSERT_TRUE(v.accepted()) << v.refusal->text;
    EXPECT_EQ(v.layout.header.headerLength(), 200u);
    EXPECT_TRUE(std::equal(longHeader.bytes.begin(), longHeader.bytes.begin() + 152,
                           v.layout.header.bytes.begin()));

    layout.headerLength = 151;
    auto shortest = buildSite(layout);
    v = check(shortest.bytes);
    ASSERT_TRUE(v.accepted()) << v.refusal->text;
    // Byte 151 of the file starts the floor-plan block; it is not header.
    EXPECT_NE(shortest.bytes[151], 0);
    EXPECT_EQ(v.layout.header.bytes[151], 0);
}

TEST_F(SiteValidation_, AFloorPlanBlockCutShortCountsOnlyTheBytesPresent) {
    auto site = buildSite();
    Bytes b = site.bytes;
    put32(b, site.bitmapOffset, 0x7FFFFFFF);
    SiteValidation v = check(b);
    ASSERT_TRUE(v.accepted());
    EXPECT_EQ(v.layout.planBlockLength, 0x7FFFFFFFu);
    EXPECT_EQ(v.layout.planBlockBytes(), b.size() - site.bitmapOffset);
}

TEST_F(SiteValidation_, ReadOnlyOpenReportsTheSystemsReason) {
    ReadOnlySite missing = openSiteReadOnly(dir.file("none.kvs"));
    EXPECT_FALSE(missing.accepted());
    EXPECT_EQ(missing.validation.refusal->problem, SiteFileProblem::CannotOpen);
    EXPECT_EQ(missing.validation.refusal->text, "No such file or directory");
}

} // namespace
} // namespace walkmere
