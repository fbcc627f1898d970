#pragma once
// Little-endian fields and whole bitmap files, for tests that make their own files.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
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

// A Windows bitmap file with a 40-byte info header, laid out field by field.
struct BmpFile {
    int32_t width = 1, height = 1; // negative height: top-down
    uint16_t bits = 24;
    uint32_t compression = 0;           // 1 RLE8, 2 RLE4, 3 bit fields
    std::vector<uint32_t> palette = {}; // 0x00RRGGBB, stored as blue, green, red, 0
    std::vector<uint32_t> masks = {};   // red, green, blue, right after the info header
    Bytes pixels = {};                  // as stored: padded rows, or the run-length code
    std::optional<uint32_t> coloursUsed = std::nullopt; // biClrUsed; unset: the palette's size
    std::optional<uint32_t> imageSize = std::nullopt;   // biSizeImage; unset: the pixels' size
    int32_t pixelsPerMetre = 0;                         // both resolutions; 0: not given
};

// All the file holds before its pixels: file header, info header, masks and colour table.
// The sizes in the headers count `pixelBytes` of pixels after them.
inline Bytes bmpHead(const BmpFile& f, uint64_t pixelBytes) {
    const uint32_t pixelOffset = 54 + uint32_t(f.masks.size() + f.palette.size()) * 4;
    Bytes b(pixelOffset);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, uint32_t(pixelOffset + pixelBytes));
    put32(b, 10, pixelOffset);
    put32(b, 14, 40);
    put32(b, 18, uint32_t(f.width));
    put32(b, 22, uint32_t(f.height));
    put16(b, 26, 1);
    put16(b, 28, f.bits);
    put32(b, 30, f.compression);
    put32(b, 34, f.imageSize.value_or(uint32_t(pixelBytes)));
    put32(b, 38, uint32_t(f.pixelsPerMetre));
    put32(b, 42, uint32_t(f.pixelsPerMetre));
    put32(b, 46, f.coloursUsed.value_or(uint32_t(f.palette.size())));
    size_t at = 54;
    for (uint32_t v : f.masks)
        put32(b, std::exchange(at, at + 4), v);
    for (uint32_t v : f.palette)
        put32(b, std::exchange(at, at + 4), v);
    return b;
}

inline Bytes writeBmp(const BmpFile& f) {
    Bytes b = bmpHead(f, f.pixels.size());
    b.insert(b.end(), f.pixels.begin(), f.pixels.end());
    return b;
}

// The bytes of a row of `width` pixels at `bits` per pixel, padded to four bytes.
inline uint64_t bmpStride(int32_t width, uint16_t bits) {
    return (uint64_t(uint32_t(width)) * bits + 31) / 32 * 4;
}

// A 24-bit bottom-up Windows bitmap file (negative height: top-down) whose pixels follow
// a pattern that changes with `seed`, so that misplaced or lost bytes show.
inline Bytes makeBmp(int32_t width, int32_t height, uint8_t seed = 1) {
    const uint32_t stride = uint32_t(bmpStride(width, 24));
    BmpFile f{.width = width, .height = height};
    f.pixels.resize(stride * uint32_t(height < 0 ? -height : height));
    for (uint32_t i = 0; i < f.pixels.size(); ++i)
        f.pixels[i] = static_cast<unsigned char>((i * 7 + seed * 13 + i / stride * 5) & 0xFF);
    return writeBmp(f);
}

// The headers of a width x height picture at `bits` per pixel, with a (black) colour table
// for 8 bits or fewer, and no pixels: the start of a file too large to hold.
inline Bytes bmpHeaders(int32_t width, int32_t height, uint16_t bits) {
    BmpFile f{.width = width, .height = height, .bits = bits};
    f.palette.assign(bits <= 8 ? size_t{1} << bits : 0, 0);
    f.coloursUsed = 0;
    f.imageSize = 0;
    return bmpHead(f, bmpStride(width, bits) * uint32_t(height < 0 ? -height : height));
}

// The run-length code (BI_RLE8, or BI_RLE4 with `fourBits`) of a picture of colour indices,
// `rows` from the top, in each of the code's ways: runs of `skipped` inside a row become
// jumps (the pixels they pass keep colour 0), runs of `literal` are written index by index,
// any other run as a count and its index; each row ends with an end-of-row mark and the
// picture with an end mark.
inline Bytes runLengthCode(const std::vector<Bytes>& rows, bool fourBits, int skipped = -1,
                           int literal = -1) {
    Bytes code;
    for (size_t r = rows.size(); r-- > 0;) {
        const Bytes& row = rows[r];
        for (size_t x = 0; x < row.size();) {
            size_t n = 1;
            while (x + n < row.size() && row[x + n] == row[x] && n < 254)
                ++n;
            if (row[x] == skipped && x + n < row.size()) {
                code.insert(code.end(), {0, 2, uint8_t(n), 0});
            } else if (row[x] == literal && n >= 3) {
                code.insert(code.end(), {0, uint8_t(n)});
                const size_t start = code.size();
                for (size_t i = 0; i < n; ++i)
                    if (!fourBits)
                        code.push_back(row[x]);
                    else if (i % 2 == 0)
                        code.push_back(uint8_t(row[x] << 4));
                    else
                        code.back() |= row[x];
                if ((code.size() - start) % 2) code.push_back(0);
            } else {
                code.insert(code.end(), {uint8_t(n), uint8_t(fourBits ? row[x] * 0x11 : row[x])});
            }
            x += n;
        }
        code.insert(code.end(), {0, 0});
    }
    code.insert(code.end(), {0, 1});
    return code;
}

} // namespace walkmere::testkit
