#pragma once

#include "survey/CodecStreams.h"
#include "survey/HuffmanTree.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace walkmere {

// The encoder of floor-plan blocks, for our own tools (site creation, tests, benchmarks):
// the byte weights of the content, the same code tree the reader builds, and the content
// coded least significant bit first. The second header field holds the content's size.
// The unused high bits of the last code byte are 0; on decoding they may complete codes
// of the all-zero path and add a few bytes at the end, which a bitmap loader ignores.

// Writes codes under a given tree to a sink, in blocks of 25000 bytes.
class HuffmanEncoder {
public:
    HuffmanEncoder(const HuffmanTree& tree, ByteSink& sink);

    bool encode(std::span<const uint8_t> content);
    // Writes the last part-filled byte (high bits 0) and everything buffered.
    bool finish();
    uint64_t bytesWritten() const { return written; }

private:
    bool putLong(const HuffmanCode& code);
    bool drain();
    // Writes the filled part of the buffer to the sink.
    bool flushBlock();

    std::array<HuffmanCode, HuffmanTree::kLeafCount> codes;
    ByteSink& sink;
    std::vector<uint8_t> buffer;
    size_t filled = 0;
    uint64_t pending = 0; // bits not yet in `buffer`, first bit in bit 0
    unsigned pendingCount = 0;
    uint64_t written = 0;
    bool failed = false;
};

enum class CompressStatus {
    Ok,
    InputNotOpened,
    OutputNotCreated,
    TooLarge, // the content or its block does not fit the 32-bit fields
    ReadFailed,
    WriteFailed,
};

struct CompressResult {
    CompressStatus status = CompressStatus::Ok;
    uint64_t contentBytes = 0;
    uint64_t blockBytes = 0; // bytes of the whole block written
    int error = 0;           // errno of an I/O failure
};

std::string describeCompressResult(const CompressResult& result);

// Counts each byte value of the content, adding to `weights`; false when a count would
// pass 32 bits (the weights are left as they were then).
bool addByteWeights(std::span<const uint8_t> content, HuffmanTree::Weights& weights);

// Total code bits of content with these weights under the tree; the block needs
// ceil(bits / 8) code bytes.
uint64_t codeBits(const HuffmanTree& tree, const HuffmanTree::Weights& weights);

// Codes content held in memory as a whole floor-plan block.
CompressResult compressFloorPlan(std::span<const uint8_t> content, ByteSink& out);

// Codes a file as a floor-plan block without holding it: one pass counts, a second codes.
CompressResult compressFloorPlan(int contentFd, ByteSink& out);
CompressResult compressFloorPlanFile(const std::filesystem::path& content,
                                     const std::filesystem::path& block);

} // namespace walkmere
