#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <thread>

#include "SimTesting.h"
#include "sim/SimulatedWifiSource.h"
#include "testkit/ManualClock.h"

namespace walkmere::sim {
namespace {

TEST(SimulatedWifiSource, HearsTheSiteWhereTheSurveyorStands) {
    auto site = std::make_shared<const SimulatedSite>(
        simtest::bound(simtest::officeModel(), simtest::officePlan()));
    auto position = std::make_shared<SurveyorPosition>();
    testkit::ManualClock clock(500);
    SimulatedWifiSource source(site, position, "/data/office.json", clock);
    EXPECT_EQ(source.firmware(), "simulated site");
    EXPECT_EQ(source.serial(), "office");

    const struct {
        PlanSpot at;
        const char* strongest;
    } cases[] = {{{100, 150}, "North 1"}, {{600, 430}, "Kitchen"}};
    for (const auto& c : cases) {
        position->set(c.at);
        clock.advance(2);
        std::string error;
        const std::optional<ScanDump> dump = source.next(error);
        ASSERT_TRUE(dump) << error;
        EXPECT_EQ(dump->readAt, clock.seconds());
        EXPECT_TRUE(dump->raw.empty());
        const std::vector<HeardBss> truth = site->truthAt(c.at.x, c.at.y);
        EXPECT_EQ(site->model().accessPoints[size_t(truth[0].accessPoint)].name, c.strongest);
        // Every BSS the truth hears clear of the noise floor is in the scan, with its RSSI
        // within the fluctuation (and the rounding to a whole dBm).
        std::set<Bssid> scanned;
        for (size_t i = 0; i < dump->bss.size(); ++i) {
            const WifiBss& got = dump->bss[i];
            scanned.insert(got.bssid);
            if (i > 0) {
                EXPECT_GE(dump->bss[i - 1].signalMbm, got.signalMbm);
            }
            EXPECT_EQ(got.signalMbm % 100, 0);
            EXPECT_EQ(got.seenMsAgo, 0u);
        }
        for (const HeardBss& h : truth) {
            const ModelRadio& radio =
                site->model().accessPoints[size_t(h.accessPoint)].radios[size_t(h.radio)];
            const ModelBss& bss = radio.bss[size_t(h.bss)];
            const auto got = std::find_if(dump->bss.begin(), dump->bss.end(),
                                          [&](const WifiBss& w) { return w.bssid == bss.bssid; });
            if (h.rssiDbm < -95 + 2) continue; // the fluctuation may take it under the floor
            ASSERT_NE(got, dump->bss.end()) << bssidText(bss.bssid);
            EXPECT_EQ(got->ssid, bss.ssid);
            EXPECT_EQ(got->frequency, channelFrequency(radio.band, radio.channel));
            EXPECT_LE(std::fabs(got->signalMbm / 100.0 - h.rssiDbm), 2.5);
        }
        EXPECT_GE(scanned.size(), 8u);
    }
}

TEST(SurveyorPosition, AReaderNeverSeesHalfAMove) {
    SurveyorPosition position;
    std::thread mover([&] {
        for (int i = 0; i < 20000; ++i)
            position.set({double(i), double(i)});
    });
    for (int i = 0; i < 20000; ++i) {
        const PlanSpot spot = position.get();
        ASSERT_EQ(spot.x, spot.y);
    }
    mover.join();
}

} // namespace
} // namespace walkmere::sim
