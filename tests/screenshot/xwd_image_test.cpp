#include "screenshot/xwd_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using walkmere::screenshot::decodeXwd;

namespace {

void put32(std::vector<unsigned char>& out, uint32_t v) {
    out.push_back(static_cast<unsigned char>(v >> 24));
    out.push_back(static_cast<unsigned char>(v >> 16));
    out.push_back(static_cast<unsigned char>(v >> 8));
    out.push_back(static_cast<unsigned char>(v));
}

// A dump as xwd writes a 24-bit true-colour window: 32 bits a pixel, lines padded to
// `stride`, `colours` colour-map entries between the header and the pixels.
std::vector<unsigned char> dump(uint32_t width, uint32_t height, uint32_t byteOrder,
                                const std::vector<uint32_t>& pixels, uint32_t stride,
                                uint32_t colours = 0) {
    const std::string name = "Plotra";
    const uint32_t headerSize = 100 + static_cast<uint32_t>(name.size()) + 1;
    std::vector<unsigned char> out;
    const uint32_t fields[25] = {headerSize, 7,      2,         24, width, height,  0,
                                 byteOrder,  32,     byteOrder, 32, 32,    stride,  4,
                                 0xff0000,   0xff00, 0xff,      8,  256,   colours, width,
                                 height,     0,      0,         0};
    for (uint32_t f : fields)
        put32(out, f);
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    out.insert(out.end(), size_t(colours) * 12, 0xAB);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t p = pixels[y * width + x];
            for (int b = 0; b < 4; ++b) {
                const int shift = byteOrder == 0 ? 8 * b : 8 * (3 - b);
                out.push_back(static_cast<unsigned char>(p >> shift));
            }
        }
        out.insert(out.end(), stride - width * 4, 0);
    }
    return out;
}

} // namespace

TEST(XwdImage, ReadsBothByteOrdersWithPaddedLinesAndAColourMap) {
    const std::vector<uint32_t> pixels = {0x00c000, 0xff0000, 0x0000ff,
                                          0x00ff7f, 0xffffff, 0x123456};
    for (uint32_t order : {0u, 1u}) {
        std::string error;
        const QImage img = decodeXwd(dump(3, 2, order, pixels, 16, 2), error);
        ASSERT_FALSE(img.isNull()) << error;
        ASSERT_EQ(img.size(), QSize(3, 2));
        EXPECT_EQ(img.pixel(0, 0), qRgb(0, 192, 0));
        EXPECT_EQ(img.pixel(1, 0), qRgb(255, 0, 0));
        EXPECT_EQ(img.pixel(2, 0), qRgb(0, 0, 255));
        EXPECT_EQ(img.pixel(0, 1), qRgb(0, 255, 127));
        EXPECT_EQ(img.pixel(2, 1), qRgb(0x12, 0x34, 0x56));
    }
}

TEST(XwdImage, RefusesDumpsItCannotReadWholly) {
    const std::vector<uint32_t> pixels(4, 0x00c000);
    const std::vector<unsigned char> good = dump(2, 2, 0, pixels, 8);
    std::string error;

    std::vector<unsigned char> cut(good.begin(), good.end() - 1);
    EXPECT_TRUE(decodeXwd(cut, error).isNull());
    EXPECT_NE(error.find("ends"), std::string::npos);

    EXPECT_TRUE(decodeXwd({good.begin(), good.begin() + 40}, error).isNull());

    std::vector<unsigned char> colourMapped = good;
    colourMapped[13 * 4 + 3] = 3; // PseudoColor
    EXPECT_TRUE(decodeXwd(colourMapped, error).isNull());

    std::vector<unsigned char> shortLines = good;
    shortLines[12 * 4 + 3] = 4; // one pixel's bytes for a two-pixel line
    EXPECT_TRUE(decodeXwd(shortLines, error).isNull());

    std::vector<unsigned char> hugeColourMap = good;
    hugeColourMap[19 * 4] = 0xff; // ncolors far past the file's end
    EXPECT_TRUE(decodeXwd(hugeColourMap, error).isNull());
}
