#include "screenshot/xwd_image.h"

#include <bit>
#include <cstdint>

namespace walkmere::screenshot {
namespace {

// The header is 25 big-endian 32-bit fields, then the window name up to header_size.
enum Field {
    kHeaderSize,
    kFileVersion,
    kPixmapFormat,
    kPixmapDepth,
    kPixmapWidth,
    kPixmapHeight,
    kXOffset,
    kByteOrder,
    kBitmapUnit,
    kBitmapBitOrder,
    kBitmapPad,
    kBitsPerPixel,
    kBytesPerLine,
    kVisualClass,
    kRedMask,
    kGreenMask,
    kBlueMask,
    kBitsPerRgb,
    kColormapEntries,
    kNColors,
    kFieldCount = 25
};
constexpr uint32_t kXwdVersion = 7;
constexpr uint32_t kZPixmap = 2;
constexpr uint32_t kTrueColor = 4, kDirectColor = 5;
constexpr size_t kColourEntrySize = 12;

uint32_t bigEndian32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// One colour channel of a pixel, scaled to 0..255 from however many bits its mask has.
int channel(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const uint32_t max = mask >> shift;
    return static_cast<int>(((pixel & mask) >> shift) * 255 / max);
}

} // namespace

QImage decodeXwd(const std::vector<unsigned char>& bytes, std::string& error) {
    if (bytes.size() < kFieldCount * 4) {
        error = "shorter than an XWD header";
        return {};
    }
    uint32_t h[kFieldCount];
    for (int i = 0; i < kFieldCount; ++i)
        h[i] = bigEndian32(&bytes[size_t(i) * 4]);

    if (h[kFileVersion] != kXwdVersion) {
        error = "not an XWD version 7 file";
        return {};
    }
    if (h[kPixmapFormat] != kZPixmap) {
        error = "not a ZPixmap dump";
        return {};
    }
    if (h[kVisualClass] != kTrueColor && h[kVisualClass] != kDirectColor) {
        error = "not a true-colour dump";
        return {};
    }
    const uint32_t bpp = h[kBitsPerPixel];
    if (bpp != 24 && bpp != 32) {
        error = "unsupported " + std::to_string(bpp) + " bits a pixel";
        return {};
    }
    const uint32_t width = h[kPixmapWidth], height = h[kPixmapHeight];
    const uint32_t stride = h[kBytesPerLine];
    if (width == 0 || height == 0 || width > 16384 || height > 16384 ||
        uint64_t(stride) < uint64_t(width) * (bpp / 8)) {
        error = "implausible size or line length";
        return {};
    }
    const uint64_t pixelsAt = uint64_t(h[kHeaderSize]) + uint64_t(h[kNColors]) * kColourEntrySize;
    if (h[kHeaderSize] < kFieldCount * 4 || pixelsAt + uint64_t(stride) * height > bytes.size()) {
        error = "the file ends before its pixels do";
        return {};
    }

    const bool mostSignificantFirst = h[kByteOrder] == 1;
    const uint32_t bytesPerPixel = bpp / 8;
    QImage image(int(width), int(height), QImage::Format_RGB32);
    for (uint32_t y = 0; y < height; ++y) {
        const unsigned char* line = bytes.data() + pixelsAt + uint64_t(y) * stride;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (uint32_t x = 0; x < width; ++x) {
            const unsigned char* p = line + uint64_t(x) * bytesPerPixel;
            uint32_t pixel = 0;
            for (uint32_t b = 0; b < bytesPerPixel; ++b) {
                const uint32_t shift = mostSignificantFirst ? 8 * (bytesPerPixel - 1 - b) : 8 * b;
                pixel |= uint32_t(p[b]) << shift;
            }
            out[x] = qRgb(channel(pixel, h[kRedMask]), channel(pixel, h[kGreenMask]),
                          channel(pixel, h[kBlueMask]));
        }
    }
    return image;
}

} // namespace walkmere::screenshot
