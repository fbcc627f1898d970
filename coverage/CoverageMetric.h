#pragma once

#include "coverage/CoverageGrid.h"
#include "coverage/HeatmapData.h"
#include "coverage/RssiColour.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace walkmere {

// What a coverage map shows at each survey point.
enum class Metric {
    Best,    // the strongest access point, dBm
    Second,  // the second strongest access point, dBm: where a client can roam to
    Count,   // how many access points are heard at or above the level
    Overlap, // how many other access points share the strongest one's channel
};

// The radio band a map is about (ApReading::band says a reading's).
enum class Band { Any, Ghz24, Ghz5, Ghz6 };

// The levels a Wi-Fi design is usually held to.
inline constexpr double kPrimaryTarget = -67;   // dBm, the strongest access point
inline constexpr double kSecondaryTarget = -67; // dBm, the second strongest
inline constexpr int kCountTarget = 2;          // access points at the level
inline constexpr double kOverlapLevel = -85;    // dBm: a co-channel AP this strong contends
inline constexpr int kOverlapLimit = 2;         // co-channel APs at most
// The second-strongest value of a point that heard only one access point: the bottom of the
// scale, since no second access point was there to hear.
inline constexpr double kNoSecondAp = -100;

// What the metrics count as one access point: a radio, with every network it sends
// (RadioGroups.h), or each BSSID on its own.
enum class Grouping { Radio, Bssid };

struct MetricChoice {
    Metric metric = Metric::Best;
    Band band = Band::Any;
    // Best and Second: weaker is shown as not covered. Count: the weakest reading counted.
    double threshold = -70;
    Grouping group = Grouping::Radio;
};

// Whether a reading of band `reading` lies in `band`; one of unknown band only in Any.
bool inBand(ReadingBand reading, Band band);
// A reading's MetricReading::channel: its channel's centre frequency in MHz, so that channel 1
// of 2.4 GHz and of 6 GHz differ; a reading of unknown band keeps its bare number, which no
// frequency is.
int32_t channelKey(const ApReading& reading);

// One reading at a spot as the metrics weigh it: a survey point's reading, or a BSS a
// prediction hears. `mapped` says whether it is one the map is about (it matches the
// filter and lies in the band); the others count only as co-channel contenders.
struct MetricReading {
    uint64_t mac = 0;    // macKey of the BSSID
    double rssi = 0;     // dBm
    int32_t channel = 0; // the same number for readings on the same channel, whatever the band
    bool mapped = false;
};

inline uint64_t macKey(const uint8_t* mac) {
    uint64_t key = 0;
    for (int i = 0; i < 6; ++i)
        key = key << 8 | mac[i];
    return key;
}

// The metric's value at a spot, over the mapped readings (choice.band is not looked at:
// `mapped` says it): Best and Second in dBm, Count and Overlap as counts. Nothing when the
// spot heard no mapped reading, except for Count, which is 0 there. Readings of one access
// point (a radio, or a MAC with Grouping::Bssid) count once, at their strongest; where
// access points tie for the strongest, the one listed first serves. Second is the strongest
// other access point, never another network of the serving radio. Overlap counts the other
// access points of any network, mapped or not, on the serving one's channel: another
// network on the channel contends as much as one's own.
std::optional<double> metricValue(std::span<const MetricReading> readings,
                                  const MetricChoice& choice);
// The same at a survey point, over its readings that match the filter and lie in the band.
std::optional<double> metricValue(const SurveyPoint& point, const NetworkFilter& filter,
                                  const MetricChoice& choice);

std::vector<SampleValue> metricSamples(const SurveyData& data, const NetworkFilter& filter,
                                       const MetricChoice& choice);

// Whether an interpolated value misses the map's mark (hatched as not covered): weaker than
// the threshold for Best and Second, no access point for Count, more than kOverlapLimit
// co-channel APs for Overlap.
bool missesMark(const MetricChoice& choice, float value);
// Whether it meets the design target the report counts: kPrimaryTarget, kSecondaryTarget,
// kCountTarget access points, at most kOverlapLimit.
bool meetsTarget(Metric metric, float value);

// The colour of a value. The dBm metrics use the RSSI ramp; the counts are rounded and
// take one colour each, from red (bad) to cyan (good), so the map reads the same way.
Rgb metricColour(Metric metric, float value);

// The whole counts the legend shows for Count and Overlap, best first; the last one
// stands for itself and everything beyond it ("4+", ">2").
struct CountSwatch {
    int value;
    std::string label;
};
std::vector<CountSwatch> countSwatches(Metric metric);

// Names for people: "best", "second", ... (the option's words) and what the legend heads
// the map with.
const char* metricName(Metric metric);
std::optional<Metric> metricNamed(const std::string& name);
std::string legendTitle(Metric metric);
std::string legendUnit(const MetricChoice& choice);
const char* bandName(Band band); // "", "2.4 GHz", "5 GHz", "6 GHz"

} // namespace walkmere
