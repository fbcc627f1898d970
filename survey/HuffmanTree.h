#pragma once

#include <array>
#include <cstdint>

namespace walkmere {

// One node of the floor-plan code tree. Nodes 0..255 are the leaves for byte values
// 0..255; inner nodes are numbered from 256 upward in the order they are made.
struct HuffmanNode {
    int16_t child0 = -1; // taken on a 0 bit; always the lower node number of the pair
    int16_t child1 = -1; // taken on a 1 bit
    int16_t parent = -1;
    uint8_t isLeaf = 0;
    uint8_t symbol = 0;
    uint32_t weight = 0;
};

// The bits of one code, first bit (the one taken at the root) in bit 0 of words[0].
// Codes can be up to 255 bits long when the weights are adversarial.
struct HuffmanCode {
    uint16_t length = 0;
    std::array<uint64_t, 4> words{};

    bool bit(int i) const { return (words[i >> 6] >> (i & 63)) & 1; }
};

// The code tree of a floor-plan block, built from its 256 byte weights.
//
// Every leaf takes part, whatever its weight (a weight of 0 still makes a leaf). Each
// round scans nodes 0..511 in increasing order and joins the two active nodes of
// smallest weight, ties going to the lower node number; weights compare and add as
// unsigned 32-bit values (sums wrap). The new node's child0 is the lower node number of
// the two, child1 the higher, whatever their weights. With 256 leaves the root is 510.
class HuffmanTree {
public:
    static constexpr int kLeafCount = 256;
    static constexpr int kNodeSlots = 513;
    static constexpr int kMaxCodeLength = kLeafCount - 1;
    using Weights = std::array<uint32_t, kLeafCount>;

    explicit HuffmanTree(const Weights& weights);

    int16_t root() const { return rootNode; }
    // Number of nodes made, leaves included (root() + 1).
    int nodeCount() const { return rootNode + 1; }
    const HuffmanNode& node(int i) const { return nodes[i]; }

    // The path from the root to a symbol's leaf.
    HuffmanCode codeOf(uint8_t symbol) const;
    int codeLength(uint8_t symbol) const;

private:
    std::array<HuffmanNode, kNodeSlots> nodes{};
    int16_t rootNode = -1;
};

} // namespace walkmere
