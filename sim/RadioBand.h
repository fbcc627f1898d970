#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace walkmere::sim {

// The radio bands a model's access points send on.
enum class RadioBand { Ghz24, Ghz5, Ghz6 };
inline constexpr size_t kBandCount = 3;
inline constexpr std::array<RadioBand, kBandCount> kBands{RadioBand::Ghz24, RadioBand::Ghz5,
                                                          RadioBand::Ghz6};

// One value for each band (a reference loss, a noise floor), looked up by the band.
struct PerBand {
    std::array<double, kBandCount> values{};
    double& operator[](RadioBand band) { return values[static_cast<size_t>(band)]; }
    double operator[](RadioBand band) const { return values[static_cast<size_t>(band)]; }
};

// "2.4", "5", "6": the words the model file uses, and back.
const char* bandWord(RadioBand band);
std::optional<RadioBand> bandNamed(std::string_view word);

// Whether `channel` exists in the band: 2.4 GHz 1 to 14; 5 GHz the 20 MHz channels 32,
// 36 to 64, 100 to 144 and 149 to 177 in steps of 4; 6 GHz 1 to 233 in steps of 4, and 2.
bool channelExists(RadioBand band, int channel);
// Those channels in words, for a message: "1 to 14".
const char* bandChannelsText(RadioBand band);

// A channel's centre frequency in MHz, as nl80211 reports it: 2412 + 5 (ch - 1) and 2484
// for channel 14; 5000 + 5 ch; 5950 + 5 ch and 5935 for channel 2 (the inverse of
// wifi/WifiChannel.h's channelForFrequency). 0 for a channel that does not exist.
uint32_t channelFrequency(RadioBand band, int channel);

} // namespace walkmere::sim
