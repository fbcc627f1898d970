#include "coverage/RssiColour.h"

namespace walkmere {

Rgb rssiColour(int16_t rssi) {
    int r = rssi;
    if (r < -100) r = -100;
    if (r > -20) r = -20;
    // q runs 0..242 over the 20 dB of a segment (255 only at -20 itself).
    auto q = [](int d) { return static_cast<uint8_t>((d * 255) / 20); };
    if (r <= -81) return {255, q(r + 100), 0};
    if (r <= -61) return {static_cast<uint8_t>(255 - q(r + 80)), 255, 0};
    if (r <= -41) return {0, 255, q(r + 60)};
    return {q(r + 40), 255, 255};
}

} // namespace walkmere
