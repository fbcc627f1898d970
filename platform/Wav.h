#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace walkmere {

// A sound as the player needs it: interleaved signed 16-bit samples.
struct PcmSound {
    unsigned rate = 0;
    unsigned channels = 0;
    std::vector<int16_t> samples; // frames x channels
};

// Reads a RIFF/WAVE file held in memory: PCM with 8 or 16 bits per sample, any rate,
// one or two channels. Anything else, or a damaged file, gives nothing and a reason.
std::optional<PcmSound> parseWav(const uint8_t* data, size_t size, std::string* why = nullptr);

} // namespace walkmere
