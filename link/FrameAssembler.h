#pragma once

#include <cstddef>
#include <cstdint>

#include "link/BoardWire.h"

namespace walkmere {

inline constexpr size_t kMaxPayload = 8192; // longer frames are dropped

// Byte-at-a-time receiver of board frames. Only the link worker touches it.
class CFrameAssembler {
public:
    enum State : int16_t {
        Idle = 0,           // outside any frame
        Marker = 16,        // 0x11 seen outside a frame
        Start = 32,         // start sequence complete; the next byte is the type
        TypeEscape = 48,    // the type byte was 0x11; 0x14 must follow
        Payload = 64,       // inside the payload
        PayloadEscape = 80, // 0x11 seen inside the payload
        Complete = 96,      // end sequence seen; the frame is ready
    };

    CFrameAssembler();

    // Idle, length 0, payload all zero. The type keeps its value.
    void reset();
    // One step of the state machine; the caller reads state() afterwards.
    void feed(uint8_t b);

    State state() const { return current; }
    uint8_t type() const { return frameType; }
    const uint8_t* payload() const { return buffer; }
    uint32_t length() const { return stored; }

private:
    void drop() { reset(); }
    void store(uint8_t b);

    // Invariant: every byte at or beyond `stored` is zero. Bytes are only ever written
    // at buffer[stored] followed by ++stored, so reset() need only clear what the last
    // frame wrote instead of all 8192 bytes.
    uint8_t buffer[kMaxPayload];
    uint8_t frameType = 0;
    uint32_t stored = 0;
    State current = Idle;
};

} // namespace walkmere
