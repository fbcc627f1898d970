#pragma once
// Whole site files for the site-file tests: a header with every uninterpreted byte set to
// a pattern (so that any stray write shows), a real Huffman-coded floor plan, a white
// signature block and the points section.

#include "survey/BitmapCompressor.h"
#include "survey/CodecStreams.h"
#include "survey/PointRecords.h"
#include "survey/SiteHeader.h"
#include "testkit/BmpBytes.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace walkmere::sitefiletest {

using Bytes = std::vector<unsigned char>;

using testkit::makeBmp;
using testkit::put16;
using testkit::put32;

inline void append32(Bytes& b, uint32_t v) {
    b.resize(b.size() + 4);
    put32(b, b.size() - 4, v);
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
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
