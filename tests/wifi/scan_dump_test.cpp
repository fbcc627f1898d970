#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <linux/netlink.h>

#include "testkit/DumpBuilder.h"
#include "wifi/ScanDump.h"

namespace walkmere {
namespace {

using wifitest::BssFields;
using wifitest::Bytes;

std::vector<WifiBss> parsed(const Bytes& bytes) {
    std::vector<WifiBss> out;
    std::string error;
    EXPECT_TRUE(parseScanDump(bytes, out, error)) << error;
    return out;
}

std::string refusal(const Bytes& bytes) {
    std::vector<WifiBss> out;
    std::string error;
    EXPECT_FALSE(parseScanDump(bytes, out, error));
    return error;
}

Bytes withSsid(std::initializer_list<uint8_t> elements) {
    return Bytes(elements);
}

TEST(WifiDump, ABssComesThroughWhole) {
    BssFields fields;
    fields.bssid = wifitest::bssid(0x42);
    fields.frequency = 5180;
    fields.signalMbm = -6750;
    fields.seenMsAgo = 1234;
    fields.ssid = "Corp";
    const std::vector<WifiBss> bss = parsed(wifitest::buildDump({fields}));
    ASSERT_EQ(bss.size(), 1u);
    EXPECT_EQ(bss[0].bssid, fields.bssid);
    EXPECT_EQ(bss[0].frequency, 5180u);
    EXPECT_EQ(bss[0].signalMbm, -6750);
    EXPECT_EQ(bss[0].seenMsAgo, 1234u);
    EXPECT_EQ(bss[0].ssid, "Corp");
}

TEST(WifiDump, SsidFromTheElements) {
    const std::string s32(32, 'a'), s33 = std::string(32, 'b') + "c";
    const struct {
        const char* what;
        Bytes elements;
        std::string ssid;
    } cases[] = {
        {"empty", wifitest::ssidElements(""), ""},
        {"32 bytes", wifitest::ssidElements(s32), s32},
        {"33 bytes", wifitest::ssidElements(s33), std::string(32, 'b')},
        {"255 bytes", wifitest::ssidElements(std::string(255, 'x')), std::string(32, 'x')},
        {"all NUL", wifitest::ssidElements(std::string(8, '\0')), ""},
        {"NUL inside", wifitest::ssidElements(std::string("ab\0cd", 5)), "ab"},
        {"after another element", withSsid({3, 1, 6, 0, 2, 'h', 'i'}), "hi"},
        {"the first of two", withSsid({0, 1, 'a', 0, 1, 'b'}), "a"},
        {"none", withSsid({1, 2, 0x82, 0x84}), ""},
        {"no elements", Bytes{}, ""},
        {"runs past the end", withSsid({0, 10, 'a', 'b', 'c', 'd'}), ""},
        {"a later one runs past", withSsid({0, 2, 'o', 'k', 1, 9, 0x82}), ""},
        {"header cut off", withSsid({0, 2, 'o', 'k', 1}), ""},
    };
    for (const auto& c : cases) {
        BssFields fields;
        fields.elements = c.elements;
        const std::vector<WifiBss> bss = parsed(wifitest::buildDump({fields}));
        ASSERT_EQ(bss.size(), 1u) << c.what;
        EXPECT_EQ(bss[0].ssid, c.ssid) << c.what;
        // The elements straight, in a buffer of exactly their size (AddressSanitizer
        // catches a read past it).
        auto exact = std::make_unique<uint8_t[]>(c.elements.size());
        std::copy(c.elements.begin(), c.elements.end(), exact.get());
        EXPECT_EQ(ssidFromElements(exact.get(), c.elements.size()), c.ssid) << c.what;
    }
}

TEST(WifiDump, ABssWithoutWhatARecordNeedsIsLeftOut) {
    const struct {
        const char* what;
        void (*change)(BssFields&);
    } cases[] = {
        {"no BSSID", [](BssFields& b) { b.withBssid = false; }},
        {"no frequency", [](BssFields& b) { b.withFrequency = false; }},
        {"no signal", [](BssFields& b) { b.withSignal = false; }},
        {"another command", [](BssFields& b) { b.command = NL80211_CMD_TRIGGER_SCAN; }},
    };
    for (const auto& c : cases) {
        BssFields bad, good;
        bad.bssid = wifitest::bssid(1);
        good.bssid = wifitest::bssid(2);
        c.change(bad);
        const std::vector<WifiBss> bss = parsed(wifitest::buildDump({bad, good}));
        ASSERT_EQ(bss.size(), 1u) << c.what;
        EXPECT_EQ(bss[0].bssid, good.bssid) << c.what;
    }
}

TEST(WifiDump, NestFlagUnknownAttributesAndFamilyIdDoNotMatter) {
    BssFields plain, unflagged, unknown;
    plain.bssid = wifitest::bssid(1);
    unflagged.bssid = wifitest::bssid(2);
    unflagged.nestedFlag = false;
    unknown.bssid = wifitest::bssid(3);
    unknown.unknownAttributes = true;
    for (uint16_t family : {uint16_t{0x10}, uint16_t{0x1C}, uint16_t{0xFFFF}}) {
        const std::vector<WifiBss> bss =
            parsed(wifitest::buildDump({plain, unflagged, unknown}, family));
        ASSERT_EQ(bss.size(), 3u) << family;
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(bss[i].bssid[5], i + 1) << family;
            EXPECT_EQ(bss[i].ssid, "Corp") << family;
            EXPECT_EQ(bss[i].signalMbm, -5000) << family;
        }
    }
}

TEST(WifiDump, ControlMessages) {
    Bytes noop = wifitest::doneMessage();
    noop[4] = NLMSG_NOOP; // the type's low byte
    Bytes ok = noop;
    wifitest::append(ok, wifitest::buildDump({BssFields{}}));
    EXPECT_EQ(parsed(ok).size(), 1u);
    EXPECT_EQ(parsed(wifitest::doneMessage()).size(), 0u);

    const Bytes one = wifitest::resultMessage(BssFields{});
    Bytes error = one, failedDone = one, noDone = one, afterDone = wifitest::buildDump({});
    Bytes oddError = error;
    wifitest::append(error, wifitest::errorMessage(-ENODEV));
    wifitest::append(oddError, wifitest::errorMessage(INT32_MIN));
    wifitest::append(failedDone, wifitest::doneMessage(-ENETDOWN));
    wifitest::append(afterDone, one);
    Bytes shortGenl = wifitest::doneMessage();
    shortGenl[4] = 0x1C; // a family's type with 4 bytes of payload but the attributes missing
    shortGenl.resize(16 + 3);
    shortGenl[0] = 19;
    const struct {
        const char* what;
        Bytes bytes;
        std::string error;
    } cases[] = {
        {"error", error,
         "damaged scan dump at byte " + std::to_string(one.size()) +
             ": an error message (-19: No such device)"},
        {"odd error", oddError, "an error message (-2147483648: not an error number)"},
        {"failed done", failedDone, "ended with error -100 (Network is down)"},
        {"no done", noDone, "at byte " + std::to_string(one.size()) + ": the dump ends without"},
        {"after done", afterDone, "at byte 20: a message after NLMSG_DONE"},
        {"short", shortGenl, "at byte 0: message length 19 is too short for its generic"},
        {"nothing", Bytes{}, "at byte 0: the dump ends without NLMSG_DONE"},
    };
    for (const auto& c : cases)
        EXPECT_NE(refusal(c.bytes).find(c.error), std::string::npos)
            << c.what << ": " << refusal(c.bytes);
}

} // namespace
} // namespace walkmere
