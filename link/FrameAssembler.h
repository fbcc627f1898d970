#pragma once

#include <cstddef>
#include <cstdint>

namespace walkmere {

// Frames on the board line:  11 12 <type> <payload...> 11 13
// A 0x11 in the type or the payload is sent as 11 14. Everything outside a frame
// (line noise, the keep-alive's zero bytes) is ignored.
inline constexpr uint8_t kFrameMarker = 0x11;
inline constexpr uint8_t kFrameStart = 0x12;
inline constexpr uint8_t kFrameEnd = 0x13;
inline constexpr uint8_t kFrameEscape = 0x14;

inline constexpr size_t kMaxPayload = 8192; // longer frames are dropped
inline constexpr size_t kMaxEncodedFrame = 128;

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

// Builds the frame for <type, payload> into out (kMaxEncodedFrame bytes) and returns its
// length, or 0 when the encoded frame would not fit (the program never builds one).
size_t encodeFrame(uint8_t type, const uint8_t* payload, size_t n, uint8_t* out);

} // namespace walkmere
