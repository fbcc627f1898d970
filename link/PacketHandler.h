#pragma once

#include <cstddef>
#include <cstdint>

namespace walkmere {

// What the link worker hands complete frames to (the board protocol object).
class IPacketHandler {
public:
    virtual ~IPacketHandler() = default;
    // Called on the worker thread for every complete frame, before the assembler resets.
    virtual void dispatchPacket(uint8_t type, const uint8_t* payload, uint32_t length) = 0;
    // Called on the worker thread after more than ten seconds without a write.
    virtual void sendKeepAlive() = 0;
};

// The one-frame send slot of the serial link, as seen by those who queue frames: a frame
// longer than the slot cannot be sent, so whoever builds one encodes it into this many bytes.
inline constexpr size_t kSendSlotSize = 128;

class IFrameQueue {
public:
    virtual ~IFrameQueue() = default;
    // Copies min(n, 128) bytes into the slot (replacing a frame not yet written) and
    // marks it pending; returns 1. Callable from any thread.
    virtual int queueFrame(const uint8_t* bytes, uint32_t n) = 0;
};

} // namespace walkmere
