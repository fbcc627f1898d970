#include "board/BoardFrame.h"

#include "link/FrameAssembler.h"

namespace walkmere {

void appendBoardFrame(std::vector<uint8_t>& out, uint8_t type, const uint8_t* payload, size_t n) {
    auto stuffed = [&out](uint8_t b) {
        out.push_back(b);
        if (b == kFrameMarker) out.push_back(kFrameEscape);
    };
    out.reserve(out.size() + 5 + 2 * n);
    out.push_back(kFrameMarker);
    out.push_back(kFrameStart);
    stuffed(type);
    for (size_t i = 0; i < n; ++i)
        stuffed(payload[i]);
    out.push_back(kFrameMarker);
    out.push_back(kFrameEnd);
}

} // namespace walkmere
