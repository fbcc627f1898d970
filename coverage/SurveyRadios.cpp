#include "coverage/SurveyRadios.h"

#include "coverage/CoverageMetric.h"
#include "coverage/RadioGroups.h"

#include <algorithm>
#include <map>
#include <utility>

namespace walkmere {

std::vector<SurveyRadio> surveyRadios(const SurveyData& data) {
    // Every BSSID on every channel it was heard on (the channel of its band: 2.4 GHz channel
    // 1 is not 6 GHz channel 1), with the SSID it first named.
    std::map<std::pair<uint64_t, int32_t>, RadioBssid> heardBss;
    std::map<int32_t, std::pair<int32_t, ReadingBand>> channelOfKey;
    for (const SurveyPoint& p : data.points)
        for (const ApReading& r : p.readings) {
            heardBss.try_emplace(
                {macKey(r.mac()), channelKey(r)},
                RadioBssid{{r.mac()[0], r.mac()[1], r.mac()[2], r.mac()[3], r.mac()[4], r.mac()[5]},
                           r.ssid()});
            channelOfKey.try_emplace(channelKey(r), r.channel(), r.band());
        }

    // The radios, grouped over the whole survey. The map lists the BSSIDs by address and
    // channel, so each radio is made at its lowest BSSID, in the order wanted.
    std::vector<MetricReading> keyed;
    for (const auto& [bss, named] : heardBss)
        keyed.push_back({bss.first, 0, bss.second, true});
    keyByRadio(keyed);
    std::vector<SurveyRadio> radios;
    std::map<uint64_t, size_t> radioOfKey;
    std::map<std::pair<uint64_t, int32_t>, size_t> radioOfBss;
    size_t i = 0;
    for (const auto& [bss, named] : heardBss) {
        const auto [at, added] = radioOfKey.try_emplace(keyed[i++].mac, radios.size());
        if (added) {
            const auto& [channel, band] = channelOfKey.at(bss.second);
            radios.push_back({channel, band, {}, {}});
        }
        radios[at->second].bssids.push_back(named);
        radioOfBss[bss] = at->second;
    }

    // Each point's strongest reading of each radio it heard.
    std::map<size_t, double> strongest;
    for (const SurveyPoint& p : data.points) {
        strongest.clear();
        for (const ApReading& r : p.readings) {
            const size_t radio = radioOfBss.at({macKey(r.mac()), channelKey(r)});
            const double rssi = r.rssiDbm();
            const auto [at, added] = strongest.try_emplace(radio, rssi);
            if (!added) at->second = std::max(at->second, rssi);
        }
        for (const auto& [radio, rssi] : strongest)
            radios[radio].heard.push_back({p.x, p.y, rssi});
    }
    return radios;
}

std::vector<std::string> radioSsids(const SurveyRadio& radio) {
    std::vector<std::string> ssids;
    for (const RadioBssid& bss : radio.bssids)
        if (std::find(ssids.begin(), ssids.end(), bss.ssid) == ssids.end())
            ssids.push_back(bss.ssid);
    return ssids;
}

} // namespace walkmere
