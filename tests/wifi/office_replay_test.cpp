#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>

#include "testkit/TempDir.h"
#include "wifi/BssRecord.h"
#include "wifi/ScanCapture.h"

namespace walkmere {
namespace {

std::string committedOffice() {
    const char* source = std::getenv("WALKMERE_SOURCE_DIR");
    return std::string(source ? source : ".") + "/res/wifi/office.nlscan";
}

TEST(WifiOffice, TheCommittedCaptureIsWhatTheGeneratorWrites) {
    testkit::TempDir dir;
    const std::string out = dir.file("office.nlscan").string();
    const std::string command = std::string("'") + WALKMERE_OFFICE_GENERATOR + "' '" + out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const auto written = testkit::readFileBytes(out);
    EXPECT_FALSE(written.empty());
    EXPECT_TRUE(written == testkit::readFileBytes(committedOffice()))
        << "res/wifi/office.nlscan is not what make_office_replay writes: run it again";
}

TEST(WifiOffice, AWalkPastFortyNetworksSomeHidden) {
    std::vector<ScanDump> dumps;
    std::string error;
    ASSERT_TRUE(loadScanCapture(committedOffice(), dumps, error)) << error;
    ASSERT_EQ(dumps.size(), 30u);
    std::map<std::array<uint8_t, 6>, std::set<int32_t>> signals;
    std::set<int> bands;
    size_t hidden = 0;
    for (const ScanDump& dump : dumps) {
        for (const WifiBss& b : dump.bss) {
            signals[b.bssid].insert(b.signalMbm);
            bands.insert(b.frequency > 5000 ? 5 : 2);
            if (b.ssid.empty()) ++hidden;
            EXPECT_NE(channelForFrequency(b.frequency), 0) << b.frequency;
        }
        const auto entries = boardEntries(dump, 0);
        EXPECT_FALSE(entries.back().empty());
    }
    EXPECT_GE(signals.size(), 40u);
    EXPECT_GE(hidden, 30u * 4);
    EXPECT_EQ(bands, (std::set<int>{2, 5}));
    size_t changing = 0;
    for (const auto& [bssid, heard] : signals)
        changing += heard.size() > 5;
    EXPECT_GE(changing, 30u);
}

} // namespace
} // namespace walkmere
