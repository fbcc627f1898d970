#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace walkmere {

// The two headers at the start of a Windows bitmap file, little-endian:
//
//   file header (14 bytes)               info header (at 14)
//    0 2 'B' 'M'                           0 4 infoSize   12 (core), 40, 52, 56, 108, 124
//    2 4 fileSize                          4 4 width      int32 (int16 in a 12-byte core header)
//    6 4 reserved                          8 4 height     int32, negative = rows stored top-down
//   10 4 pixelOffset (bfOffBits)          12 2 planes     1
//                                         14 2 bitCount   1, 4, 8, 16, 24 or 32
//                                         16 4 compression 0 RGB, 1 RLE8, 2 RLE4, 3 BITFIELDS
//
// Only what a loader needs to say "this is a picture of W x H" is read here; the pixels
// are left to the picture loader of the user interface.
struct BmpInfo {
    static constexpr size_t kFileHeaderSize = 14;
    static constexpr uint32_t kCoreInfoSize = 12;
    static constexpr uint32_t kBiRgb = 0;
    static constexpr uint32_t kBiRle8 = 1;
    static constexpr uint32_t kBiRle4 = 2;
    static constexpr uint32_t kBiBitfields = 3;

    uint32_t fileSize = 0;
    uint32_t pixelOffset = 0;
    uint32_t infoSize = 0;
    int32_t width = 0;
    int32_t height = 0; // as stored: negative for a top-down picture
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = kBiRgb;

    bool topDown() const { return height < 0; }
    uint32_t pixelHeight() const;
    // Bytes of one row of an uncompressed picture, padded to 4 bytes.
    uint64_t rowStride() const;
};

// The largest floor plan taken: 100 million pixels. That holds a 10,000 x 10,000 plan (a
// 100 m building drawn at 1 cm a pixel, more detail than a survey needs), which at 4 bytes
// a pixel is 400 MB in memory: still within what a laptop or tablet running the program
// can hold. A bitmap that claims more is far more likely damage or a trap than a drawing,
// and is refused before anything is decoded, allocated or written.
inline constexpr uint64_t kMaxPlanPixels = 100'000'000;
// The most bytes a bitmap file within kMaxPlanPixels can need: at most 4 bytes a pixel
// (rows padded to 4 bytes never take more), and room for the headers, colour table and
// masks in front of the pixels.
inline constexpr uint64_t kMaxPlanFileBytes = 4 * kMaxPlanPixels + (1 << 20);

// What the first bytes of a bitmap file say about its length, to bound a decoding before
// the rest is there.
struct BmpExtent {
    enum class Verdict {
        NeedMore, // the headers are not all there yet
        Bounded,  // a picture that takes `length` bytes
        Refused,  // not a picture a loader takes: `problem` says why
        TooLarge, // above kMaxPlanPixels or kMaxPlanFileBytes: `problem` says so
    };
    Verdict verdict = Verdict::NeedMore;
    // The end of the picture: pixelOffset + rowStride x height uncompressed; for RLE the
    // file size the header gives, but no more than its pixels can take coded (2 bytes a
    // pixel, 2 a row and 2 for the end).
    uint64_t length = 0;
    std::string problem;
};
BmpExtent bmpExtent(const uint8_t* data, size_t size);

// What the bytes at the start of a file say about it.
struct BmpCheck {
    std::optional<BmpInfo> info; // set when both headers could be read and start with 'BM'
    bool loadable = false;       // the headers describe a picture whose pixels are all there
    std::string problem;         // why not, in a few words, when not loadable
};

// Reads the headers from the first bytes of a file. totalSize is the size of the whole
// file (the bytes given may be only its start); the pixels of an uncompressed picture
// must end within it. Bytes after the picture (padding) are allowed.
BmpCheck checkBmp(const uint8_t* data, size_t size, uint64_t totalSize);

// The same for a file on disk. A file that cannot be read is reported in problem.
BmpCheck checkBmpFile(const std::string& path);
// The same for an open file, read from its start (its position is not used).
BmpCheck checkBmpDescriptor(int fd);

} // namespace walkmere
