// The signature block: its bytes, where they go, and a write that fails.
#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <span>

#include "survey/FileOps.h"
#include "survey/SignatureBlock.h"
#include "testkit/FailingFileOps.h"
#include "testkit/StoreFixture.h"

namespace walkmere {
namespace {

using namespace storetest;
using signature::kBlockSize;
using signature::kRowBytes;
using testkit::FailingFileOps;

constexpr size_t kSignatureAt = 152; // makeHeader's signatureOffset

BlankPixelTest inkAt(std::vector<std::pair<int, int>> pixels) {
    return [pixels](int x, int y) {
        for (auto [px, py] : pixels)
            if (px == x && py == y) return false;
        return true;
    };
}

// The block for an all-white pad with some bytes overridden.
Bytes whiteBlock() {
    Bytes b(kBlockSize, 0xFF);
    for (int row = 0; row < signature::kRecordedRows; ++row)
        b[static_cast<size_t>(row * kRowBytes + 25)] = 0;
    return b;
}

class SignatureWrite : public ::testing::Test, public StoreFixture {
protected:
    void SetUp() override {
        makeSite(pointBytes(5, 6, KIND_SURVEY_POINT, {reading(-60 * 256)}));
        before = file();
    }
    Bytes blockInFile() const {
        Bytes f = file();
        return Bytes(f.begin() + kSignatureAt, f.begin() + kSignatureAt + kBlockSize);
    }
    // Everything outside the signature block is as it was.
    void expectRestUnchanged() const {
        Bytes f = file();
        ASSERT_EQ(f.size(), before.size());
        for (size_t i = 0; i < f.size(); ++i) {
            if (i >= kSignatureAt && i < kSignatureAt + kBlockSize) continue;
            ASSERT_EQ(f[i], before[i]) << "byte " << i;
        }
    }
    Bytes before;
};

TEST_F(SignatureWrite, OneInkPixelAtTheOriginMakesTheFirstByte7F) {
    const StoreOutcome written = writeSignature(store, inkAt({{0, 0}}));
    ASSERT_TRUE(written);
    Bytes expected = whiteBlock();
    expected[0] = 0x7F;
    EXPECT_EQ(blockInFile(), expected);
    expectRestUnchanged();
    EXPECT_TRUE(written.notices.empty());
    EXPECT_EQ(store.siteFileDescriptor(), -1) << "the file is closed again";
}

TEST_F(SignatureWrite, BitsRunMostSignificantFirstAcrossTheRecordedRows) {
    ASSERT_TRUE(writeSignature(store, inkAt({{9, 3}, {199, 64}, {7, 0}})));
    Bytes expected = whiteBlock();
    expected[0] = 0xFE;                   // column 7: bit 0 of byte 0
    expected[3 * kRowBytes + 1] = 0xBF;   // column 9: bit 6 of byte 1
    expected[64 * kRowBytes + 24] = 0xFE; // column 199: bit 0 of byte 24
    EXPECT_EQ(blockInFile(), expected);
}

TEST_F(SignatureWrite, RowsFrom65AreAlwaysWhite) {
    ASSERT_TRUE(writeSignature(store, inkAt({{0, 70}, {100, 65}, {199, 99}})));
    EXPECT_EQ(blockInFile(), whiteBlock());
}

TEST_F(SignatureWrite, AFullyInkedPadLeavesOnlyTheUnrecordedRowsWhite) {
    ASSERT_TRUE(writeSignature(store, [](int, int) { return false; }));
    Bytes expected(kBlockSize, 0xFF);
    std::fill(expected.begin(), expected.begin() + 65 * kRowBytes, 0);
    EXPECT_EQ(blockInFile(), expected);
}

TEST_F(SignatureWrite, AWriteThatFailsPartWayIsReportedAndThePreviousBlockPutBack) {
    ASSERT_TRUE(writeSignature(store, inkAt({{0, 0}})));
    before = file();

    FailingFileOps failing;
    failing.failOn(FailingFileOps::Call::Write, 1, ENOSPC, 1000);
    ScopedFileOps use(failing);
    const StoreOutcome written = writeSignature(store, inkAt({{50, 50}}));
    EXPECT_FALSE(written);
    EXPECT_EQ(file(), before);
    ASSERT_EQ(written.notices.size(), 1u);
    EXPECT_NE(written.notices[0].text.find("Could not write the signature"), std::string::npos);
    EXPECT_NE(written.notices[0].text.find(std::strerror(ENOSPC)), std::string::npos);
}

TEST_F(SignatureWrite, AFailedFlushIsReported) {
    FailingFileOps failing;
    failing.failOn(FailingFileOps::Call::Flush, 1, EIO);
    ScopedFileOps use(failing);
    const StoreOutcome written = writeSignature(store, inkAt({}));
    EXPECT_FALSE(written);
    ASSERT_EQ(written.notices.size(), 1u);
    EXPECT_NE(written.notices[0].text.find("Could not write the signature"), std::string::npos);
}

TEST_F(SignatureWrite, AMissingFileIsReportedByTheStoreAndNothingIsWritten) {
    std::filesystem::remove(path);
    const StoreOutcome written = writeSignature(store, inkAt({}));
    EXPECT_FALSE(written);
    ASSERT_EQ(written.notices.size(), 1u);
    EXPECT_EQ(written.notices[0].text.rfind("<<<", 0), 0u);
    EXPECT_EQ(written.notices[0].soundAfter, "REDALERT");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(SignatureWrite, ABlockThatWouldOverlapThePointsIsRefused) {
    SiteHeader h = makeHeader();
    h.setSignatureOffset(kPointsAt - 100);
    store.adoptSite(path.string(), h);
    const StoreOutcome written = writeSignature(store, inkAt({}));
    EXPECT_FALSE(written);
    EXPECT_EQ(file(), before);
    ASSERT_EQ(written.notices.size(), 1u);
    EXPECT_NE(written.notices[0].text.find("signature was not written"), std::string::npos);
}

TEST(SignatureBlockDecoding, ReadsBackWhatWasBuiltAndNothingOfMissingRows) {
    const auto block = buildSignatureBlock(inkAt({{0, 0}, {9, 3}, {199, 64}}));
    struct Case {
        int x, y;
        std::optional<bool> blank;
    } const cases[] = {
        {0, 0, false},    {1, 0, true},    {9, 3, false}, {8, 3, true},
        {199, 64, false}, {199, 65, true}, {0, 99, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(signaturePixelIsBlank(block, c.x, c.y), c.blank) << c.x << ", " << c.y;
    const std::span<const uint8_t> cut(block.data(), 3 * kRowBytes + 10);
    EXPECT_EQ(signaturePixelIsBlank(cut, 1, 2), true);
    EXPECT_EQ(signaturePixelIsBlank(cut, 0, 3), std::nullopt) << "row 3 is cut short";
}

TEST(SignatureImage, StartsBlankKeepsInkAndTreatsOutsideAsBlank) {
    SignatureImage image;
    EXPECT_TRUE(image.isBlankPixel(0, 0));
    image.setInk(199, 99, true);
    image.setInk(200, 0, true); // outside: ignored
    EXPECT_FALSE(image.isBlankPixel(199, 99));
    EXPECT_TRUE(image.isBlankPixel(200, 0));
    EXPECT_TRUE(image.isBlankPixel(-1, 5));

    image.capture(inkAt({{3, 4}}));
    EXPECT_FALSE(image.isBlankPixel(3, 4));
    EXPECT_TRUE(image.isBlankPixel(199, 99)) << "capture replaces every pixel";
}

} // namespace
} // namespace walkmere
