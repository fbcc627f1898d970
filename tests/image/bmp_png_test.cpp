#include "image/BmpReader.h"
#include "image/PngReader.h"
#include "image/PngWriter.h"
#include "testkit/BmpBytes.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace walkmere {
namespace {

using Bytes = std::vector<uint8_t>;

// A bitmap file with a 40-byte info header; `rows` are the stored rows, unpadded.
Bytes bmpFile(int32_t width, int32_t height, uint16_t bits, const std::vector<Bytes>& rows,
              const std::vector<uint32_t>& palette = {}) {
    const uint64_t stride = testkit::bmpStride(width, bits);
    testkit::BmpFile f{.width = width, .height = height, .bits = bits, .palette = palette};
    f.pixels.resize(stride * rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
        std::copy(rows[r].begin(), rows[r].end(), f.pixels.begin() + r * stride);
    return testkit::writeBmp(f);
}

std::string pixel(const RgbImage& img, int32_t x, int32_t y) {
    const uint8_t* p = img.at(x, y);
    return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
}

TEST(BmpPixels, TwentyFourBitBottomUpAndTopDown) {
    // Stored rows: blue-green-red bytes. Bottom-up: the first stored row is the bottom one.
    const std::vector<Bytes> rows{{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
    RgbImage img;
    ASSERT_EQ(readBmpPixels(bmpFile(2, 2, 24, rows).data(), bmpFile(2, 2, 24, rows).size(), img),
              "");
    EXPECT_EQ(img.width, 2);
    EXPECT_EQ(pixel(img, 0, 1), "3,2,1");
    EXPECT_EQ(pixel(img, 1, 1), "6,5,4");
    EXPECT_EQ(pixel(img, 0, 0), "9,8,7");
    const Bytes topDown = bmpFile(2, -2, 24, rows);
    ASSERT_EQ(readBmpPixels(topDown.data(), topDown.size(), img), "");
    EXPECT_EQ(pixel(img, 0, 0), "3,2,1");
    EXPECT_EQ(pixel(img, 1, 1), "12,11,10");
}

TEST(BmpPixels, ThirtyTwoBit) {
    const Bytes b = bmpFile(2, 1, 32, {{10, 20, 30, 255, 40, 50, 60, 0}});
    RgbImage img;
    ASSERT_EQ(readBmpPixels(b.data(), b.size(), img), "");
    EXPECT_EQ(pixel(img, 0, 0), "30,20,10");
    EXPECT_EQ(pixel(img, 1, 0), "60,50,40");
}

TEST(BmpPixels, IndexedPicturesUseTheirColourTable) {
    RgbImage img;
    // 1-bit, 10 pixels wide: the leftmost pixel is the top bit.
    const Bytes one = bmpFile(10, 1, 1, {{0b10100000, 0b01000000}}, {0x000000, 0xFF8040});
    ASSERT_EQ(readBmpPixels(one.data(), one.size(), img), "");
    EXPECT_EQ(pixel(img, 0, 0), "255,128,64");
    EXPECT_EQ(pixel(img, 1, 0), "0,0,0");
    EXPECT_EQ(pixel(img, 2, 0), "255,128,64");
    EXPECT_EQ(pixel(img, 9, 0), "255,128,64");
    EXPECT_EQ(pixel(img, 8, 0), "0,0,0");
    // 4-bit: high nibble first.
    const Bytes four = bmpFile(3, 1, 4, {{0x12, 0x00}}, {0x000000, 0x0000FF, 0x00FF00});
    ASSERT_EQ(readBmpPixels(four.data(), four.size(), img), "");
    EXPECT_EQ(pixel(img, 0, 0), "0,0,255");
    EXPECT_EQ(pixel(img, 1, 0), "0,255,0");
    EXPECT_EQ(pixel(img, 2, 0), "0,0,0");
    // 8-bit with an index past the table's used entries: black, not a read past the table.
    const Bytes eight = bmpFile(2, 1, 8, {{1, 200}}, {0x000000, 0x102030});
    ASSERT_EQ(readBmpPixels(eight.data(), eight.size(), img), "");
    EXPECT_EQ(pixel(img, 0, 0), "16,32,48");
    EXPECT_EQ(pixel(img, 1, 0), "0,0,0");
}

// Run-length codes and colour masks. Every code is for a 4 x 2 picture over a table of
// white, red, blue and green; rows from the bottom; "W" a white pixel.
TEST(BmpPixels, DecodesRunLengthCodesAndColourMasksAsTheProgramShowsThem) {
    const std::vector<uint32_t> table = {0xFFFFFF, 0xFF0000, 0x0000FF, 0x00FF00};
    const auto rle = [&](uint16_t bits, Bytes code) {
        return testkit::writeBmp({4, 2, bits, bits == 8 ? 1u : 2u, table, {}, code});
    };
    struct Case {
        const char* name;
        Bytes file;
        std::string top, bottom; // the pixels: W white, R red, B blue, G green
    };
    const Case cases[] = {
        {"rle8 runs, a jump, literal indices padded, end marks",
         rle(8, {2, 1, 0, 2, 1, 0, 1, 2, 0, 0, 0, 3, 3, 2, 1, 0, 0, 1}), "GBRW", "RRWB"},
        {"rle4 halves alternate", rle(4, {4, 0x12, 0, 0, 0, 3, 0x32, 0x10, 0, 0}), "GBRW", "RBRB"},
        {"a run past its row is cut there", rle(8, {9, 1, 0, 0, 1, 2, 0, 1}), "BWWW", "RRRR"},
        {"a jump off the picture ends it", rle(8, {1, 1, 0, 2, 0, 9, 4, 2}), "WWWW", "RWWW"},
        {"a jump past the row's end stays in it", rle(8, {0, 2, 200, 0, 1, 1, 0, 0, 1, 3}), "GWWW",
         "WWWW"},
        {"a literal run past its row and the file", rle(8, {1, 3, 0, 6, 1, 2, 1, 2}), "WWWW",
         "GRBR"},
        {"a code that ends early", rle(4, {3, 0x21}), "WWWW", "BRBW"},
    };
    const std::map<char, std::string> colours = {
        {'W', "255,255,255"}, {'R', "255,0,0"}, {'B', "0,0,255"}, {'G', "0,255,0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RgbImage img;
        ASSERT_EQ(readBmpPixels(c.file.data(), c.file.size(), img), "");
        for (int x = 0; x < int(c.top.size()); ++x) {
            EXPECT_EQ(pixel(img, x, 0), colours.at(c.top[size_t(x)])) << x;
            EXPECT_EQ(pixel(img, x, 1), colours.at(c.bottom[size_t(x)])) << x;
        }
    }
    // Colour masks as the program's loader shows them: 5 bits of 31 are 248, 6 of 63 are 252;
    // a mask wider than 8 bits gives its highest 8. Two pixels: white, then blue.
    const std::pair<testkit::BmpFile, std::string> masked[] = {
        {{2, 1, 16, 0, {}, {}, {0xFF, 0x7F, 0x1F, 0x00}}, "248,248,248"},
        {{2, 1, 16, 3, {}, {0xF800, 0x07E0, 0x001F}, {0xFF, 0xFF, 0x1F, 0x00}}, "248,252,248"},
        {{2, 1, 32, 3, {}, {0x3FF00000, 0xFFC00, 0x3FF}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0}},
         "255,255,255"},
    };
    for (const auto& [f, white] : masked) {
        const Bytes file = testkit::writeBmp(f);
        RgbImage img;
        ASSERT_EQ(readBmpPixels(file.data(), file.size(), img), "");
        EXPECT_EQ(pixel(img, 0, 0), white);
        EXPECT_EQ(pixel(img, 1, 0), f.bits == 32 ? "0,0,255" : "0,0,248");
    }
}

TEST(BmpPixels, RefusesWhatItCannotReadWithAReason) {
    RgbImage img;
    const Bytes manyColours = testkit::writeBmp({2, 1, 8, 0, {0, 0}, {}, {0, 1, 0, 0}, 300});
    EXPECT_EQ(readBmpPixels(manyColours.data(), manyColours.size(), img),
              "the bitmap's colour table claims more than 256 colours");
    const Bytes noMasks = testkit::writeBmp({2, 1, 16, 3, {}, {}, {0, 0, 0, 0}});
    EXPECT_EQ(readBmpPixels(noMasks.data(), noMasks.size(), img),
              "the bitmap's colour masks are cut short");
    Bytes cut = bmpFile(4, 4, 24, {{}, {}, {}, {}});
    cut.resize(cut.size() - 10);
    EXPECT_NE(readBmpPixels(cut.data(), cut.size(), img), "");
    const Bytes junk(60, 'x');
    EXPECT_NE(readBmpPixels(junk.data(), junk.size(), img), "");
}

TEST(PngImage, RoundTripsThePixels) {
    RgbImage img(7, 5);
    for (size_t i = 0; i < img.pixels.size(); ++i)
        img.pixels[i] = uint8_t(i * 37);
    std::vector<uint8_t> png;
    ASSERT_EQ(encodePng(img, png), "");
    RgbImage back;
    ASSERT_EQ(decodePng(png.data(), png.size(), back), "");
    EXPECT_EQ(back.width, 7);
    EXPECT_EQ(back.height, 5);
    EXPECT_EQ(back.pixels, img.pixels);
    png.resize(png.size() / 2);
    EXPECT_NE(decodePng(png.data(), png.size(), back), "");
}

} // namespace
} // namespace walkmere
