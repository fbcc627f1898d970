#include "coverage/CoverageMetric.h"

#include "coverage/RadioGroups.h"

#include <algorithm>
#include <array>

namespace walkmere {

namespace {

// The reading of the access point that serves the spot: the strongest mapped one. Where
// several access points reach that level, the one whose first mapped reading comes first
// serves, with its first reading at that level (a survey point lists what it heard in the
// order it was heard).
const MetricReading* servingReading(std::span<const MetricReading> readings) {
    const MetricReading* strongest = nullptr;
    for (const MetricReading& r : readings)
        if (r.mapped && (!strongest || r.rssi > strongest->rssi)) strongest = &r;
    if (!strongest) return nullptr;
    const auto firstMapped = [&](uint64_t mac) {
        size_t i = 0;
        while (i < readings.size() && !(readings[i].mapped && readings[i].mac == mac))
            ++i;
        return i;
    };
    // Only readings after the first one at the level can tie with it.
    const MetricReading* serving = strongest;
    size_t servingFirst = firstMapped(strongest->mac);
    for (const MetricReading* r = strongest + 1; r != readings.data() + readings.size(); ++r) {
        if (!r->mapped || r->rssi != strongest->rssi || r->mac == serving->mac) continue;
        const size_t first = firstMapped(r->mac);
        if (first < servingFirst) {
            serving = r;
            servingFirst = first;
        }
    }
    return serving;
}

// How many access points (distinct keys) have a reading that `counts` accepts.
template <typename Counts>
int accessPointsWhere(std::span<const MetricReading> readings, Counts counts) {
    // A survey point holds at most 32 readings; a prediction's spot may hear more.
    constexpr size_t kLocal = 64;
    std::array<uint64_t, kLocal> local;
    std::vector<uint64_t> spilled;
    size_t n = 0;
    for (const MetricReading& r : readings) {
        if (!counts(r)) continue;
        if (n < kLocal)
            local[n] = r.mac;
        else {
            if (spilled.empty()) spilled.assign(local.begin(), local.end());
            spilled.push_back(r.mac);
        }
        ++n;
    }
    uint64_t* macs = spilled.empty() ? local.data() : spilled.data();
    std::sort(macs, macs + n);
    return static_cast<int>(std::unique(macs, macs + n) - macs);
}

// Count values as the legend rounds them.
int wholeCount(float value) {
    return static_cast<int>(std::lround(std::clamp(value, 0.0f, 1000.0f)));
}

} // namespace

bool inBand(ReadingBand reading, Band band) {
    switch (band) {
    case Band::Any:
        return true;
    case Band::Ghz24:
        return reading == ReadingBand::Ghz24;
    case Band::Ghz5:
        return reading == ReadingBand::Ghz5;
    case Band::Ghz6:
        return reading == ReadingBand::Ghz6;
    }
    return false;
}

int32_t channelKey(const ApReading& reading) {
    const int32_t channel = reading.channel();
    switch (reading.band()) {
    case ReadingBand::Ghz24:
        return channel == 14 ? 2484 : 2407 + 5 * channel;
    case ReadingBand::Ghz5:
        return 5000 + 5 * channel;
    case ReadingBand::Ghz6:
        return channel == 2 ? 5935 : 5950 + 5 * channel;
    case ReadingBand::Unknown:
        break;
    }
    return channel;
}

namespace {

// The metric over readings keyed by access point: a reading's `mac` names its access point.
std::optional<double> accessPointMetric(std::span<const MetricReading> readings,
                                        const MetricChoice& choice) {
    const MetricReading* serving = servingReading(readings);
    switch (choice.metric) {
    case Metric::Best:
        if (!serving) return std::nullopt;
        return serving->rssi;
    case Metric::Second: {
        if (!serving) return std::nullopt;
        // Another access point at the serving one's level makes the second as strong.
        std::optional<double> second;
        for (const MetricReading& r : readings)
            if (r.mapped && r.mac != serving->mac && (!second || r.rssi > *second)) second = r.rssi;
        return second.value_or(kNoSecondAp);
    }
    case Metric::Count:
        return double(accessPointsWhere(readings, [&](const MetricReading& r) {
            return r.mapped && r.rssi >= choice.threshold;
        }));
    case Metric::Overlap:
        if (!serving) return std::nullopt;
        return double(accessPointsWhere(readings, [&](const MetricReading& r) {
            return r.channel == serving->channel && r.mac != serving->mac &&
                   r.rssi >= kOverlapLevel;
        }));
    }
    return std::nullopt;
}

} // namespace

std::optional<double> metricValue(std::span<const MetricReading> readings,
                                  const MetricChoice& choice) {
    if (choice.group == Grouping::Bssid) return accessPointMetric(readings, choice);
    const ReadingsByRadio byRadio(readings);
    return accessPointMetric(byRadio.readings(), choice);
}

std::optional<double> metricValue(const SurveyPoint& point, const NetworkFilter& filter,
                                  const MetricChoice& choice) {
    std::vector<MetricReading> readings;
    readings.reserve(point.readings.size());
    for (const ApReading& r : point.readings)
        readings.push_back({macKey(r.mac()), double(r.rssiDbm()), channelKey(r),
                            filter.matches(r) && inBand(r.band(), choice.band)});
    return metricValue(readings, choice);
}

std::vector<SampleValue> metricSamples(const SurveyData& data, const NetworkFilter& filter,
                                       const MetricChoice& choice) {
    std::vector<SampleValue> samples;
    for (const SurveyPoint& p : data.points)
        if (const auto v = metricValue(p, filter, choice)) samples.push_back({p.x, p.y, *v});
    return samples;
}

bool missesMark(const MetricChoice& choice, float value) {
    switch (choice.metric) {
    case Metric::Best:
    case Metric::Second:
        return value < static_cast<float>(choice.threshold);
    case Metric::Count:
        return wholeCount(value) < 1;
    case Metric::Overlap:
        return wholeCount(value) > kOverlapLimit;
    }
    return false;
}

bool meetsTarget(Metric metric, float value) {
    switch (metric) {
    case Metric::Best:
        return value >= static_cast<float>(kPrimaryTarget);
    case Metric::Second:
        return value >= static_cast<float>(kSecondaryTarget);
    case Metric::Count:
        return wholeCount(value) >= kCountTarget;
    case Metric::Overlap:
        return wholeCount(value) <= kOverlapLimit;
    }
    return false;
}

Rgb metricColour(Metric metric, float value) {
    // The counts borrow the ramp's colours at these levels.
    static constexpr std::array<int16_t, 5> kCountLevels = {-100, -80, -60, -40, -30};
    static constexpr std::array<int16_t, 4> kOverlapLevels = {-40, -60, -80, -100};
    switch (metric) {
    case Metric::Best:
    case Metric::Second:
        return rssiColour(
            static_cast<int16_t>(std::clamp(std::floor(value + 0.5f), -200.0f, 0.0f)));
    case Metric::Count:
        return rssiColour(kCountLevels[size_t(std::min(wholeCount(value), 4))]);
    case Metric::Overlap:
        return rssiColour(kOverlapLevels[size_t(std::min(wholeCount(value), 3))]);
    }
    return {};
}

std::vector<CountSwatch> countSwatches(Metric metric) {
    if (metric == Metric::Count) return {{4, "4+"}, {3, "3"}, {2, "2"}, {1, "1"}, {0, "0"}};
    if (metric == Metric::Overlap) return {{0, "0"}, {1, "1"}, {2, "2"}, {3, ">2"}};
    return {};
}

namespace {

// Each metric's option word and the legend's heading, in the order of the enum.
struct MetricNames {
    Metric metric;
    const char* option;
    const char* title;
};
constexpr MetricNames kMetricNames[] = {
    {Metric::Best, "best", "STRONGEST AP"},
    {Metric::Second, "second", "SECOND AP"},
    {Metric::Count, "count", "AP COUNT"},
    {Metric::Overlap, "overlap", "CO-CHANNEL APS"},
};

static_assert(kMetricNames[static_cast<size_t>(Metric::Overlap)].metric == Metric::Overlap);

const MetricNames& namesOf(Metric metric) {
    return kMetricNames[static_cast<size_t>(metric)];
}

} // namespace

const char* metricName(Metric metric) {
    return namesOf(metric).option;
}

std::optional<Metric> metricNamed(const std::string& name) {
    for (const MetricNames& m : kMetricNames)
        if (name == m.option) return m.metric;
    return std::nullopt;
}

std::string legendTitle(Metric metric) {
    return namesOf(metric).title;
}

std::string legendUnit(const MetricChoice& choice) {
    const auto level = [](double dbm) { return std::to_string(std::lround(dbm)) + " dBm"; };
    switch (choice.metric) {
    case Metric::Best:
    case Metric::Second:
        return "dBm";
    case Metric::Count:
        return "APS >=" + level(choice.threshold);
    case Metric::Overlap:
        return "OTHERS >=" + level(kOverlapLevel);
    }
    return "";
}

const char* bandName(Band band) {
    switch (band) {
    case Band::Any:
        return "";
    case Band::Ghz24:
        return "2.4 GHz";
    case Band::Ghz5:
        return "5 GHz";
    case Band::Ghz6:
        return "6 GHz";
    }
    return "";
}

} // namespace walkmere
