#include "link/FrameEncoder.h"

#include "link/BoardWire.h"

namespace walkmere {

size_t encodeFrame(uint8_t type, const uint8_t* payload, size_t n, uint8_t* out, size_t capacity) {
    size_t len = 0;
    auto put = [&](uint8_t b) -> bool {
        if (len >= capacity) return false;
        out[len++] = b;
        return true;
    };
    auto putStuffed = [&](uint8_t b) -> bool {
        return put(b) && (b != kFrameMarker || put(kFrameEscape));
    };
    bool ok = put(kFrameMarker) && put(kFrameStart) && putStuffed(type);
    for (size_t i = 0; ok && i < n; ++i)
        ok = putStuffed(payload[i]);
    ok = ok && put(kFrameMarker) && put(kFrameEnd);
    return ok ? len : 0;
}

void appendFrame(std::vector<uint8_t>& out, uint8_t type, const uint8_t* payload, size_t n) {
    // Room for the longest frame these bytes can make: every one of them stuffed.
    const size_t at = out.size();
    out.resize(at + 2 * (n + 1) + 4);
    out.resize(at + encodeFrame(type, payload, n, out.data() + at, out.size() - at));
}

} // namespace walkmere
