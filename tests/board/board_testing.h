#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "link/FrameAssembler.h"
#include "link/FrameEncoder.h"
#include "link/PacketHandler.h"
#include "testkit/ScanBytes.h"

namespace walkmere::testing {

struct Frame {
    uint8_t type = 0;
    std::vector<uint8_t> payload;
};

// Runs bytes through the handheld's assembler and returns every complete frame.
inline std::vector<Frame> parseFrames(const std::vector<uint8_t>& bytes, CFrameAssembler& a) {
    std::vector<Frame> frames;
    for (uint8_t b : bytes) {
        a.feed(b);
        if (a.state() == CFrameAssembler::Complete) {
            frames.push_back(
                {a.type(), std::vector<uint8_t>(a.payload(), a.payload() + a.length())});
            a.reset();
        }
    }
    return frames;
}

inline std::vector<Frame> parseFrames(const std::vector<uint8_t>& bytes) {
    CFrameAssembler a;
    return parseFrames(bytes, a);
}

// The handheld's request frames.
inline std::vector<uint8_t> request(uint8_t type, const std::vector<uint8_t>& payload = {}) {
    uint8_t out[kSendSlotSize];
    size_t n = encodeFrame(type, payload.data(), payload.size(), out, sizeof out);
    return std::vector<uint8_t>(out, out + n);
}

using scantest::entryRequestPayload;

inline std::vector<uint8_t> entryRequest(uint8_t nn) {
    return request(3, entryRequestPayload(nn));
}

// The handheld's end of a pseudo-terminal: opens the slave path, writes requests and
// collects the board's frames.
class LineClient {
public:
    explicit LineClient(const std::string& path);
    ~LineClient();
    bool isOpen() const { return fd >= 0; }
    void close();

    void write(const std::vector<uint8_t>& bytes);
    // Reads until `count` frames have been parsed or the time runs out; returns what came.
    std::vector<Frame> readFrames(size_t count, std::chrono::milliseconds limit);
    // Everything read so far, noise included.
    const std::vector<uint8_t>& rawBytes() const { return raw; }

private:
    int fd = -1;
    CFrameAssembler assembler;
    std::vector<Frame> pending;
    std::vector<uint8_t> raw;
};

} // namespace walkmere::testing
