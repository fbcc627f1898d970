#pragma once
// Whole site files for the site-file tests: a header with every uninterpreted byte set to
// a pattern (so that any stray write shows), a real Huffman-coded floor plan, a white
// signature block and the points section.

#include "survey/BitmapCompressor.h"
#include "survey/CodecStreams.h"
#include "survey/PointRecords.h"
#include "survey/SiteHeader.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace walkmere::sitefiletest {

using Bytes = std::vector<unsigned char>;

inline void put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
inline void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void append32(Bytes& b, uint32_t v) {
    b.resize(b.size() + 4);
    put32(b, b.size() - 4, v);
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A 24-bit bottom-up Windows bitmap file (negative height: top-down).
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

inline Bytes compressPlan(const Bytes& content) {
    std::vector<uint8_t> block;
    VectorSink sink(block);
    compressFloorPlan(std::span<const uint8_t>(content.data(), content.size()), sink);
    return Bytes(block.begin(), block.end());
}

struct SiteLayout {
    uint32_t headerLength = 152;
    uint16_t version = 4;
    Bytes plan = makeBmp(20, 10);
    Bytes points; // records and readings after the section head
};

struct BuiltSite {
    Bytes bytes;
    uint32_t bitmapOffset = 0;
    uint32_t signatureOffset = 0;
    uint32_t pointsOffset = 0;
    uint32_t planBlockLength = 0;
};

// header | floor-plan block | signature block | points section
inline BuiltSite buildSite(const SiteLayout& layout = {}) {
    BuiltSite s;
    Bytes& b = s.bytes;
    b.resize(layout.headerLength);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<unsigned char>(0x40 + i * 3);
    const Bytes block = compressPlan(layout.plan);
    s.planBlockLength = static_cast<uint32_t>(block.size());
    s.bitmapOffset = layout.headerLength;
    s.signatureOffset = s.bitmapOffset + s.planBlockLength;
    s.pointsOffset = s.signatureOffset + 2600;
    b.insert(b.end(), block.begin(), block.end());
    b.resize(b.size() + 2600, 0xFF);
    append32(b, kPointRecordSize);
    append32(b, kReadingSize);
    b.insert(b.end(), layout.points.begin(), layout.points.end());

    put32(b, SiteHeader::kLengthOffset, layout.headerLength);
    put32(b, SiteHeader::kMagicOffset, SiteHeader::kMagic);
    put16(b, SiteHeader::kVersionOffset, layout.version);
    double scale = 12.9;
    uint64_t bits;
    std::memcpy(&bits, &scale, 8);
    for (int i = 0; i < 8; ++i) {
        b[SiteHeader::kPixelsPerUnitXOffset + i] = static_cast<unsigned char>(bits >> (8 * i));
        b[SiteHeader::kPixelsPerUnitYOffset + i] = static_cast<unsigned char>(bits >> (8 * i));
    }
    put32(b, SiteHeader::kBitmapOffsetOffset, s.bitmapOffset);
    put32(b, SiteHeader::kSignatureOffsetOffset, s.signatureOffset);
    put32(b, SiteHeader::kPointsOffsetOffset, s.pointsOffset);
    return s;
}

} // namespace walkmere::sitefiletest
