// A site with 2.4 GHz and 6 GHz radios on channel 1, surveyed through the program's measuring
// path: the stored readings keep their bands apart, and the maps of the survey agree with the
// model's truth on what each band hears and on which access points share a channel.
#include "coverage/PredictedCoverage.h"
#include "survey/SiteFile.h"
#include "testkit/SimulatedOffice.h"
#include "testkit/SimulatedSurvey.h"

#include <gtest/gtest.h>

namespace walkmere {
namespace {

// West sends on 2.4 GHz and 6 GHz channel 1, East on 2.4 GHz channel 1; no shadowing and no
// fluctuation, so that a survey point hears the truth to the rounding.
constexpr const char* kModel = R"({
  "site": "office.kvs",
  "units": "m",
  "accessPoints": [
    {"name": "West", "x": 60, "y": 300, "radios": [
      {"band": "2.4", "channel": 1, "power": 17, "bss": [{"bssid": "02:00:00:00:01:01", "ssid": "Corp"}]},
      {"band": "6", "channel": 1, "power": 23, "bss": [{"bssid": "02:00:00:00:01:61", "ssid": "Corp"}]}]},
    {"name": "East", "x": 740, "y": 300, "radios": [
      {"band": "2.4", "channel": 1, "power": 17, "bss": [{"bssid": "02:00:00:00:02:01", "ssid": "Corp"}]}]}
  ],
  "propagation": {
    "shadowing": {"sigma": 0},
    "fluctuation": 0,
    "noiseFloor": {"2.4": -127, "6": -127}
  }
})";

TEST(SixGhzSurvey, KeepsTheBandsApartFromTheBoardToTheMaps) {
    testkit::TempDir dir;
    const simtest::SimulatedOffice office = simtest::makeSimulatedOffice(dir.path(), kModel);
    const ModelSite model = simtest::openOffice(office);
    const std::vector<simtest::Spot> spots = {{120, 300}, {400, 300}, {700, 300}};
    std::string why;
    ASSERT_EQ(simtest::surveyThroughProgram(office.model, spots, why), spots.size()) << why;
    const ReadOnlySite surveyed = openSiteReadOnly(office.site.string());
    ASSERT_TRUE(surveyed.accepted());
    SurveyData survey;
    ASSERT_EQ(readSurvey(surveyed.fd.get(), surveyed.validation.layout, survey), "");
    ASSERT_EQ(survey.points.size(), spots.size());

    for (const SurveyPoint& point : survey.points) {
        SCOPED_TRACE("at " + std::to_string(point.x) + "," + std::to_string(point.y));
        ASSERT_EQ(point.readings.size(), 3u);
        for (const ApReading& r : point.readings) {
            EXPECT_EQ(r.channel(), 1);
            EXPECT_EQ(r.band(), r.mac()[5] == 0x61 ? ReadingBand::Ghz6 : ReadingBand::Ghz24)
                << macText(r.mac());
        }
        for (const Band band : {Band::Ghz24, Band::Ghz6})
            for (const Metric metric : {Metric::Best, Metric::Overlap}) {
                SCOPED_TRACE(std::string(bandName(band)) + " " + metricName(metric));
                const MetricChoice choice{metric, band};
                const auto truth =
                    truthMetricAt(*model.site, point.x + 0.5, point.y + 0.5, {}, choice);
                const auto surveyedValue = metricValue(point, {}, choice);
                ASSERT_TRUE(truth && surveyedValue);
                EXPECT_NEAR(*surveyedValue, *truth, 0.5);
            }
    }
}

} // namespace
} // namespace walkmere
