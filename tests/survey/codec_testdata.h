#pragma once

// Weight tables and contents shared by the codec tests.

#include "survey/BitmapCompressor.h"
#include "survey/HuffmanTree.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace walkmere::codectest {

using Weights = HuffmanTree::Weights;

inline Weights zeroWeights() {
    return Weights{};
}

// Any 32-bit values: sums wrap, ties are rare.
inline Weights randomWeights(std::mt19937& rng) {
    Weights w{};
    for (auto& v : w)
        v = static_cast<uint32_t>(rng());
    return w;
}

// Like a real plan: a few byte values common, most rare, some absent.
inline Weights skewedWeights(std::mt19937& rng) {
    Weights w{};
    std::geometric_distribution<uint32_t> falloff(0.05);
    for (auto& v : w)
        v = (rng() % 4 == 0) ? 0 : 1u << std::min<uint32_t>(falloff(rng), 24);
    w[rng() % 256] = 1u << 28;
    return w;
}

// One byte value nearly everywhere (white paper), everything else once or never.
inline Weights dominantWeights(std::mt19937& rng) {
    Weights w{};
    for (auto& v : w)
        v = rng() % 2;
    w[rng() % 256] = 36000000;
    return w;
}

// Fibonacci weights over 45 byte values give codes of 40 bits and more.
inline Weights fibonacciWeights(std::mt19937& rng) {
    Weights w{};
    uint32_t a = 1, b = 1;
    std::vector<int> order(256);
    for (int i = 0; i < 256; ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), rng);
    for (int i = 0; i < 45; ++i) {
        w[order[i]] = a;
        const uint32_t next = a + b;
        a = b;
        b = next;
    }
    return w;
}

// A chain: every inner node joins the previous one with the next leaf, because each sum
// wraps to just below the last. Leaves 0 and 1 end up 255 bits deep.
inline Weights chainWeights() {
    Weights w{};
    w.fill(0xFFFFFFFFu);
    w[0] = 0;
    w[1] = 1000;
    return w;
}

inline std::vector<uint8_t> randomBytes(std::mt19937& rng, size_t n) {
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(rng());
    return v;
}

// Codes `content` under `tree` (the last byte's high bits 0), as a code stream only.
inline std::vector<uint8_t> encodeUnder(const HuffmanTree& tree,
                                        const std::vector<uint8_t>& content) {
    std::vector<uint8_t> code;
    VectorSink sink(code);
    HuffmanEncoder encoder(tree, sink);
    encoder.encode(content);
    encoder.finish();
    return code;
}

} // namespace walkmere::codectest
