#pragma once
// Little-endian fields and whole bitmap files, for tests that make their own files.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/ByteOrder.h"

namespace walkmere::testkit {

using Bytes = std::vector<unsigned char>;

inline void put16(Bytes& b, size_t at, uint16_t v) {
    writeLe16(b.data() + at, v);
}

inline void put32(Bytes& b, size_t at, uint32_t v) {
    writeLe32(b.data() + at, v);
}

// A 24-bit bottom-up Windows bitmap file (negative height: top-down) whose pixels follow
// a pattern that changes with `seed`, so that misplaced or lost bytes show.
inline Bytes makeBmp(int32_t width, int32_t height, uint8_t seed = 1) {
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
    const uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
    const uint32_t pixels = stride * rows;
    Bytes b(54 + pixels);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, 54 + pixels);
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, static_cast<uint32_t>(width));
    put32(b, 22, static_cast<uint32_t>(height));
    put16(b, 26, 1);
    put16(b, 28, 24);
    put32(b, 34, pixels);
    for (uint32_t i = 0; i < pixels; ++i)
        b[54 + i] = static_cast<unsigned char>((i * 7 + seed * 13 + i / stride * 5) & 0xFF);
    return b;
}

} // namespace walkmere::testkit
