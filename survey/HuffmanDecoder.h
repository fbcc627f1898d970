#pragma once

#include "survey/HuffmanTree.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace walkmere {

// Decoders of a floor-plan code stream. Bits are taken least significant first; a 0 bit
// goes to child0, a 1 bit to child1; reaching a leaf writes its byte and goes back to the
// root. There is no symbol count: every bit given is decoded, so padding bits that happen
// to complete a code add bytes at the end, and a code still open when the bits run out
// produces nothing.
//
// Both decoders keep the node reached between calls, so a stream may be fed in pieces;
// each piece of n bytes writes at most n * 8 bytes (every code is at least one bit).
// A new decoder (or restart()) starts at the root with the first bit given.

// The reference decoder: one bit at a time down the tree, exactly as the format reads.
class BitWalkDecoder {
public:
    explicit BitWalkDecoder(const HuffmanTree& tree);

    // `out` must have room for outputBound(n) bytes. Returns the bytes written.
    size_t decode(const uint8_t* code, size_t n, uint8_t* out);
    void restart() { current = tree.root(); }
    bool midCode() const { return current != tree.root(); }

    static size_t outputBound(size_t codeBytes) { return codeBytes * 8; }

private:
    HuffmanTree tree;
    int16_t current;
};

// The decoder the program uses: a look-up table over the next kTableBits bits that gives
// up to seven whole codes at once, with the tree walk taking over for codes longer than
// the table (codes may be up to 255 bits long). Writes exactly the bytes of the bit walk.
class HuffmanDecoder {
public:
    static constexpr int kTableBits = 12;
    // Whole codes are stored eight bytes at a time, so `out` needs this much beyond the
    // bytes actually written.
    static constexpr size_t kOutputSlack = 8;

    explicit HuffmanDecoder(const HuffmanTree& tree);

    // `out` must have room for outputBound(n) bytes. Returns the bytes written.
    size_t decode(const uint8_t* code, size_t n, uint8_t* out);
    void restart() { current = root; }
    bool midCode() const { return current != root; }

    static size_t outputBound(size_t codeBytes) { return codeBytes * 8 + kOutputSlack; }

private:
    // Table entry:  bits 0..3   bits consumed by the codes it holds (low, so that the
    //                           shift of the bit buffer needs no unpacking)
    //               bits 4..6   number of decoded bytes (0: the first code is longer
    //                           than the table; bits 8..23 then hold the node reached)
    //               bits 8..63  up to seven decoded bytes, first in the low byte
    static constexpr int kTableSize = 1 << kTableBits;
    static constexpr int kMaxPerEntry = 7;

    void buildTable();

    // Children of inner nodes; node numbers below 256 are the leaves, their byte value
    // is their number.
    std::array<std::array<int16_t, 2>, HuffmanTree::kNodeSlots> child{};
    int16_t root;
    int16_t current;
    std::unique_ptr<uint64_t[]> table;
};

} // namespace walkmere
