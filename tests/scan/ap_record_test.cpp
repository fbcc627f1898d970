#include <gtest/gtest.h>

#include "scan/ApRecord.h"
#include "scan/MacAddress.h"
#include "testkit/ScanBytes.h"

namespace walkmere {
namespace {

using scantest::makeRecord;

TEST(ApRecordDecoding, ChannelCodesTruncateTowardZero) {
    ApRecord r;
    const struct {
        uint16_t code;
        int channel;
    } cases[] = {{5000, 0}, {5180, 36}, {5745, 149}, {5825, 165}, {4999, 0}, {4995, -1}};
    for (const auto& c : cases) {
        r.setChannelCode(c.code);
        EXPECT_EQ(r.channel(), c.channel) << "code " << c.code;
        EXPECT_FALSE(r.empty());
    }
    r.setChannelCode(0);
    EXPECT_TRUE(r.empty());
}

TEST(ApRecordDecoding, FieldsSitAtTheirOffsets) {
    ApRecord r = makeRecord(0x56, 0x0102, -75, 0x1234, "x");
    EXPECT_EQ(r.bytes[10], 0x02);
    EXPECT_EQ(r.bytes[11], 0x01);
    EXPECT_EQ(r.bytes[13], 0xB5);
    EXPECT_EQ(r.bytes[15], 'x');
    EXPECT_EQ(r.bytes[16], 0);
    EXPECT_EQ(r.bytes[48], 0x34);
    EXPECT_EQ(r.bytes[49], 0x12);
    EXPECT_EQ(sizeof(ApRecord), 58u);

    ApRecord raw;
    raw.bytes[10] = 0xFE; // age -2 as the board sends it
    raw.bytes[11] = 0xFF;
    EXPECT_EQ(raw.age(), -2);
}

TEST(ApRecordDecoding, RssiIsASignedByte) {
    ApRecord r;
    r.bytes[13] = 0xB5;
    EXPECT_EQ(r.rssi(), -75);
    r.bytes[13] = 0x05;
    EXPECT_EQ(r.rssi(), 5);
}

TEST(ApRecordDecoding, MacTextIsLowerCaseHexWithoutSeparators) {
    ApRecord r = makeRecord(0x56, 0);
    EXPECT_EQ(r.macText(), "00a0f8123456");
    const uint8_t high[6] = {0xFF, 0xAB, 0x00, 0x10, 0x9C, 0xE1};
    r.setMac(high);
    EXPECT_EQ(r.macText(), "ffab00109ce1");
    EXPECT_TRUE(r.sameMac(r));
    EXPECT_FALSE(r.sameMac(makeRecord(0x56, 0)));
}

TEST(MacAddress, ParsedInTheFormsTheSyntaxAllows) {
    const MacAddress mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(parseMac("00-1A-2B-3C-4D-5E"), mac);
    EXPECT_EQ(parseMac("00:1a:2b:3c:4d:5e"), mac);
    EXPECT_EQ(parseMac("001a2b3c4d5e"), mac);
    EXPECT_FALSE(parseMac("00-1A-2B-3C-4D"));
    EXPECT_FALSE(parseMac("00-1A-2B-3C-4D-5E-6F"));
    EXPECT_FALSE(parseMac("00-1A:2B-3C-4D-5E"));
    EXPECT_FALSE(parseMac("0g-1A-2B-3C-4D-5E"));
    // The board's scenarios: separators of either kind, never none.
    const MacSyntax separated{.bare = false, .mixedSeparators = true};
    EXPECT_EQ(parseMac("00-1A:2B-3C-4D-5E", separated), mac);
    EXPECT_FALSE(parseMac("001a2b3c4d5e", separated));
}

TEST(ApRecordDecoding, SsidEndsAtItsNulOrAtTheFieldsEnd) {
    ApRecord r;
    EXPECT_EQ(r.ssid(), ""); // a NUL at offset 15

    const std::string full(32, 'S');
    r.setSsid(full);
    EXPECT_EQ(r.bytes[47], 0);
    EXPECT_EQ(r.ssid(), full);

    // No NUL within the 33 bytes: the text is cut at the end of the field, never read on
    // into the channel code.
    for (size_t i = 0; i < 33; ++i)
        r.bytes[15 + i] = 'A';
    r.setChannelCode(5180);
    EXPECT_EQ(r.ssid(), std::string(33, 'A'));
}

} // namespace
} // namespace walkmere
