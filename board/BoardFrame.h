#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace walkmere {

// The board's side of the frame format: 11 12 <type> <payload> 11 13, with every 0x11 of
// the type and payload sent as 11 14. Unlike the handheld's encoder it has no 128-byte
// limit: an entry packet (70 payload bytes) full of 0x11 bytes grows to 146 bytes.
void appendBoardFrame(std::vector<uint8_t>& out, uint8_t type, const uint8_t* payload, size_t n);

inline std::vector<uint8_t> boardFrame(uint8_t type, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> out;
    appendBoardFrame(out, type, payload.data(), payload.size());
    return out;
}

} // namespace walkmere
