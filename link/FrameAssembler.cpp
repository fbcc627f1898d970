#include "link/FrameAssembler.h"

#include <cstring>

namespace walkmere {

CFrameAssembler::CFrameAssembler() {
    std::memset(buffer, 0, sizeof buffer);
}

void CFrameAssembler::reset() {
    std::memset(buffer, 0, stored);
    stored = 0;
    current = Idle;
}

void CFrameAssembler::store(uint8_t b) {
    if (stored >= kMaxPayload) { // longer than any frame we handle: drop it whole
        drop();
        return;
    }
    buffer[stored++] = b;
}

void CFrameAssembler::feed(uint8_t b) {
    switch (current) {
    case Idle:
        if (b == kFrameMarker) current = Marker;
        break;
    case Marker:
        if (b == kFrameStart)
            current = Start;
        else
            drop(); // a doubled marker lands here too
        break;
    case Start:
        frameType = b;
        current = (b == kFrameMarker) ? TypeEscape : Payload;
        break;
    case TypeEscape:
        if (b == kFrameEscape)
            current = Payload;
        else
            drop();
        break;
    case Payload:
        if (b == kFrameMarker)
            current = PayloadEscape;
        else
            store(b);
        break;
    case PayloadEscape:
        if (b == kFrameEnd) {
            current = Complete;
        } else if (b == kFrameEscape) {
            current = Payload;
            store(kFrameMarker);
        } else {
            drop(); // includes a new start sequence inside an unfinished frame
        }
        break;
    case Complete:
        break; // stays until the worker has dispatched the frame and reset us
    }
}

} // namespace walkmere
