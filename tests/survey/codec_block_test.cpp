#include "platform/ByteOrder.h"
#include "survey/BitmapCompressor.h"
#include "survey/BitmapExpander.h"
#include "survey/HuffmanDecoder.h"

#include "codec_testdata.h"
#include "testkit/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace walkmere {
namespace {

using testkit::readFileBytes;
using testkit::TempDir;
using testkit::writeFileBytes;

std::vector<uint8_t> compress(const std::vector<uint8_t>& content) {
    std::vector<uint8_t> block;
    VectorSink sink(block);
    const CompressResult r = compressFloorPlan(content, sink);
    EXPECT_EQ(r.status, CompressStatus::Ok);
    EXPECT_EQ(r.blockBytes, block.size());
    return block;
}

// What the format says the block decodes to: the bit walk over every code byte present.
std::vector<uint8_t> walkBlock(const std::vector<uint8_t>& block) {
    const FloorPlanBlockHeader h = FloorPlanBlockHeader::parse(block.data());
    const HuffmanTree tree(h.weights);
    BitWalkDecoder walker(tree);
    const size_t n = std::min<size_t>(h.codeLength(), block.size() - FloorPlanBlockHeader::kSize);
    std::vector<uint8_t> out(BitWalkDecoder::outputBound(n));
    out.resize(walker.decode(block.data() + FloorPlanBlockHeader::kSize, n, out.data()));
    return out;
}

// A plan-like content: long runs of white with dark strokes and a few colours.
std::vector<uint8_t> planLike(std::mt19937& rng, size_t n) {
    std::vector<uint8_t> v(n, 0xFF);
    for (size_t i = 0; i < n; i += 1 + rng() % 200)
        v[i] = static_cast<uint8_t>(rng() % 3 ? 0 : rng());
    return v;
}

bool startsWith(const std::vector<uint8_t>& whole, const std::vector<uint8_t>& prefix) {
    return whole.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), whole.begin());
}

TEST(CodecBlock, RoundTripThroughFilesGivesTheContentFirst) {
    TempDir dir;
    std::mt19937 rng(21);
    for (size_t size : {size_t(0), size_t(1), size_t(24999), size_t(25000), size_t(77777)}) {
        SCOPED_TRACE(size);
        for (const auto& content : {codectest::randomBytes(rng, size), planLike(rng, size)}) {
            writeFileBytes(dir.file("plan.bmp"), content);
            const CompressResult c =
                compressFloorPlanFile(dir.file("plan.bmp"), dir.file("plan.c"));
            ASSERT_EQ(c.status, CompressStatus::Ok) << describeCompressResult(c);
            EXPECT_EQ(c.contentBytes, size);

            const std::vector<uint8_t> block = readFileBytes(dir.file("plan.c"));
            ASSERT_EQ(block.size(), c.blockBytes);
            const FloorPlanBlockHeader h = FloorPlanBlockHeader::parse(block.data());
            EXPECT_EQ(h.blockLength, block.size());
            EXPECT_EQ(h.second, size);

            CBitmapExpander expander(dir.file("plan.c"), dir.file("plan.e"));
            const uint64_t written = expander.expand();
            ASSERT_TRUE(expander.ok()) << describeExpandResult(expander.result());
            const std::vector<uint8_t> decoded = readFileBytes(dir.file("plan.e"));
            EXPECT_EQ(written, decoded.size());
            EXPECT_TRUE(startsWith(decoded, content));
            EXPECT_LE(decoded.size(), size + 7); // at most the padding of the last byte
            EXPECT_EQ(decoded, walkBlock(block));
        }
    }
}

TEST(CodecBlock, OutputGoesOutInBlocksOf25000) {
    class RecordingSink : public ByteSink {
    public:
        bool write(const uint8_t* from, size_t n) override {
            sizes.push_back(n);
            bytes.insert(bytes.end(), from, from + n);
            return true;
        }
        std::vector<size_t> sizes;
        std::vector<uint8_t> bytes;
    };
    std::mt19937 rng(4);
    const std::vector<uint8_t> content = planLike(rng, 130000);
    const std::vector<uint8_t> block = compress(content);
    MemorySource source(block);
    RecordingSink sink;
    const ExpandResult r = expandFloorPlan(source, sink);
    ASSERT_EQ(r.status, ExpandStatus::Ok);
    ASSERT_EQ(sink.sizes.size(), 6u);
    for (size_t i = 0; i + 1 < sink.sizes.size(); ++i)
        EXPECT_EQ(sink.sizes[i], kOutputBlock);
    EXPECT_EQ(sink.bytes, walkBlock(block));
    EXPECT_EQ(r.bytesWritten, sink.bytes.size());
}

TEST(CodecBlock, TruncatedBlockDecodesWhatIsThere) {
    TempDir dir;
    std::mt19937 rng(8);
    const std::vector<uint8_t> content = planLike(rng, 60000);
    const std::vector<uint8_t> block = compress(content);
    const std::vector<uint8_t> full = walkBlock(block);
    for (size_t keep :
         {size_t(1032), size_t(1033), size_t(1040), block.size() / 2, block.size() - 1}) {
        SCOPED_TRACE(keep);
        const std::vector<uint8_t> cut(block.begin(), block.begin() + keep);
        writeFileBytes(dir.file("cut.c"), cut);
        CBitmapExpander expander(dir.file("cut.c"), dir.file("cut.e"));
        const uint64_t written = expander.expand();
        EXPECT_TRUE(expander.ok());
        EXPECT_TRUE(expander.result().truncated);
        const std::vector<uint8_t> decoded = readFileBytes(dir.file("cut.e"));
        EXPECT_EQ(written, decoded.size());
        EXPECT_EQ(decoded, walkBlock(cut));
        EXPECT_TRUE(startsWith(full, decoded));

        std::vector<uint8_t> inMemory;
        EXPECT_EQ(expandFloorPlan(cut, inMemory).status, ExpandStatus::Ok);
        EXPECT_EQ(inMemory, decoded);
    }
}

TEST(CodecBlock, EndingMidCodeThenNextDecodingStartsClean) {
    TempDir dir;
    // Chain weights: 16 one bits are the start of a 255-bit code.
    FloorPlanBlockHeader h;
    h.weights = codectest::chainWeights();
    h.blockLength = 1032 + 2;
    std::vector<uint8_t> first(1034, 0xFF);
    h.serialize(first.data());
    writeFileBytes(dir.file("a.c"), first);
    CBitmapExpander a(dir.file("a.c"), dir.file("a.e"));
    EXPECT_EQ(a.expand(), 0u);
    EXPECT_TRUE(a.ok());

    std::vector<uint8_t> second = first;
    h.blockLength = 1032 + 1;
    h.serialize(second.data());
    second.resize(1033);
    second[1032] = 0x02; // "0", "10", five "0"
    writeFileBytes(dir.file("b.c"), second);
    CBitmapExpander b(dir.file("b.c"), dir.file("b.e"));
    EXPECT_EQ(b.expand(), 7u);
    EXPECT_EQ(readFileBytes(dir.file("b.e")),
              (std::vector<uint8_t>{255, 254, 255, 255, 255, 255, 255}));
}

TEST(CodecBlock, ShortWeightTableIsRefused) {
    TempDir dir;
    for (size_t size : {size_t(0), size_t(3), size_t(8), size_t(1031)}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> bytes(size, 0x11);
        if (size >= 4) writeLe32(bytes.data(), 5000);
        writeFileBytes(dir.file("short.c"), bytes);
        writeFileBytes(dir.file("short.e"), {1, 2, 3}); // stale content must not survive
        CBitmapExpander expander(dir.file("short.c"), dir.file("short.e"));
        EXPECT_EQ(expander.expand(), 0u);
        EXPECT_EQ(expander.result().status, ExpandStatus::ShortWeightTable);
        EXPECT_FALSE(describeExpandResult(expander.result()).empty());
        EXPECT_TRUE(readFileBytes(dir.file("short.e")).empty());

        std::vector<uint8_t> out;
        EXPECT_EQ(expandFloorPlan(bytes, out).status, ExpandStatus::ShortWeightTable);
        EXPECT_TRUE(out.empty());
    }
}

TEST(CodecBlock, BlockLengthBelowTheWeightsDecodesNothing) {
    TempDir dir;
    std::mt19937 rng(2);
    std::vector<uint8_t> block = compress(planLike(rng, 5000));
    for (uint32_t length : {0u, 8u, 1031u, 1032u}) {
        SCOPED_TRACE(length);
        writeLe32(block.data(), length);
        writeFileBytes(dir.file("x.c"), block);
        CBitmapExpander expander(dir.file("x.c"), dir.file("x.e"));
        EXPECT_EQ(expander.expand(), 0u);
        EXPECT_TRUE(expander.ok());
        EXPECT_TRUE(readFileBytes(dir.file("x.e")).empty());
    }
}

TEST(CodecBlock, ReadsOnlyTheBlockFromADescriptorAtAnOffset) {
    TempDir dir;
    std::mt19937 rng(12);
    const std::vector<uint8_t> content = planLike(rng, 40000);
    const std::vector<uint8_t> block = compress(content);
    // Whatever surrounds the block is not code.
    std::vector<uint8_t> site(700 + block.size() + 3000, 0xC3);
    std::fill(site.begin(), site.begin() + 700, 0x5A);
    std::copy(block.begin(), block.end(), site.begin() + 700);
    writeFileBytes(dir.file("site.kvs"), site);

    const int in = ::open(dir.file("site.kvs").c_str(), O_RDONLY);
    const int out = ::open(dir.file("plan.e").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(in, 0);
    ASSERT_GE(out, 0);
    const ExpandResult r = expandFloorPlan(in, 700, site.size() - 700, out);
    EXPECT_EQ(::lseek(in, 0, SEEK_CUR), 0); // the descriptor's position is not used
    ::close(in);
    ::close(out);
    ASSERT_EQ(r.status, ExpandStatus::Ok);
    EXPECT_FALSE(r.truncated);
    const std::vector<uint8_t> decoded = readFileBytes(dir.file("plan.e"));
    EXPECT_EQ(decoded, walkBlock(block));
    EXPECT_TRUE(startsWith(decoded, content));
}

TEST(CodecBlock, InputAndOutputFailuresAreReported) {
    TempDir dir;
    std::mt19937 rng(6);
    writeFileBytes(dir.file("plan.c"), compress(planLike(rng, 90000)));

    CBitmapExpander missing(dir.file("none.c"), dir.file("none.e"));
    EXPECT_EQ(missing.expand(), 0u);
    EXPECT_EQ(missing.result().status, ExpandStatus::InputNotOpened);
    EXPECT_NE(describeExpandResult(missing.result()).find("No such file"), std::string::npos);

    CBitmapExpander noFolder(dir.file("plan.c"), dir.file("gone/plan.e"));
    EXPECT_EQ(noFolder.expand(), 0u);
    EXPECT_EQ(noFolder.result().status, ExpandStatus::OutputNotCreated);

    CBitmapExpander full(dir.file("plan.c"), "/dev/full");
    EXPECT_EQ(full.expand(), 0u);
    EXPECT_EQ(full.result().status, ExpandStatus::WriteFailed);
    EXPECT_EQ(full.result().error, ENOSPC);

    // A directory opens for reading but cannot be read.
    const int folder = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    const int out = ::open(dir.file("d.e").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const ExpandResult r = expandFloorPlan(folder, 0, UINT64_MAX, out);
    ::close(folder);
    ::close(out);
    EXPECT_EQ(r.status, ExpandStatus::ReadFailed);
    EXPECT_EQ(r.error, EISDIR);
}

TEST(CodecBlock, DamagedBlocksDecodeAsTheBitWalkSays) {
    // Any bytes at all: random lengths, weights and code; the decoder must neither crash
    // nor write anything other than what the bit walk reads.
    std::mt19937 rng(77);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        std::vector<uint8_t> block = codectest::randomBytes(rng, 1032 + rng() % 3000);
        const uint32_t lengths[] = {uint32_t(rng()), uint32_t(1032 + rng() % 4000), 0xFFFFFFFFu};
        writeLe32(block.data(), lengths[round % 3]);
        std::vector<uint8_t> out;
        const ExpandResult r = expandFloorPlan(block, out);
        EXPECT_EQ(r.status, ExpandStatus::Ok);
        EXPECT_EQ(out, walkBlock(block));
        EXPECT_EQ(r.bytesWritten, out.size());
    }
}

TEST(CodecBlock, CompressorRefusesWhatDoesNotFit) {
    HuffmanTree::Weights w{};
    w[7] = 0xFFFFFFFEu;
    const std::vector<uint8_t> two = {7, 7};
    EXPECT_FALSE(addByteWeights(two, w));
    EXPECT_EQ(w[7], 0xFFFFFFFEu); // left as it was
    EXPECT_TRUE(addByteWeights({two.data(), 1}, w));
    EXPECT_EQ(w[7], 0xFFFFFFFFu);

    TempDir dir;
    writeFileBytes(dir.file("plan.bmp"), std::vector<uint8_t>(100000, 9));
    const CompressResult full = compressFloorPlanFile(dir.file("plan.bmp"), "/dev/full");
    EXPECT_EQ(full.status, CompressStatus::WriteFailed);
    EXPECT_EQ(full.error, ENOSPC);
    EXPECT_EQ(compressFloorPlanFile(dir.file("none.bmp"), dir.file("x.c")).status,
              CompressStatus::InputNotOpened);
}

TEST(CodecBlock, CompressedSizeMatchesTheCodeLengths) {
    std::mt19937 rng(30);
    const std::vector<uint8_t> content = planLike(rng, 50000);
    const std::vector<uint8_t> block = compress(content);
    HuffmanTree::Weights w{};
    ASSERT_TRUE(addByteWeights(content, w));
    const FloorPlanBlockHeader h = FloorPlanBlockHeader::parse(block.data());
    EXPECT_EQ(h.weights, w);
    const HuffmanTree tree(w);
    EXPECT_EQ(block.size() - 1032, (codeBits(tree, w) + 7) / 8);
    EXPECT_LT(block.size(), content.size() / 2); // a plan of mostly white codes small
}

} // namespace
} // namespace walkmere
