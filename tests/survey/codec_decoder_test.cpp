#include "survey/BitmapExpander.h"
#include "survey/HuffmanDecoder.h"

#include "codec_testdata.h"

#include <gtest/gtest.h>

#include <functional>

namespace walkmere {
namespace {

using codectest::Weights;

template <typename Decoder>
std::vector<uint8_t> decodeAll(Decoder& decoder, const std::vector<uint8_t>& code) {
    std::vector<uint8_t> out(Decoder::outputBound(code.size()));
    out.resize(decoder.decode(code.data(), code.size(), out.data()));
    return out;
}

std::vector<uint8_t> walk(const HuffmanTree& tree, const std::vector<uint8_t>& code) {
    BitWalkDecoder decoder(tree);
    return decodeAll(decoder, code);
}

// Feeds the code to the table decoder in random pieces, so codes straddle the calls.
std::vector<uint8_t> tableInPieces(const HuffmanTree& tree, const std::vector<uint8_t>& code,
                                   std::mt19937& rng) {
    HuffmanDecoder decoder(tree);
    std::vector<uint8_t> out(HuffmanDecoder::outputBound(code.size()));
    size_t written = 0;
    size_t at = 0;
    while (at < code.size()) {
        const size_t piece = std::min<size_t>(code.size() - at, 1 + rng() % 40);
        written += decoder.decode(code.data() + at, piece, out.data() + written);
        at += piece;
    }
    out.resize(written);
    return out;
}

// Chain tree: leaf 255 is "0", leaf 254 "10", leaf k (k >= 2) is 255 - k ones then a 0,
// leaf 0 is 254 ones then 0, leaf 1 is 255 ones.
TEST(CodecDecoder, PartialFinalCodeIsDropped) {
    const HuffmanTree tree(codectest::chainWeights());
    const std::vector<uint8_t> code = {0x00, 0xFF, 0xFF}; // 8 x leaf 255, then 16 ones
    const std::vector<uint8_t> expected(8, 255);
    EXPECT_EQ(walk(tree, code), expected);
    HuffmanDecoder fast(tree);
    EXPECT_EQ(decodeAll(fast, code), expected);
    EXPECT_TRUE(fast.midCode());
}

TEST(CodecDecoder, CodeSpanningCallsIsCompleted) {
    const HuffmanTree tree(codectest::chainWeights());
    HuffmanDecoder fast(tree);
    std::vector<uint8_t> ones(31, 0xFF); // 248 ones
    EXPECT_TRUE(decodeAll(fast, ones).empty());
    // Six more ones and a 0 end leaf 0 (254 ones then 0); the last bit is another "0".
    EXPECT_EQ(decodeAll(fast, {0x3F}), (std::vector<uint8_t>{0, 255}));
    EXPECT_FALSE(fast.midCode());
}

TEST(CodecDecoder, RestartStartsFromTheFirstBit) {
    const HuffmanTree tree(codectest::chainWeights());
    HuffmanDecoder fast(tree);
    BitWalkDecoder slow(tree);
    decodeAll(fast, {0xFF, 0xFF});
    decodeAll(slow, {0xFF, 0xFF});
    fast.restart();
    slow.restart();
    const std::vector<uint8_t> code = {0x02}; // "0", "10", then five "0"
    const std::vector<uint8_t> expected = {255, 254, 255, 255, 255, 255, 255};
    EXPECT_EQ(decodeAll(fast, code), expected);
    EXPECT_EQ(decodeAll(slow, code), expected);
}

TEST(CodecDecoder, PaddingBitsThatCompleteCodesAddBytes) {
    const HuffmanTree tree(codectest::chainWeights());
    const std::vector<uint8_t> code = codectest::encodeUnder(tree, {254}); // "10" + six 0 bits
    ASSERT_EQ(code, (std::vector<uint8_t>{0x01}));
    const std::vector<uint8_t> expected = {254, 255, 255, 255, 255, 255, 255};
    EXPECT_EQ(walk(tree, code), expected);
    HuffmanDecoder fast(tree);
    EXPECT_EQ(decodeAll(fast, code), expected);
}

TEST(CodecDecoder, ZeroWeightTreeDecodesWholeBytes) {
    const HuffmanTree tree(codectest::zeroWeights());
    std::mt19937 rng(3);
    const std::vector<uint8_t> content = codectest::randomBytes(rng, 1000);
    const std::vector<uint8_t> code = codectest::encodeUnder(tree, content);
    EXPECT_EQ(code.size(), content.size()); // eight-bit codes, no padding
    HuffmanDecoder fast(tree);
    EXPECT_EQ(decodeAll(fast, code), content);
}

struct WeightKind {
    const char* name;
    std::function<Weights(std::mt19937&)> make;
};

const std::vector<WeightKind>& weightKinds() {
    static const std::vector<WeightKind> kinds = {
        {"random", codectest::randomWeights},
        {"skewed", codectest::skewedWeights},
        {"zero", [](std::mt19937&) { return codectest::zeroWeights(); }},
        {"dominant", codectest::dominantWeights},
        {"fibonacci", codectest::fibonacciWeights},
        {"chain", [](std::mt19937&) { return codectest::chainWeights(); }},
    };
    return kinds;
}

// Content drawn from the weights themselves, so that long codes really occur.
std::vector<uint8_t> contentFor(const Weights& w, std::mt19937& rng, size_t n) {
    std::vector<double> p(256);
    for (int i = 0; i < 256; ++i)
        p[i] = 1.0 + std::log2(1.0 + w[i]);
    std::discrete_distribution<int> pick(p.begin(), p.end());
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(pick(rng));
    return v;
}

TEST(CodecDecoder, TableDecoderEqualsBitWalk) {
    for (const WeightKind& kind : weightKinds()) {
        for (uint32_t seed = 1; seed <= 40; ++seed) {
            SCOPED_TRACE(std::string(kind.name) + " seed " + std::to_string(seed));
            std::mt19937 rng(seed);
            const Weights weights = kind.make(rng);
            const HuffmanTree tree(weights);
            // Random bits: mostly short codes, every path of the table.
            const std::vector<uint8_t> noise = codectest::randomBytes(rng, rng() % 3000);
            const std::vector<uint8_t> expected = walk(tree, noise);
            HuffmanDecoder whole(tree);
            ASSERT_EQ(decodeAll(whole, noise), expected);
            ASSERT_EQ(tableInPieces(tree, noise, rng), expected);
            // Coded content: long codes too, some straddling the pieces.
            const std::vector<uint8_t> content = contentFor(weights, rng, 1 + rng() % 2000);
            const std::vector<uint8_t> code = codectest::encodeUnder(tree, content);
            const std::vector<uint8_t> walked = walk(tree, code);
            ASSERT_GE(walked.size(), content.size());
            ASSERT_TRUE(std::equal(content.begin(), content.end(), walked.begin()));
            ASSERT_EQ(tableInPieces(tree, code, rng), walked);
        }
    }
}

TEST(CodecDecoder, LongCodesReachPastTheTable) {
    std::mt19937 rng(5);
    const HuffmanTree fib(codectest::fibonacciWeights(rng));
    int longest = 0;
    for (int s = 0; s < 256; ++s)
        longest = std::max(longest, fib.codeLength(static_cast<uint8_t>(s)));
    EXPECT_GT(longest, 30);

    const HuffmanTree chain(codectest::chainWeights());
    std::vector<uint8_t> content;
    for (int i = 0; i < 300; ++i)
        content.push_back(static_cast<uint8_t>(i % 3 == 0 ? 0 : rng() % 256));
    const std::vector<uint8_t> code = codectest::encodeUnder(chain, content);
    HuffmanDecoder fast(chain);
    const std::vector<uint8_t> out = decodeAll(fast, code);
    ASSERT_GE(out.size(), content.size());
    EXPECT_TRUE(std::equal(content.begin(), content.end(), out.begin()));
    EXPECT_EQ(out, walk(chain, code));
}

TEST(CodecDecoder, MemoryDecodeStopsWhereOutputWouldNotFit) {
    std::mt19937 rng(9);
    const Weights weights = codectest::skewedWeights(rng);
    const HuffmanTree tree(weights);
    const std::vector<uint8_t> content = contentFor(weights, rng, 20000);
    const std::vector<uint8_t> code = codectest::encodeUnder(tree, content);
    const std::vector<uint8_t> expected = walk(tree, code);

    // Room for little: decodes a part, never past the room it was given.
    std::vector<uint8_t> small(1000 + 64, 0xAB);
    HuffmanDecoder partial(tree);
    const MemoryDecodeResult part = decodeCodeStream(partial, code, small.data(), 1000);
    EXPECT_LT(part.codeBytesUsed, code.size());
    EXPECT_LE(part.bytesWritten, 1000u);
    EXPECT_TRUE(std::equal(small.begin(), small.begin() + part.bytesWritten, expected.begin()));
    for (size_t i = 1000; i < small.size(); ++i)
        ASSERT_EQ(small[i], 0xAB) << i;

    // Room for all and 24 more: everything.
    std::vector<uint8_t> room(content.size() + 24);
    HuffmanDecoder whole(tree);
    const MemoryDecodeResult all = decodeCodeStream(whole, code, room.data(), room.size());
    EXPECT_EQ(all.codeBytesUsed, code.size());
    room.resize(all.bytesWritten);
    EXPECT_EQ(room, expected);
}

} // namespace
} // namespace walkmere
