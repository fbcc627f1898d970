#include "survey/PointRecords.h"
#include "tools/site/TextEscape.h"

#include <cmath>
#include <gtest/gtest.h>

namespace walkmere::sitetool {
namespace {

TEST(SiteTextEscape, JsonKeepsUtf8AndEscapesEverythingElse) {
    EXPECT_EQ(jsonString("plain"), "\"plain\"");
    EXPECT_EQ(jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(jsonString("l1\nl2\t\r"), "\"l1\\nl2\\t\\r\"");
    EXPECT_EQ(jsonString(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001F\\u007F\"");
    EXPECT_EQ(jsonString("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB6"),
              "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB6\"");
    // Not UTF-8: a stray continuation byte, a lone lead byte, an overlong slash, an encoded
    // surrogate, a code point past U+10FFFF, and a sequence cut by the end.
    EXPECT_EQ(jsonString("a\x80z"), "\"a\\uFFFDz\"");
    EXPECT_EQ(jsonString("\xFF"), "\"\\uFFFD\"");
    EXPECT_EQ(jsonString("\xC0\xAF"), "\"\\uFFFD\\uFFFD\"");
    EXPECT_EQ(jsonString("\xED\xA0\x80"), "\"\\uFFFD\\uFFFD\\uFFFD\"");
    EXPECT_EQ(jsonString("\xF4\x90\x80\x80"), "\"\\uFFFD\\uFFFD\\uFFFD\\uFFFD\"");
    EXPECT_EQ(jsonString("x\xE2\x82"), "\"x\\uFFFD\\uFFFD\"");
    EXPECT_EQ(jsonString("\xE2\x80\xA8"), "\"\\u2028\"");
    EXPECT_EQ(jsonString(std::string("a\0b", 3)), "\"a\\u0000b\"");
}

TEST(SiteTextEscape, CsvFieldsStayOnOneLineAndKeepTheirBytesRecoverable) {
    EXPECT_EQ(csvField("lobby"), "lobby");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(csvField(" padded "), "\" padded \"");
    EXPECT_EQ(csvField("l1\r\nl2"), "l1\\x0D\\x0Al2");
    EXPECT_EQ(csvField("back\\slash"), "back\\\\slash");
    EXPECT_EQ(csvField("\xFF\xC3\xA9"), "\\xFF\xC3\xA9");
    EXPECT_EQ(csvField(""), "");
}

TEST(SiteTextEscape, NumbersMacsAndHex) {
    EXPECT_EQ(jsonNumber(10.0), "10");
    EXPECT_EQ(jsonNumber(12.9), "12.9");
    EXPECT_EQ(jsonNumber(-0.5), "-0.5");
    EXPECT_EQ(jsonNumber(1.0 / 0.0), "null");
    EXPECT_EQ(jsonNumber(std::nan("")), "null");
    const uint8_t mac[6] = {0x00, 0x0a, 0xBC, 0x12, 0xff, 0x09};
    EXPECT_EQ(macText(mac), "00-0A-BC-12-FF-09");
    EXPECT_EQ(hexBytes(std::string("\x00\xff\x7f", 3)), "00ff7f");
}

} // namespace
} // namespace walkmere::sitetool
