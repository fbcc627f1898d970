#pragma once

#include <cstdint>

namespace walkmere {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// The colour of a point's circle and of the Options legend: red at -100 dBm and weaker,
// through yellow, green and cyan, to white at -20 dBm and stronger, in four linear steps of
// 20 dB.
Rgb rssiColour(int16_t rssi);

} // namespace walkmere
