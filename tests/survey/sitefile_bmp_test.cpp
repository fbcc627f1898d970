#include "survey/BmpInfo.h"

#include "testkit/SiteFileBuilder.h"
#include "testkit/TempDir.h"

#include <gtest/gtest.h>

namespace walkmere {
namespace {

using sitefiletest::Bytes;
using sitefiletest::makeBmp;
using sitefiletest::put16;
using sitefiletest::put32;

BmpCheck check(const Bytes& b) {
    return checkBmp(b.data(), b.size(), b.size());
}

TEST(BmpInfo, ReadsTheHeadersOfAWholePicture) {
    const Bytes b = makeBmp(37, 23);
    BmpCheck c = check(b);
    ASSERT_TRUE(c.loadable) << c.problem;
    EXPECT_EQ(c.info->width, 37);
    EXPECT_EQ(c.info->height, 23);
    EXPECT_FALSE(c.info->topDown());
    EXPECT_EQ(c.info->bitCount, 24);
    EXPECT_EQ(c.info->compression, BmpInfo::kBiRgb);
    EXPECT_EQ(c.info->pixelOffset, 54u);
    EXPECT_EQ(c.info->rowStride(), 112u); // 111 bytes padded to 4

    BmpCheck topDown = check(makeBmp(5, -7));
    ASSERT_TRUE(topDown.loadable) << topDown.problem;
    EXPECT_TRUE(topDown.info->topDown());
    EXPECT_EQ(topDown.info->pixelHeight(), 7u);
}

TEST(BmpInfo, PixelsMustAllBeThereButPaddingAfterThemIsFine) {
    Bytes b = makeBmp(10, 10);
    EXPECT_FALSE(checkBmp(b.data(), b.size(), b.size() - 1).loadable);
    EXPECT_EQ(checkBmp(b.data(), b.size(), b.size() - 1).problem, "pixel data cut short");
    b.insert(b.end(), 3, 0);
    EXPECT_TRUE(check(b).loadable);
    // Only the start of the file need be given.
    EXPECT_TRUE(checkBmp(b.data(), 54, b.size()).loadable);
}

TEST(BmpInfo, RefusesWhatALoaderCannotTake) {
    const Bytes good = makeBmp(8, 8);
    EXPECT_FALSE(check({'B', 'M', 0}).info);
    Bytes notBm = good;
    notBm[1] = 'A';
    EXPECT_FALSE(check(notBm).info);
    EXPECT_EQ(check(notBm).problem, "not a bitmap file");

    auto refusedWith = [&](auto change, const std::string& problem) {
        Bytes b = good;
        change(b);
        BmpCheck c = check(b);
        EXPECT_TRUE(c.info.has_value());
        EXPECT_FALSE(c.loadable);
        EXPECT_EQ(c.problem, problem);
    };
    refusedWith([](Bytes& b) { put32(b, 18, 0); }, "bitmap has no pixels");
    refusedWith([](Bytes& b) { put32(b, 22, 0x80000000u); }, "bitmap has no pixels");
    refusedWith([](Bytes& b) { put16(b, 26, 2); }, "bitmap plane count is not 1");
    refusedWith([](Bytes& b) { put16(b, 28, 0); }, "unsupported bits per pixel");
    refusedWith([](Bytes& b) { put32(b, 30, 4); }, "unsupported bitmap compression"); // JPEG
    refusedWith([](Bytes& b) { put32(b, 14, 41); }, "unknown bitmap header size");
    refusedWith([](Bytes& b) { put32(b, 10, 20); }, "pixel data offset outside the file");
    refusedWith([](Bytes& b) { put32(b, 10, 0xFFFFFFF0u); }, "pixel data offset outside the file");
    // Sizes whose pixel count overflows 32 bits are still measured correctly.
    refusedWith(
        [](Bytes& b) {
            put32(b, 18, 0x7FFFFFFF);
            put32(b, 22, 0x7FFFFFFF);
        },
        "pixel data cut short");
}

TEST(BmpInfo, RunLengthPicturesNeedBottomUpRowsAndTheMatchingDepth) {
    Bytes b = makeBmp(8, 8);
    put16(b, 28, 8);
    put32(b, 30, BmpInfo::kBiRle8);
    EXPECT_TRUE(check(b).loadable);
    put32(b, 22, static_cast<uint32_t>(-8));
    EXPECT_FALSE(check(b).loadable);
    put32(b, 22, 8);
    put16(b, 28, 4);
    EXPECT_FALSE(check(b).loadable);
}

TEST(BmpInfo, ReadsTheOldCoreHeader) {
    Bytes b(14 + 12 + 6 + 4 * 3);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 10, 14 + 12 + 6);
    put32(b, 14, 12);
    put16(b, 18, 4); // width
    put16(b, 20, 3); // height
    put16(b, 22, 1);
    put16(b, 24, 8);
    b.resize(32 + 4 * 3);
    BmpCheck c = check(b);
    ASSERT_TRUE(c.loadable) << c.problem;
    EXPECT_EQ(c.info->width, 4);
    EXPECT_EQ(c.info->height, 3);
    EXPECT_EQ(c.info->bitCount, 8);
}

TEST(BmpInfo, FileVariantReadsFromDisk) {
    testkit::TempDir dir;
    testkit::writeFileBytes(dir.file("a.bmp"), makeBmp(3, 4));
    BmpCheck c = checkBmpFile(dir.file("a.bmp"));
    ASSERT_TRUE(c.loadable) << c.problem;
    EXPECT_EQ(c.info->width, 3);
    BmpCheck missing = checkBmpFile(dir.file("none.bmp"));
    EXPECT_FALSE(missing.info);
    EXPECT_EQ(missing.problem, "No such file or directory");
}

} // namespace
} // namespace walkmere
