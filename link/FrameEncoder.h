#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace walkmere {

// Builds the frame for <type, payload> (link/BoardWire.h) into out, which holds `capacity`
// bytes, and returns its length: 5 + n + one byte for each 0x11 in the type and the payload.
// Returns 0, with nothing written beyond `capacity`, when the frame would not fit; the
// handheld passes its 128-byte send slot and never builds a frame that long.
size_t encodeFrame(uint8_t type, const uint8_t* payload, size_t n, uint8_t* out, size_t capacity);

// The same frame appended to out, however long it grows: the stand-in board's entry packet
// (70 payload bytes) full of 0x11 bytes takes 145 bytes.
void appendFrame(std::vector<uint8_t>& out, uint8_t type, const uint8_t* payload, size_t n);

} // namespace walkmere
