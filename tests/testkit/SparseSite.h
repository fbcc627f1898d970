#pragma once
// Site files that decode to far more than they hold: a floor-plan block that codes a given
// head (the headers of a bitmap, say) and then announces many more code bytes, left as a
// hole in a sparse file. Every code byte of zeros decodes to eight 0 bytes.

#include "platform/OwnedFd.h"
#include "survey/BitmapCompressor.h"
#include "survey/BitmapExpander.h"
#include "survey/SiteFileWriter.h"
#include "testkit/BmpBytes.h"

#include <fcntl.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace walkmere::testkit {

// Weights that give byte 0 the one-bit code "0" and every other byte a longer one.
inline HuffmanTree::Weights zeroHeavyWeights() {
    HuffmanTree::Weights w;
    w.fill(1);
    w[0] = 1u << 30;
    return w;
}

// The start of a floor-plan block: blockLength, the weights and `head` coded. The block
// announces `zeroCodeBytes` code bytes after those, which the caller leaves as zeros.
inline Bytes zeroTailBlock(const Bytes& head, uint64_t zeroCodeBytes) {
    const HuffmanTree tree(zeroHeavyWeights());
    std::vector<uint8_t> code;
    VectorSink sink(code);
    HuffmanEncoder encoder(tree, sink);
    encoder.encode(head);
    encoder.finish();
    FloorPlanBlockHeader h;
    h.weights = zeroHeavyWeights();
    h.blockLength =
        static_cast<uint32_t>(FloorPlanBlockHeader::kSize + code.size() + zeroCodeBytes);
    Bytes block(FloorPlanBlockHeader::kSize);
    h.serialize(block.data());
    block.insert(block.end(), code.begin(), code.end());
    return block;
}

// A site file with such a block, written by the site file writer with `points`; the zero
// code is a hole, so the file takes little disk.
inline void writeSparseSite(const std::filesystem::path& path, const Bytes& head,
                            uint64_t zeroCodeBytes, const Bytes& points = {}) {
    const Bytes block = zeroTailBlock(head, zeroCodeBytes);
    OwnedFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    NewSiteFile site;
    site.points = points;
    FdPositionalSink sink(fd.get());
    if (!fd.valid() || writeSiteFileWithBlock(sink, block, site).status != SiteWriteStatus::Ok)
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace walkmere::testkit
