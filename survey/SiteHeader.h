#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/ByteOrder.h"

namespace walkmere {

// The header at the start of a site file (".kvs"), little-endian:
//
//   offset size field
//        0    4 headerLength     bytes of header, this field included (151 or 152 here)
//        4    4 magic            0x4245532A, the bytes 2A 53 45 42
//        8    2 version          at least 4
//       10    2 -                kept as it is
//       12    1 clearedFlagA     zeroed each time the file is opened
//       13   57 -
//       70    8 pixelsPerUnitX   IEEE 754 double: plan pixels per unit of site length
//       78   32 -
//      110    8 pixelsPerUnitY
//      118   20 -
//      138    4 bitmapOffset     the floor-plan block
//      142    4 signatureOffset  the signature block (100 rows of 26 bytes)
//      146    4 pointsOffset     the points section, the last thing in the file
//      150    1 clearedFlagB     zeroed each time the file is opened
//      151    1 -
//
// Held as raw bytes so that everything not interpreted here is written back unchanged.
//
// A site made without a scale holds kUncalibratedScale in both scales: 10 and 75 trillionths
// pixels a unit. The handheld truncates a scale to whole pixels and reads 10, the scale such
// sites always had, and any other reader sees 10 to ten decimal places; the tools take this
// exact value in both as "not calibrated". The bytes left uninterpreted are no place for a
// mark: files made by other programs may hold anything there. The tools never store a scale
// given or worked out as this value.
struct SiteHeader {
    static constexpr uint32_t kMagic = 0x4245532A;
    static constexpr uint16_t kMinVersion = 4;
    static constexpr uint32_t kMinLength = 151; // the fields above need this many
    static constexpr uint32_t kHeldLength = 152;

    static constexpr size_t kLengthOffset = 0;
    static constexpr size_t kMagicOffset = 4;
    static constexpr size_t kVersionOffset = 8;
    static constexpr size_t kClearedFlagAOffset = 12;
    static constexpr size_t kPixelsPerUnitXOffset = 70;
    static constexpr size_t kPixelsPerUnitYOffset = 110;
    static constexpr size_t kBitmapOffsetOffset = 138;
    static constexpr size_t kSignatureOffsetOffset = 142;
    static constexpr size_t kPointsOffsetOffset = 146;
    static constexpr size_t kClearedFlagBOffset = 150;

    static constexpr uint64_t kUncalibratedScaleBits = 0x402400000000A5A5;
    static constexpr double kUncalibratedScale = std::bit_cast<double>(kUncalibratedScaleBits);

    std::array<uint8_t, kHeldLength> bytes{};

    uint32_t headerLength() const { return u32(kLengthOffset); }
    uint32_t magic() const { return u32(kMagicOffset); }
    uint16_t version() const { return readLe16(bytes.data() + kVersionOffset); }
    double pixelsPerUnitX() const { return f64(kPixelsPerUnitXOffset); }
    double pixelsPerUnitY() const { return f64(kPixelsPerUnitYOffset); }
    uint32_t bitmapOffset() const { return u32(kBitmapOffsetOffset); }
    uint32_t signatureOffset() const { return u32(kSignatureOffsetOffset); }
    uint32_t pointsOffset() const { return u32(kPointsOffsetOffset); }
    bool markedUncalibrated() const {
        return bits(kPixelsPerUnitXOffset) == kUncalibratedScaleBits &&
               bits(kPixelsPerUnitYOffset) == kUncalibratedScaleBits;
    }
    uint8_t clearedFlagA() const { return bytes[kClearedFlagAOffset]; }
    uint8_t clearedFlagB() const { return bytes[kClearedFlagBOffset]; }

    void setHeaderLength(uint32_t v) { put32(kLengthOffset, v); }
    void setMagic(uint32_t v) { put32(kMagicOffset, v); }
    void setVersion(uint16_t v) { writeLe16(bytes.data() + kVersionOffset, v); }
    void setPixelsPerUnitX(double v) { putF64(kPixelsPerUnitXOffset, v); }
    void setPixelsPerUnitY(double v) { putF64(kPixelsPerUnitYOffset, v); }
    void setBitmapOffset(uint32_t v) { put32(kBitmapOffsetOffset, v); }
    void setSignatureOffset(uint32_t v) { put32(kSignatureOffsetOffset, v); }
    void setPointsOffset(uint32_t v) { put32(kPointsOffsetOffset, v); }
    void clearFlags() {
        bytes[kClearedFlagAOffset] = 0;
        bytes[kClearedFlagBOffset] = 0;
    }

private:
    uint32_t u32(size_t o) const { return readLe32(bytes.data() + o); }
    void put32(size_t o, uint32_t v) { writeLe32(bytes.data() + o, v); }
    // A little-endian IEEE 754 double: its low word first.
    uint64_t bits(size_t o) const {
        const uint64_t low = readLe32(bytes.data() + o);
        const uint64_t high = readLe32(bytes.data() + o + 4);
        return low | high << 32;
    }
    double f64(size_t o) const { return std::bit_cast<double>(bits(o)); }
    void putF64(size_t o, double d) {
        uint64_t v;
        std::memcpy(&v, &d, sizeof v);
        writeLe32(bytes.data() + o, static_cast<uint32_t>(v));
        writeLe32(bytes.data() + o + 4, static_cast<uint32_t>(v >> 32));
    }
};

} // namespace walkmere
