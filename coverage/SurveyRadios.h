#pragma once

#include "coverage/HeatmapData.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace walkmere {

// One BSSID of a radio, with the network it named when first heard.
struct RadioBssid {
    std::array<uint8_t, 6> mac{};
    std::string ssid;
};

// A survey point that heard a radio, and the radio's strongest reading there in dBm (to a
// 256th, as stored).
struct RadioHearing {
    int32_t x = 0;
    int32_t y = 0;
    double rssi = 0;
};

// An access point's radio as a survey heard it: every BSSID it sends (RadioGroups.h), on
// one channel.
struct SurveyRadio {
    int32_t channel = 0;
    ReadingBand band = ReadingBand::Unknown;
    std::vector<RadioBssid> bssids;  // by address
    std::vector<RadioHearing> heard; // one per point that heard it, in survey order
};

// The networks a radio sends, each once, in the order of its BSSIDs.
std::vector<std::string> radioSsids(const SurveyRadio& radio);

// Every radio heard at the survey's points, by its lowest BSSID and then its channel, so
// that the radios of one box stand together.
std::vector<SurveyRadio> surveyRadios(const SurveyData& data);

} // namespace walkmere
