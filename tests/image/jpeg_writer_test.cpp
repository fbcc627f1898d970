#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image/JpegReader.h"
#include "image/JpegWriter.h"
#include "testkit/TempDir.h"

namespace walkmere {
namespace {

struct Rgb {
    unsigned char r, g, b;
};

// A picture of one colour; paint() sets a pixel.
struct CaptureBuilder {
    RgbImage c;
    CaptureBuilder(int w, int h, Rgb fill) : c(w, h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                paint(x, y, fill);
    }
    void paint(int x, int y, Rgb p) {
        unsigned char* px = c.at(x, y);
        px[0] = p.r;
        px[1] = p.g;
        px[2] = p.b;
    }
};

// The JPEG file at `path`, decoded; an empty picture when it cannot be read.
RgbImage readJpeg(const std::string& path) {
    const std::vector<unsigned char> bytes = testkit::readFileBytes(path);
    RgbImage image;
    EXPECT_EQ(decodeJpeg(bytes.data(), bytes.size(), image), "") << path;
    return image;
}

void expectNear(const unsigned char* px, Rgb want, const char* where) {
    EXPECT_NEAR(px[0], want.r, 24) << where;
    EXPECT_NEAR(px[1], want.g, 24) << where;
    EXPECT_NEAR(px[2], want.b, 24) << where;
}

TEST(JpegWriter, WritesTopRowFirstWithColoursKept) {
    testkit::TempDir dir;
    CaptureBuilder b(240, 265, {0, 200, 0});
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 240; ++x)
            b.paint(x, y, {0, 0, 255}); // blue band on top
    for (int y = 100; y < 140; ++y)
        for (int x = 100; x < 140; ++x)
            b.paint(x, y, {255, 0, 0}); // red square

    std::string path = dir.file("out.jpg").string();
    ASSERT_TRUE(WriteJpegFile(path, 240, 265, 100, b.c)) << snapshotError();
    const RgbImage d = readJpeg(path);
    ASSERT_EQ(d.width, 240);
    ASSERT_EQ(d.height, 265);
    expectNear(d.at(10, 2), {0, 0, 255}, "top row blue");
    expectNear(d.at(10, 262), {0, 200, 0}, "bottom rows green");
    const unsigned char* red = d.at(120, 120);
    EXPECT_GT(red[0], 200);
    EXPECT_LT(red[1], 60);
    EXPECT_LT(red[2], 60);
}

TEST(JpegWriter, CoversOnlyTheTopLeftOfALargerPicture) {
    testkit::TempDir dir;
    CaptureBuilder b(300, 320, {255, 255, 255});
    for (int y = 0; y < 320; ++y)
        for (int x = 240; x < 300; ++x)
            b.paint(x, y, {0, 0, 0}); // right strip, left out
    for (int y = 265; y < 320; ++y)
        for (int x = 0; x < 300; ++x)
            b.paint(x, y, {0, 0, 0}); // bottom strip, left out

    std::string path = dir.file("big.jpg").string();
    ASSERT_TRUE(WriteJpegFile(path, 240, 265, 100, b.c));
    const RgbImage d = readJpeg(path);
    ASSERT_EQ(d.width, 240);
    ASSERT_EQ(d.height, 265);
    expectNear(d.at(0, 0), {255, 255, 255}, "top left");
    expectNear(d.at(239, 264), {255, 255, 255}, "bottom right of the JPEG");
}

TEST(JpegWriter, PadsASmallPictureWithBlack) {
    testkit::TempDir dir;
    // An exact-size buffer: the address sanitizer catches any read past the picture.
    CaptureBuilder b(100, 50, {255, 255, 255});
    std::string path = dir.file("small.jpg").string();
    ASSERT_TRUE(WriteJpegFile(path, 240, 265, 100, b.c)) << snapshotError();
    const RgbImage d = readJpeg(path);
    ASSERT_EQ(d.width, 240);
    ASSERT_EQ(d.height, 265);
    expectNear(d.at(50, 25), {255, 255, 255}, "inside the picture");
    expectNear(d.at(200, 25), {0, 0, 0}, "right of the picture");
    expectNear(d.at(50, 200), {0, 0, 0}, "below the picture");
    expectNear(d.at(239, 264), {0, 0, 0}, "far corner");
}

TEST(JpegWriter, TrustsOnlyTheRowsThePixelBufferHolds) {
    testkit::TempDir dir;
    CaptureBuilder b(240, 265, {255, 255, 255});
    b.c.pixels.resize(std::size_t(240) * 10 * 3); // claims 265 rows, holds 10
    std::string path = dir.file("short.jpg").string();
    ASSERT_TRUE(WriteJpegFile(path, 240, 265, 100, b.c));
    const RgbImage d = readJpeg(path);
    ASSERT_EQ(d.height, 265);
    expectNear(d.at(10, 5), {255, 255, 255}, "rows present");
    expectNear(d.at(10, 100), {0, 0, 0}, "rows missing");

    RgbImage empty;
    ASSERT_TRUE(WriteJpegFile(dir.file("empty.jpg").string(), 240, 265, 100, empty));
    const RgbImage e = readJpeg(dir.file("empty.jpg").string());
    ASSERT_EQ(e.width, 240);
    expectNear(e.at(120, 130), {0, 0, 0}, "no picture at all");
}

TEST(JpegWriter, ReportsAFileThatCannotBeCreated) {
    testkit::TempDir dir;
    CaptureBuilder b(240, 265, {1, 2, 3});
    std::string path = (dir.path() / "no-such-folder" / "x.jpg").string();
    EXPECT_FALSE(WriteJpegFile(path, 240, 265, 100, b.c));
    EXPECT_EQ(snapshotError(), "Can't open file\"" + path + "\"");
}

TEST(JpegWriter, ReportsTheLibrarysMessageAndRecovers) {
    testkit::TempDir dir;
    CaptureBuilder b(240, 265, {1, 2, 3});
    std::string path = dir.file("zero.jpg").string();
    // An image with no rows is refused by the encoder: its message comes back, no crash.
    EXPECT_FALSE(WriteJpegFile(path, 240, 0, 100, b.c));
    EXPECT_NE(snapshotError().find("Empty JPEG image"), std::string::npos) << snapshotError();

    // The next picture goes through normally.
    EXPECT_TRUE(WriteJpegFile(path, 240, 265, 100, b.c)) << snapshotError();
    EXPECT_EQ(readJpeg(path).height, 265);
}

#ifdef __linux__
TEST(JpegWriter, ReportsAFullDisk) {
    // /dev/full takes the open but refuses every byte.
    CaptureBuilder b(240, 265, {9, 9, 9});
    if (std::FILE* probe = std::fopen("/dev/full", "wb")) {
        std::fclose(probe);
    } else {
        GTEST_SKIP() << "/dev/full not available";
    }
    EXPECT_FALSE(WriteJpegFile("/dev/full", 240, 265, 100, b.c));
    EXPECT_FALSE(snapshotError().empty());
}
#endif

} // namespace
} // namespace walkmere
