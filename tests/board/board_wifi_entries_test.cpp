#include <gtest/gtest.h>

#include <climits>

#include "board/WifiEntries.h"
#include "testkit/DumpBuilder.h"

namespace walkmere {
namespace {

WifiBss bssOf(uint8_t last, uint32_t frequency, int32_t mbm, const std::string& ssid = "Corp") {
    WifiBss b;
    b.bssid = wifitest::bssid(last);
    b.frequency = frequency;
    b.signalMbm = mbm;
    b.ssid = ssid;
    return b;
}

// The record says 6 GHz only for a 6 GHz frequency: its channel number alone does not.
TEST(WifiChannel, FrequenciesMapToChannelsAndBackThroughTheRecord) {
    const struct {
        uint32_t mhz;
        int channel;
        bool sixGhz = false;
    } cases[] = {
        {2412, 1},        {2417, 2},         {2472, 13},  {2484, 14},      {5180, 36},
        {5825, 165},      {5005, 1},         {5920, 184}, {5935, 2, true}, {5955, 1, true},
        {6115, 33, true}, {7115, 233, true}, {2407, 0},   {2477, 0},       {2413, 0},
        {2483, 0},        {5000, 0},         {5925, 0},   {5930, 0},       {5950, 0},
        {7120, 0},        {5181, 0},         {0, 0},      {UINT32_MAX, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(channelForFrequency(c.mhz), c.channel) << c.mhz << " MHz";
        const std::optional<ApRecord> r = apRecordFor(bssOf(1, c.mhz, -5000), 0);
        ASSERT_EQ(r.has_value(), c.channel != 0) << c.mhz << " MHz";
        if (r) {
            EXPECT_EQ(r->channel(), c.channel) << c.mhz << " MHz";
            EXPECT_EQ(r->sixGhz(), c.sixGhz) << c.mhz << " MHz";
        }
    }
}

TEST(WifiChannel, SignalRoundsToTheNearestDbmWithHalvesAwayFromZero) {
    const struct {
        int32_t mbm;
        int dbm;
    } cases[] = {
        {-6700, -67},     {-6749, -67},   {-6750, -68},      {-6751, -68}, {0, 0},
        {49, 0},          {50, 1},        {-49, 0},          {-50, -1},    {-12849, -128},
        {-12850, -128},   {-20000, -128}, {INT32_MIN, -128}, {12749, 127}, {13000, 127},
        {INT32_MAX, 127},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rssiFromMbm(c.mbm), c.dbm) << c.mbm << " mBm";
}

TEST(WifiChannel, AgeAddsTheSecondsSinceTheDumpAndStopsAt32767) {
    const struct {
        uint32_t seenMs;
        uint32_t since;
        int age;
    } cases[] = {
        {0, 0, 0},         {999, 0, 0},       {1000, 0, 1},         {2500, 3, 5},
        {0, 32767, 32767}, {0, 40000, 32767}, {32767999, 1, 32767}, {UINT32_MAX, UINT32_MAX, 32767},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ageSeconds(c.seenMs, c.since), c.age) << c.seenMs << " ms + " << c.since;
}

TEST(WifiRecord, FieldsGoWhereTheBoardPutsThem) {
    WifiBss b = bssOf(0x9C, 5180, -6750, "Guest");
    b.seenMsAgo = 2200;
    const ApRecord r = *apRecordFor(b, 3);
    EXPECT_EQ(r.macText(), "001a2b3c4d9c");
    EXPECT_EQ(r.rssi(), -68);
    EXPECT_EQ(r.age(), 5);
    EXPECT_EQ(r.ssid(), "Guest");
    EXPECT_EQ(r.channelCode(), 5180);
    EXPECT_EQ(r.bytes[ApRecord::kSsidOffset + 5], 0);
}

TEST(WifiBoardEntries, TheSixteenStrongestWithTiesByBssid) {
    ScanDump dump;
    // 20 BSSs: signal -40 - (i / 2) dBm, so pairs tie; listed weakest first, MACs descending
    // within a pair, so that neither the dump's order nor the MAC alone gives the answer.
    for (int i = 19; i >= 0; --i)
        dump.bss.push_back(bssOf(static_cast<uint8_t>(100 - i), 2437, -4000 - 100 * (i / 2)));
    dump.bss.push_back(bssOf(200, 2413, -1000)); // the strongest, on no channel: left out
    const auto entries = boardEntries(dump, 0);
    for (int i = 0; i < 16; ++i) {
        // Within a tie the lower MAC (the higher i) comes first.
        const int expected = (i / 2) * 2 + (1 - i % 2);
        EXPECT_EQ(entries[i].rssi(), -40 - i / 2) << i;
        EXPECT_EQ(entries[i].mac()[5], 100 - expected) << i;
    }
}

TEST(WifiBoardEntries, FewBssLeaveEmptyEntriesAndABssidCountsOnce) {
    ScanDump dump;
    dump.bss = {bssOf(1, 2412, -7000), bssOf(2, 5180, -6000), bssOf(1, 5745, -5500)};
    const auto entries = boardEntries(dump, 0);
    EXPECT_EQ(entries[0].mac()[5], 1);
    EXPECT_EQ(entries[0].channel(), 149);
    EXPECT_EQ(entries[1].mac()[5], 2);
    for (size_t i = 2; i < entries.size(); ++i) {
        EXPECT_TRUE(entries[i].empty()) << i;
        EXPECT_EQ(entries[i], ApRecord{}) << i;
    }
}

} // namespace
} // namespace walkmere
