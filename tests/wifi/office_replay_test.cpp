#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>

#include "testkit/TempDir.h"
#include "wifi/ScanCapture.h"
#include "wifi/WifiChannel.h"

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
        std::set<std::array<uint8_t, 6>> heard;
        for (const WifiBss& b : dump.bss) {
            signals[b.bssid].insert(b.signalMbm);
            heard.insert(b.bssid);
            bands.insert(b.frequency > 5000 ? 5 : 2);
            if (b.ssid.empty()) ++hidden;
            EXPECT_NE(channelForFrequency(b.frequency), 0) << b.frequency;
        }
        EXPECT_GE(heard.size(), 16u) << "every dump fills the board's 16 entries";
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
