#include "survey/HuffmanTree.h"

namespace walkmere {

namespace {

// Slots 0..511 are scanned for the two smallest; slot 512 is never needed with 256 leaves.
constexpr int kScannedSlots = HuffmanTree::kNodeSlots - 1;

} // namespace

HuffmanTree::HuffmanTree(const Weights& leafWeights) {
    std::array<uint32_t, kNodeSlots> weights{};
    std::array<bool, kNodeSlots> active{};

    for (int i = 0; i < kLeafCount; ++i) {
        weights[i] = leafWeights[i];
        nodes[i].isLeaf = 1;
        nodes[i].symbol = static_cast<uint8_t>(i);
        nodes[i].weight = leafWeights[i];
        active[i] = true;
    }

    int next = kLeafCount;
    for (;;) {
        // One pass in increasing node order; strict comparisons keep the lower node
        // number on equal weights, for the first choice and for the second.
        int first = -1;
        int second = -1;
        for (int i = 0; i < kScannedSlots; ++i) {
            if (!active[i]) continue;
            if (first < 0 || weights[i] < weights[first]) {
                second = first;
                first = i;
            } else if (second < 0 || weights[i] < weights[second]) {
                second = i;
            }
        }
        if (second < 0) break;

        const int low = first < second ? first : second;
        const int high = first < second ? second : first;
        HuffmanNode& made = nodes[next];
        made.child0 = static_cast<int16_t>(low);
        made.child1 = static_cast<int16_t>(high);
        made.isLeaf = 0;
        made.weight = weights[first] + weights[second]; // wraps as unsigned 32-bit
        weights[next] = made.weight;
        nodes[low].parent = static_cast<int16_t>(next);
        nodes[high].parent = static_cast<int16_t>(next);
        active[low] = false;
        active[high] = false;
        active[next] = true;
        ++next;
    }
    rootNode = static_cast<int16_t>(next - 1);
}

int HuffmanTree::codeLength(uint8_t symbol) const {
    int length = 0;
    for (int n = symbol; n != rootNode; n = nodes[n].parent)
        ++length;
    return length;
}

HuffmanCode HuffmanTree::codeOf(uint8_t symbol) const {
    HuffmanCode code;
    code.length = static_cast<uint16_t>(codeLength(symbol));
    // Walk up from the leaf; the step into the leaf is the last bit of the code.
    int position = code.length;
    for (int n = symbol; n != rootNode; n = nodes[n].parent) {
        --position;
        if (nodes[nodes[n].parent].child1 == n)
            code.words[position >> 6] |= 1ull << (position & 63);
    }
    return code;
}

} // namespace walkmere
