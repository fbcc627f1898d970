#include "sim/RadioBand.h"

namespace walkmere::sim {

const char* bandWord(RadioBand band) {
    switch (band) {
    case RadioBand::Ghz24:
        return "2.4";
    case RadioBand::Ghz5:
        return "5";
    case RadioBand::Ghz6:
        return "6";
    }
    return "?";
}

std::optional<RadioBand> bandNamed(std::string_view word) {
    for (RadioBand band : kBands)
        if (word == bandWord(band)) return band;
    return std::nullopt;
}

bool channelExists(RadioBand band, int channel) {
    switch (band) {
    case RadioBand::Ghz24:
        return channel >= 1 && channel <= 14;
    case RadioBand::Ghz5:
        if (channel == 32) return true;
        if (channel >= 36 && channel <= 64) return channel % 4 == 0;
        if (channel >= 100 && channel <= 144) return channel % 4 == 0;
        return channel >= 149 && channel <= 177 && channel % 4 == 1;
    case RadioBand::Ghz6:
        return channel == 2 || (channel >= 1 && channel <= 233 && channel % 4 == 1);
    }
    return false;
}

const char* bandChannelsText(RadioBand band) {
    switch (band) {
    case RadioBand::Ghz24:
        return "1 to 14";
    case RadioBand::Ghz5:
        return "32, and 36 to 64, 100 to 144 and 149 to 177 in steps of 4";
    case RadioBand::Ghz6:
        return "2, and 1 to 233 in steps of 4";
    }
    return "";
}

uint32_t channelFrequency(RadioBand band, int channel) {
    if (!channelExists(band, channel)) return 0;
    const auto ch = static_cast<uint32_t>(channel);
    switch (band) {
    case RadioBand::Ghz24:
        return ch == 14 ? 2484 : 2412 + 5 * (ch - 1);
    case RadioBand::Ghz5:
        return 5000 + 5 * ch;
    case RadioBand::Ghz6:
        return ch == 2 ? 5935 : 5950 + 5 * ch;
    }
    return 0;
}

} // namespace walkmere::sim
