#include "coverage/ReportHtml.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace walkmere {
namespace {

std::string pixel(const RgbImage& img, int32_t x, int32_t y) {
    const uint8_t* p = img.at(x, y);
    return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
}

TEST(ReportHtml, EscapesEveryByteSafely) {
    EXPECT_EQ(htmlText("<b>&\"'"), "&lt;b&gt;&amp;&quot;&#39;");
    EXPECT_EQ(htmlText("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(htmlText(std::string("a\0b\n\xFF\xC3", 6)), "a\\x00b\\x0A\\xFF\\xC3");
    EXPECT_EQ(htmlText("a\\x41"), "a\\\\x41");
    EXPECT_EQ(htmlText("\xED\xA0\x80"), "\\xED\\xA0\\x80"); // a surrogate is not valid UTF-8
}

TEST(ReportHtml, Base64) {
    const auto b64 = [](const std::string& s) {
        return base64({reinterpret_cast<const uint8_t*>(s.data()), s.size()});
    };
    EXPECT_EQ(b64(""), "");
    EXPECT_EQ(b64("f"), "Zg==");
    EXPECT_EQ(b64("fo"), "Zm8=");
    EXPECT_EQ(b64("foo"), "Zm9v");
    EXPECT_EQ(b64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(b64("\xFF\xFE"), "//4=");
    // Given in pieces of any size, as a PNG encoder hands them on, the text is the whole's.
    std::string bytes(40000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 131 + i / 7);
    for (size_t piece : {1, 2, 4, 5, 12289, 40000}) {
        std::ostringstream text;
        Base64Writer writer(text);
        for (size_t at = 0; at < bytes.size(); at += piece)
            ASSERT_TRUE(writer.write(reinterpret_cast<const uint8_t*>(bytes.data()) + at,
                                     std::min(piece, bytes.size() - at)));
        writer.finish();
        EXPECT_EQ(text.str(), b64(bytes)) << piece;
    }
}

TEST(ReportHtml, SignatureBitsMostSignificantFirstSetIsWhite) {
    std::vector<uint8_t> block(2600, 0);
    block[0] = 0x80;           // row 0, column 0
    block[26 * 3 + 24] = 0x01; // row 3, column 199
    block[26 * 99 + 1] = 0x40; // row 99, column 9
    block[26 * 5 + 25] = 0xFF; // padding byte: not a pixel
    const RgbImage img = signaturePicture(block);
    ASSERT_EQ(img.width, 200);
    ASSERT_EQ(img.height, 100);
    EXPECT_EQ(pixel(img, 0, 0), "255,255,255");
    EXPECT_EQ(pixel(img, 1, 0), "0,0,0");
    EXPECT_EQ(pixel(img, 199, 3), "255,255,255");
    EXPECT_EQ(pixel(img, 9, 99), "255,255,255");
    EXPECT_EQ(pixel(img, 8, 99), "0,0,0");
    size_t white = 0;
    for (int32_t y = 0; y < 100; ++y)
        for (int32_t x = 0; x < 200; ++x)
            white += img.at(x, y)[0] == 255;
    EXPECT_EQ(white, 3u);
    // A block cut short: the missing rows are grey, not read past the end.
    const RgbImage part = signaturePicture({block.data(), 26 * 2});
    EXPECT_EQ(pixel(part, 0, 0), "255,255,255");
    EXPECT_EQ(pixel(part, 0, 2), "128,128,128");
}

} // namespace
} // namespace walkmere
