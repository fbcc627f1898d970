#include "survey/BitmapCompressor.h"

#include "survey/BitmapExpander.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace walkmere {

namespace {

constexpr size_t kBlockBytes = kOutputBlock;
constexpr size_t kReadPiece = 1 << 16;

} // namespace

HuffmanEncoder::HuffmanEncoder(const HuffmanTree& tree, ByteSink& sink)
    : sink(sink), buffer(kBlockBytes + 8) {
    for (int s = 0; s < HuffmanTree::kLeafCount; ++s)
        codes[s] = tree.codeOf(static_cast<uint8_t>(s));
}

bool HuffmanEncoder::drain() {
    // Moves whole bytes out of `pending`; flushes the buffer when a block is full.
    while (pendingCount >= 8) {
        buffer[filled++] = static_cast<uint8_t>(pending);
        pending >>= 8;
        pendingCount -= 8;
        if (filled == kBlockBytes && !flushBlock()) return false;
    }
    return true;
}

bool HuffmanEncoder::flushBlock() {
    if (!sink.write(buffer.data(), filled)) {
        failed = true;
        return false;
    }
    written += filled;
    filled = 0;
    return true;
}

bool HuffmanEncoder::putLong(const HuffmanCode& code) {
    // Codes longer than 32 bits go in 32-bit parts (they exist only for byte values with
    // tiny or adversarial weights).
    for (int at = 0; at < code.length; at += 32) {
        const int n = std::min(32, code.length - at);
        const uint64_t part = (code.words[at >> 6] >> (at & 63)) & ((1ull << n) - 1);
        pending |= part << pendingCount;
        pendingCount += n;
        if (!drain()) return false;
    }
    return true;
}

bool HuffmanEncoder::encode(std::span<const uint8_t> content) {
    if (failed) return false;
    for (const uint8_t byte : content) {
        const HuffmanCode& code = codes[byte];
        if (code.length <= 32) {
            pending |= code.words[0] << pendingCount;
            pendingCount += code.length;
            if (pendingCount >= 32 && !drain()) return false;
        } else if (!putLong(code)) {
            return false;
        }
    }
    return true;
}

bool HuffmanEncoder::finish() {
    if (failed) return false;
    if (!drain()) return false;
    if (pendingCount > 0) {
        buffer[filled++] = static_cast<uint8_t>(pending); // high bits are 0
        pending = 0;
        pendingCount = 0;
    }
    return filled == 0 || flushBlock();
}

std::string describeCompressResult(const CompressResult& result) {
    const std::string reason = result.error ? std::string(": ") + std::strerror(result.error) : "";
    switch (result.status) {
    case CompressStatus::Ok:
        return "";
    case CompressStatus::InputNotOpened:
        return "The floor-plan bitmap could not be opened" + reason + ".";
    case CompressStatus::OutputNotCreated:
        return "The floor-plan block could not be created" + reason + ".";
    case CompressStatus::TooLarge:
        return "The floor-plan bitmap is too large for a site file.";
    case CompressStatus::ReadFailed:
        return "The floor-plan bitmap could not be read" + reason + ".";
    case CompressStatus::WriteFailed:
        return "The floor-plan block could not be written" + reason + ".";
    }
    return "";
}

bool addByteWeights(std::span<const uint8_t> content, HuffmanTree::Weights& weights) {
    // Four tables so that runs of one byte value do not stall on a single counter.
    std::array<std::array<uint64_t, 256>, 4> counts{};
    size_t i = 0;
    for (; i + 4 <= content.size(); i += 4) {
        ++counts[0][content[i]];
        ++counts[1][content[i + 1]];
        ++counts[2][content[i + 2]];
        ++counts[3][content[i + 3]];
    }
    for (; i < content.size(); ++i)
        ++counts[0][content[i]];
    HuffmanTree::Weights sum = weights;
    for (int s = 0; s < 256; ++s) {
        const uint64_t total =
            uint64_t(weights[s]) + counts[0][s] + counts[1][s] + counts[2][s] + counts[3][s];
        if (total > std::numeric_limits<uint32_t>::max()) return false;
        sum[s] = static_cast<uint32_t>(total);
    }
    weights = sum;
    return true;
}

uint64_t codeBits(const HuffmanTree& tree, const HuffmanTree::Weights& weights) {
    uint64_t bits = 0;
    for (int s = 0; s < HuffmanTree::kLeafCount; ++s)
        bits += uint64_t(weights[s]) * uint64_t(tree.codeLength(static_cast<uint8_t>(s)));
    return bits;
}

namespace {

// Checks the sizes and writes the 1032 bytes in front of the code stream.
CompressResult writeBlockHeader(const HuffmanTree& tree, const HuffmanTree::Weights& weights,
                                uint64_t contentBytes, ByteSink& out) {
    CompressResult result;
    result.contentBytes = contentBytes;
    const uint64_t codeBytes = (codeBits(tree, weights) + 7) / 8;
    const uint64_t blockBytes = FloorPlanBlockHeader::kSize + codeBytes;
    if (contentBytes > std::numeric_limits<uint32_t>::max() ||
        blockBytes > std::numeric_limits<uint32_t>::max()) {
        result.status = CompressStatus::TooLarge;
        return result;
    }
    FloorPlanBlockHeader header;
    header.blockLength = static_cast<uint32_t>(blockBytes);
    header.second = static_cast<uint32_t>(contentBytes);
    header.weights = weights;
    uint8_t bytes[FloorPlanBlockHeader::kSize];
    header.serialize(bytes);
    if (!out.write(bytes, sizeof bytes)) {
        result.status = CompressStatus::WriteFailed;
        result.error = out.error();
        return result;
    }
    result.blockBytes = blockBytes;
    return result;
}

} // namespace

CompressResult compressFloorPlan(std::span<const uint8_t> content, ByteSink& out) {
    HuffmanTree::Weights weights{};
    if (!addByteWeights(content, weights)) {
        CompressResult tooLarge;
        tooLarge.status = CompressStatus::TooLarge;
        tooLarge.contentBytes = content.size();
        return tooLarge;
    }
    const HuffmanTree tree(weights);
    CompressResult result = writeBlockHeader(tree, weights, content.size(), out);
    if (result.status != CompressStatus::Ok) return result;
    HuffmanEncoder encoder(tree, out);
    if (!encoder.encode(content) || !encoder.finish()) {
        result.status = CompressStatus::WriteFailed;
        result.error = out.error();
    }
    return result;
}

CompressResult compressFloorPlan(int contentFd, ByteSink& out) {
    CompressResult result;
    std::vector<uint8_t> piece(kReadPiece);

    HuffmanTree::Weights weights{};
    uint64_t total = 0;
    FdSource counting(contentFd, 0);
    for (;;) {
        const ptrdiff_t n = counting.read(piece.data(), piece.size());
        if (n < 0) {
            result.status = CompressStatus::ReadFailed;
            result.error = counting.error();
            return result;
        }
        if (n == 0) break;
        total += static_cast<uint64_t>(n);
        if (!addByteWeights({piece.data(), static_cast<size_t>(n)}, weights)) {
            result.status = CompressStatus::TooLarge;
            result.contentBytes = total;
            return result;
        }
    }

    const HuffmanTree tree(weights);
    result = writeBlockHeader(tree, weights, total, out);
    if (result.status != CompressStatus::Ok) return result;

    // The second pass codes exactly the bytes counted, even if the file grew meanwhile.
    FdSource coding(contentFd, 0, total);
    HuffmanEncoder encoder(tree, out);
    uint64_t coded = 0;
    for (;;) {
        const ptrdiff_t n = coding.read(piece.data(), piece.size());
        if (n < 0) {
            result.status = CompressStatus::ReadFailed;
            result.error = coding.error();
            return result;
        }
        if (n == 0) break;
        coded += static_cast<uint64_t>(n);
        if (!encoder.encode({piece.data(), static_cast<size_t>(n)})) {
            result.status = CompressStatus::WriteFailed;
            result.error = out.error();
            return result;
        }
    }
    if (coded != total) {
        // The file shrank between the passes: the block would not match its weights.
        result.status = CompressStatus::ReadFailed;
        return result;
    }
    if (!encoder.finish()) {
        result.status = CompressStatus::WriteFailed;
        result.error = out.error();
    }
    return result;
}

CompressResult compressFloorPlanFile(const std::filesystem::path& content,
                                     const std::filesystem::path& block) {
    CompressResult result;
    UniqueFd in(::open(content.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.valid()) {
        result.status = CompressStatus::InputNotOpened;
        result.error = errno;
        return result;
    }
    UniqueFd out(::open(block.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out.valid()) {
        result.status = CompressStatus::OutputNotCreated;
        result.error = errno;
        return result;
    }
    FdSink sink(out.get());
    result = compressFloorPlan(in.get(), sink);
    const int closeError = out.close();
    if (closeError != 0 && result.status == CompressStatus::Ok) {
        result.status = CompressStatus::WriteFailed;
        result.error = closeError;
    }
    return result;
}

} // namespace walkmere
