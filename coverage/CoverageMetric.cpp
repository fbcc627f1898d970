#include "coverage/CoverageMetric.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace walkmere {

namespace {

// One access point at one survey point: its strongest reading there.
struct HeardHere {
    const uint8_t* mac;
    int rssi;
    int channel;
};

// The readings of a point that `keep` accepts, one per MAC, strongest first. A point holds
// at most 32 readings, so the quadratic merge costs nothing.
template <typename Keep> std::vector<HeardHere> heardHere(const SurveyPoint& point, Keep keep) {
    std::vector<HeardHere> heard;
    for (const ApReading& r : point.readings) {
        if (!keep(r)) continue;
        auto same = std::find_if(heard.begin(), heard.end(), [&](const HeardHere& h) {
            return std::memcmp(h.mac, r.mac(), 6) == 0;
        });
        if (same == heard.end())
            heard.push_back({r.mac(), r.rssiDbm(), r.channel()});
        else if (r.rssiDbm() > same->rssi)
            *same = {r.mac(), r.rssiDbm(), r.channel()};
    }
    std::stable_sort(heard.begin(), heard.end(),
                     [](const HeardHere& a, const HeardHere& b) { return a.rssi > b.rssi; });
    return heard;
}

// Count values as the legend rounds them.
int wholeCount(float value) {
    return static_cast<int>(std::lround(std::clamp(value, 0.0f, 1000.0f)));
}

} // namespace

bool inBand(int channel, Band band) {
    switch (band) {
    case Band::Any:
        return true;
    case Band::Ghz24:
        return channel >= 1 && channel <= 14;
    case Band::Ghz5:
        return channel >= 32 && channel <= 177;
    }
    return false;
}

std::optional<double> metricValue(const SurveyPoint& point, const NetworkFilter& filter,
                                  const MetricChoice& choice) {
    const std::vector<HeardHere> heard = heardHere(point, [&](const ApReading& r) {
        return filter.matches(r) && inBand(r.channel(), choice.band);
    });
    switch (choice.metric) {
    case Metric::Best:
        if (heard.empty()) return std::nullopt;
        return heard[0].rssi;
    case Metric::Second:
        if (heard.empty()) return std::nullopt;
        return heard.size() > 1 ? heard[1].rssi : kNoSecondAp;
    case Metric::Count:
        return double(std::count_if(heard.begin(), heard.end(), [&](const HeardHere& h) {
            return h.rssi >= choice.threshold;
        }));
    case Metric::Overlap: {
        if (heard.empty()) return std::nullopt;
        const HeardHere& serving = heard[0];
        const std::vector<HeardHere> onChannel = heardHere(point, [&](const ApReading& r) {
            return r.channel() == serving.channel && std::memcmp(r.mac(), serving.mac, 6) != 0;
        });
        return double(std::count_if(onChannel.begin(), onChannel.end(),
                                    [](const HeardHere& h) { return h.rssi >= kOverlapLevel; }));
    }
    }
    return std::nullopt;
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
    }
    return "";
}

} // namespace walkmere
