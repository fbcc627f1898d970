#pragma once

#include <cstdint>

namespace walkmere {

// The channel of a frequency in MHz: 2412-2472 are 2.4 GHz channels 1-13 and 2484 is 14;
// 5005-5920 are 5 GHz channels 1-184; 5935 is 6 GHz channel 2 and 5955-7115 are 6 GHz
// channels 1-233. Anything else, a frequency off the 5 MHz grid among them, is 0.
int channelForFrequency(uint32_t mhz);

// Whether a frequency with a channel is a 6 GHz one: its channel number alone does not say.
bool sixGhzFrequency(uint32_t mhz);

} // namespace walkmere
