#include "survey/BitmapExpander.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

#include "platform/ByteOrder.h"

namespace walkmere {

FloorPlanBlockHeader FloorPlanBlockHeader::parse(const uint8_t* bytes) {
    FloorPlanBlockHeader h;
    h.blockLength = readLe32(bytes);
    h.second = readLe32(bytes + 4);
    for (int i = 0; i < HuffmanTree::kLeafCount; ++i)
        h.weights[i] = readLe32(bytes + kWeightsOffset + 4 * i);
    return h;
}

void FloorPlanBlockHeader::serialize(uint8_t* bytes) const {
    writeLe32(bytes, blockLength);
    writeLe32(bytes + 4, second);
    for (int i = 0; i < HuffmanTree::kLeafCount; ++i)
        writeLe32(bytes + kWeightsOffset + 4 * i, weights[i]);
}

std::string describeExpandResult(const ExpandResult& result) {
    const std::string reason = result.error ? std::string(": ") + std::strerror(result.error) : "";
    switch (result.status) {
    case ExpandStatus::Ok:
        return "";
    case ExpandStatus::InputNotOpened:
        return "The floor plan could not be opened" + reason + ".";
    case ExpandStatus::OutputNotCreated:
        return "The decoded floor plan could not be created" + reason + ".";
    case ExpandStatus::ShortWeightTable:
        return "The floor plan is damaged: its code table is incomplete.";
    case ExpandStatus::ReadFailed:
        return "The floor plan could not be read" + reason + ".";
    case ExpandStatus::WriteFailed:
        return "The decoded floor plan could not be written" + reason + ".";
    case ExpandStatus::NotABitmap:
        return "The floor plan is not a usable bitmap: " + result.problem + ".";
    case ExpandStatus::TooLarge:
        return "The floor plan is too large: " + result.problem + ".";
    }
    return "";
}

namespace {

// Code bytes are read in pieces of this size and decoded in slices small enough that one
// slice's output (at most 8 bytes per code byte) fits beside a part-filled output block.
constexpr size_t kReadPiece = 10000;
constexpr size_t kDecodeSlice = 2048;

// Collects decoded bytes and hands them on in blocks of kOutputBlock bytes. A bounded
// writer reads the bitmap headers from the first bytes, well before the first block goes
// out, and from then on keeps no more than the picture's length.
class BlockWriter {
public:
    BlockWriter(ByteSink& sink, bool bounded)
        : sink(sink), buffer(kOutputBlock + HuffmanDecoder::outputBound(kDecodeSlice)),
          judged(!bounded) {}

    uint8_t* tail() { return buffer.data() + filled; }
    // Takes `n` bytes just decoded at tail(); writes every full block.
    bool commit(size_t n) {
        filled += n;
        if (!judged) judge(false);
        keepWithinLimit();
        while (filled >= kOutputBlock) {
            if (!put(buffer.data(), kOutputBlock)) return false;
            std::memmove(buffer.data(), buffer.data() + kOutputBlock, filled - kOutputBlock);
            filled -= kOutputBlock;
        }
        return true;
    }
    bool finish() {
        if (!judged) judge(true);
        keepWithinLimit();
        const bool good = filled == 0 || put(buffer.data(), filled);
        filled = 0;
        return good;
    }
    uint64_t written() const { return total; }
    // True once nothing more is wanted: the headers were refused or the limit is reached.
    bool stopped() const { return refusal != ExpandStatus::Ok || atLimit; }
    ExpandStatus refused() const { return refusal; }
    const std::string& problem() const { return why; }

private:
    void judge(bool atEnd) {
        const BmpExtent extent = bmpExtent(buffer.data(), filled);
        switch (extent.verdict) {
        case BmpExtent::Verdict::NeedMore:
            // Too short to tell: written as it is, for the loader to say what is wrong.
            judged = atEnd;
            return;
        case BmpExtent::Verdict::Bounded:
            limit = extent.length + kPaddingBytes;
            break;
        case BmpExtent::Verdict::Refused:
            refusal = ExpandStatus::NotABitmap;
            break;
        case BmpExtent::Verdict::TooLarge:
            refusal = ExpandStatus::TooLarge;
            break;
        }
        judged = true;
        why = extent.problem;
        if (refusal != ExpandStatus::Ok) filled = 0; // nothing of it is written
    }
    void keepWithinLimit() {
        if (total + filled < limit) return;
        filled = static_cast<size_t>(limit - total);
        atLimit = true;
    }

    bool put(const uint8_t* from, size_t n) {
        if (!sink.write(from, n)) return false;
        total += n;
        return true;
    }

    ByteSink& sink;
    std::vector<uint8_t> buffer;
    size_t filled = 0;
    uint64_t total = 0;
    bool judged;
    uint64_t limit = UINT64_MAX;
    bool atLimit = false;
    ExpandStatus refusal = ExpandStatus::Ok;
    std::string why;
};

ExpandResult expandBlock(ByteSource& in, ByteSink& out, bool bounded) {
    ExpandResult result;
    uint8_t headerBytes[FloorPlanBlockHeader::kSize];
    const ptrdiff_t got = readFully(in, headerBytes, sizeof headerBytes);
    if (got < 0) {
        result.status = ExpandStatus::ReadFailed;
        result.error = in.error();
        return result;
    }
    if (static_cast<size_t>(got) < sizeof headerBytes) {
        // Without all 256 weights there is no code tree to decode with.
        result.status = ExpandStatus::ShortWeightTable;
        result.truncated = true;
        return result;
    }
    const FloorPlanBlockHeader header = FloorPlanBlockHeader::parse(headerBytes);
    const HuffmanTree tree(header.weights);
    HuffmanDecoder decoder(tree);
    BlockWriter writer(out, bounded);

    std::vector<uint8_t> piece(kReadPiece);
    uint64_t left = header.codeLength();
    while (left > 0 && !writer.stopped()) {
        const ptrdiff_t n =
            in.read(piece.data(), static_cast<size_t>(std::min<uint64_t>(left, piece.size())));
        if (n < 0) {
            result.status = ExpandStatus::ReadFailed;
            result.error = in.error();
            break;
        }
        if (n == 0) {
            result.truncated = true;
            break;
        }
        left -= static_cast<uint64_t>(n);
        for (size_t at = 0; at < static_cast<size_t>(n); at += kDecodeSlice) {
            const size_t slice = std::min(kDecodeSlice, static_cast<size_t>(n) - at);
            if (!writer.commit(decoder.decode(piece.data() + at, slice, writer.tail()))) {
                result.status = ExpandStatus::WriteFailed;
                result.error = out.error();
                result.bytesWritten = writer.written();
                return result;
            }
            if (writer.stopped()) {
                result.cut = at + slice < static_cast<size_t>(n) || left > 0;
                break;
            }
        }
    }
    // A code still open here had its bits cut off by the end of the stream: dropped.
    if (!writer.finish()) {
        result.status = ExpandStatus::WriteFailed;
        result.error = out.error();
    }
    if (writer.refused() != ExpandStatus::Ok) {
        result.status = writer.refused();
        result.problem = writer.problem();
        result.cut = false;
    }
    result.bytesWritten = writer.written();
    return result;
}

} // namespace

ExpandResult expandFloorPlan(ByteSource& in, ByteSink& out) {
    return expandBlock(in, out, false);
}

ExpandResult expandPlanBitmap(ByteSource& in, ByteSink& out) {
    return expandBlock(in, out, true);
}

ExpandResult expandPlanBitmap(int inFd, uint64_t offset, uint64_t available, int outFd) {
    FdSource source(inFd, offset, available);
    FdSink sink(outFd);
    return expandPlanBitmap(source, sink);
}

ExpandResult expandFloorPlan(int inFd, uint64_t offset, uint64_t available, int outFd) {
    FdSource source(inFd, offset, available);
    FdSink sink(outFd);
    return expandFloorPlan(source, sink);
}

MemoryDecodeResult decodeCodeStream(HuffmanDecoder& decoder, std::span<const uint8_t> code,
                                    uint8_t* out, size_t capacity) {
    // Slices are large enough to keep the per-call cost out of sight and are cut down
    // near the end of the room so that a slice's worst case always fits.
    constexpr size_t kMaxSlice = 1 << 16;
    MemoryDecodeResult result;
    while (result.codeBytesUsed < code.size()) {
        const size_t room = capacity - result.bytesWritten;
        if (room <= HuffmanDecoder::kOutputSlack) break;
        const size_t slice = std::min({code.size() - result.codeBytesUsed, kMaxSlice,
                                       (room - HuffmanDecoder::kOutputSlack) / 8});
        if (slice == 0) break;
        result.bytesWritten +=
            decoder.decode(code.data() + result.codeBytesUsed, slice, out + result.bytesWritten);
        result.codeBytesUsed += slice;
    }
    return result;
}

ExpandResult expandFloorPlan(std::span<const uint8_t> block, std::vector<uint8_t>& out) {
    ExpandResult result;
    out.clear();
    if (block.size() < FloorPlanBlockHeader::kSize) {
        result.status = ExpandStatus::ShortWeightTable;
        result.truncated = true;
        return result;
    }
    const FloorPlanBlockHeader header = FloorPlanBlockHeader::parse(block.data());
    std::span<const uint8_t> code = block.subspan(FloorPlanBlockHeader::kSize);
    if (code.size() < header.codeLength()) {
        result.truncated = true;
    } else {
        code = code.first(header.codeLength());
    }
    const HuffmanTree tree(header.weights);
    HuffmanDecoder decoder(tree);
    size_t used = 0;
    size_t written = 0;
    while (used < code.size()) {
        const size_t want =
            written + HuffmanDecoder::outputBound(std::min<size_t>(code.size() - used, 1 << 16));
        if (out.size() < want) out.resize(std::max(want, out.size() * 2));
        const MemoryDecodeResult step = decodeCodeStream(
            decoder, code.subspan(used), out.data() + written, out.size() - written);
        used += step.codeBytesUsed;
        written += step.bytesWritten;
    }
    out.resize(written);
    result.bytesWritten = written;
    return result;
}

CBitmapExpander::CBitmapExpander(std::filesystem::path inputPath, std::filesystem::path outputPath)
    : input(std::move(inputPath)), output(std::move(outputPath)) {}

uint64_t CBitmapExpander::expand() {
    last = ExpandResult{};
    UniqueFd in(::open(input.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.valid()) {
        last.status = ExpandStatus::InputNotOpened;
        last.error = errno;
        return 0;
    }
    UniqueFd out(::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out.valid()) {
        last.status = ExpandStatus::OutputNotCreated;
        last.error = errno;
        return 0;
    }
    last = expandFloorPlan(in.get(), 0, std::numeric_limits<uint64_t>::max(), out.get());
    const int closeError = out.close();
    if (closeError != 0 && last.status == ExpandStatus::Ok) {
        // A failed close can be the first report of a failed write (full disk over NFS).
        last.status = ExpandStatus::WriteFailed;
        last.error = closeError;
    }
    return last.bytesWritten;
}

} // namespace walkmere
