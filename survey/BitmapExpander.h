#pragma once

#include "survey/BmpInfo.h"
#include "survey/CodecStreams.h"
#include "survey/HuffmanDecoder.h"
#include "survey/HuffmanTree.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace walkmere {

// The floor-plan block of a site file, little-endian:
//
//   offset size field
//        0    4 blockLength   bytes of the block, this field included
//        4    4 -             not used when reading (our own tools store the decoded size)
//        8 1024 weights       256 x uint32: weight of byte value 0, 1, ... 255
//     1032    - code stream   blockLength - 1032 bytes, bits least significant first
//
// The decoded content is a Windows bitmap file.
struct FloorPlanBlockHeader {
    static constexpr size_t kSize = 1032;
    static constexpr size_t kWeightsOffset = 8;

    uint32_t blockLength = 0;
    uint32_t second = 0;
    HuffmanTree::Weights weights{};

    // Code-stream bytes the block announces (0 when blockLength cannot even hold the
    // weights).
    uint32_t codeLength() const { return blockLength > kSize ? blockLength - kSize : 0; }

    static FloorPlanBlockHeader parse(const uint8_t* bytes); // kSize bytes
    void serialize(uint8_t* bytes) const;                    // kSize bytes
};

enum class ExpandStatus {
    Ok,
    InputNotOpened,   // the coded file could not be opened
    OutputNotCreated, // the output file could not be created
    ShortWeightTable, // the input ends before the 1032 bytes of length, field and weights
    ReadFailed,
    WriteFailed,
    NotABitmap, // expandPlanBitmap: the first bytes are no bitmap headers a loader takes
    TooLarge,   // expandPlanBitmap: the headers announce more than kMaxPlanPixels
};

struct ExpandResult {
    ExpandStatus status = ExpandStatus::Ok;
    uint64_t bytesWritten = 0;
    // The code stream ended before blockLength said; what was there was decoded.
    bool truncated = false;
    // expandPlanBitmap stopped at the length the bitmap's headers give, with code left.
    bool cut = false;
    int error = 0;       // errno of an I/O failure
    std::string problem; // NotABitmap and TooLarge: what the headers say, in a few words
};

// A sentence for the user about a failed expansion ("" for Ok).
std::string describeExpandResult(const ExpandResult& result);

// Decodes a floor-plan block read from `in` (from its blockLength field on) into `out`,
// in output blocks of kOutputBlock bytes. Reads at most blockLength bytes; stops early,
// without complaint, where the input ends. Every call decodes from the root afresh.
inline constexpr size_t kOutputBlock = 25000;
ExpandResult expandFloorPlan(ByteSource& in, ByteSink& out);

// The same from a descriptor: the block starts at `offset`, and at most `available`
// bytes from there are read (pread; the descriptor's position is not used). Writes at
// outFd's current position.
ExpandResult expandFloorPlan(int inFd, uint64_t offset, uint64_t available, int outFd);

// Decodes a floor plan as the bitmap file it must be, which is how the program and the
// site tool read plans: a small block can announce gigabytes of code, and a code stream
// of zeros decodes to eight bytes a byte. The headers are read from the first decoded
// bytes, before anything is written: a decoding that does not start with the headers of a
// picture stops there (NotABitmap), and one of more than kMaxPlanPixels stops there too
// (TooLarge). Otherwise at most the picture's length (bmpExtent) is written, and the few
// bytes the padding bits of the last code byte may add (kPaddingBytes); reading of the code
// stream stops there. A decoding too short to hold the headers is written as it is.
inline constexpr uint64_t kPaddingBytes = 7;
ExpandResult expandPlanBitmap(ByteSource& in, ByteSink& out);
ExpandResult expandPlanBitmap(int inFd, uint64_t offset, uint64_t available, int outFd);

// Decodes a code stream held in memory into `out` (capacity bytes), stopping where the
// output might no longer fit. With capacity >= (bytes the stream decodes to) + 16 every
// byte is decoded; for S bytes coded by our own compressor S + 24 is enough (the padding
// of the last byte adds at most 7).
// The same decoder core as the streaming path, without the block copies; used by tools
// and to measure the decoder.
struct MemoryDecodeResult {
    size_t codeBytesUsed = 0;
    size_t bytesWritten = 0;
};
MemoryDecodeResult decodeCodeStream(HuffmanDecoder& decoder, std::span<const uint8_t> code,
                                    uint8_t* out, size_t capacity);

// Decodes a whole floor-plan block held in memory; the output grows as needed.
ExpandResult expandFloorPlan(std::span<const uint8_t> block, std::vector<uint8_t>& out);

// The decoding object of the open flow: one per decoding.
class CBitmapExpander {
public:
    CBitmapExpander(std::filesystem::path inputPath, std::filesystem::path outputPath);

    // Decodes the file holding a floor-plan block into outputPath (created or
    // truncated). Returns the number of bytes written; result() says whether it went well.
    uint64_t expand();
    const ExpandResult& result() const { return last; }
    bool ok() const { return last.status == ExpandStatus::Ok; }

    const std::filesystem::path& inputPath() const { return input; }
    const std::filesystem::path& outputPath() const { return output; }

private:
    std::filesystem::path input;
    std::filesystem::path output;
    ExpandResult last;
};

} // namespace walkmere
