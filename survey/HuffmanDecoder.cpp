#include "survey/HuffmanDecoder.h"

#include <bit>
#include <cstring>

namespace walkmere {

BitWalkDecoder::BitWalkDecoder(const HuffmanTree& tree) : tree(tree), current(tree.root()) {}

size_t BitWalkDecoder::decode(const uint8_t* code, size_t n, uint8_t* out) {
    const int16_t root = tree.root();
    int16_t node = current;
    size_t written = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t byte = code[i];
        for (int b = 0; b < 8; ++b) {
            const HuffmanNode& at = tree.node(node);
            node = ((byte >> b) & 1) ? at.child1 : at.child0;
            const HuffmanNode& reached = tree.node(node);
            if (reached.isLeaf) {
                out[written++] = reached.symbol;
                node = root;
            }
        }
    }
    current = node;
    return written;
}

namespace {

constexpr int kLeafCount = HuffmanTree::kLeafCount;

inline uint64_t loadLe64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

inline void storeLe64(uint8_t* p, uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    std::memcpy(p, &v, sizeof v);
}

} // namespace

HuffmanDecoder::HuffmanDecoder(const HuffmanTree& tree)
    : root(tree.root()), current(tree.root()), table(new uint64_t[kTableSize]) {
    for (int i = kLeafCount; i < tree.nodeCount(); ++i) {
        child[i][0] = tree.node(i).child0;
        child[i][1] = tree.node(i).child1;
    }
    buildTable();
}

void HuffmanDecoder::buildTable() {
    for (int index = 0; index < kTableSize; ++index) {
        uint64_t symbols = 0;
        int count = 0;
        int used = 0;
        int node = root;
        for (int b = 0; b < kTableBits && count < kMaxPerEntry; ++b) {
            node = child[node][(index >> b) & 1];
            if (node < kLeafCount) {
                symbols |= uint64_t(node) << (8 * count);
                ++count;
                used = b + 1;
                node = root;
            }
        }
        if (count == 0) {
            // The first code is longer than the table: remember where the walk got to.
            symbols = uint64_t(node);
            used = kTableBits;
        }
        table[index] = uint64_t(used) | uint64_t(count) << 4 | symbols << 8;
    }
}

size_t HuffmanDecoder::decode(const uint8_t* code, size_t n, uint8_t* out) {
    uint8_t* const start = out;
    const uint8_t* p = code;
    const uint8_t* const end = code + n;
    const uint64_t* const lookup = table.get();
    constexpr uint64_t kMask = kTableSize - 1;
    constexpr uint64_t kUsedField = 0x0F;
    constexpr uint64_t kCountField = 0x70;

    // Bit buffer: the next `count` bits of the stream, first bit in bit 0. Bits above
    // `count` are either 0 or the stream's own following bits, so OR-ing the next bytes
    // in at `count` is always right.
    uint64_t bits = 0;
    unsigned count = 0;
    int node = current;

    // Walks from `node` one bit at a time until a leaf; false when the bits run out first.
    auto walk = [&]() -> bool {
        for (;;) {
            if (count == 0) {
                if (p == end) return false;
                bits |= *p++;
                count = 8;
            }
            node = child[node][bits & 1];
            bits >>= 1;
            --count;
            if (node < kLeafCount) {
                *out++ = static_cast<uint8_t>(node);
                node = root;
                return true;
            }
        }
    };

    if (node != root && !walk()) {
        current = static_cast<int16_t>(node);
        return static_cast<size_t>(out - start);
    }

    // One look-up: false, consuming nothing, when the next code is longer than the table.
    auto lookUp = [&]() -> bool {
        const uint64_t entry = lookup[bits & kMask];
        if ((entry & kCountField) == 0) [[unlikely]]
            return false;
        bits >>= entry & kUsedField;
        count -= unsigned(entry & kUsedField);
        storeLe64(out, entry >> 8);
        out += (entry & kCountField) >> 4;
        return true;
    };
    // Past the table: consume its width, then walk the rest of the code.
    auto longCode = [&]() -> bool {
        node = int((lookup[bits & kMask] >> 8) & 0xFFFF);
        bits >>= kTableBits;
        count -= kTableBits;
        return walk();
    };

    // While eight bytes can be loaded at once: refill to at least 56 bits, then exactly
    // four look-ups (48 bits at most), so the loop has no data-dependent exit.
    while (end - p >= 8) {
        bits |= loadLe64(p) << count;
        p += (63 - count) >> 3;
        count |= 56;
        if (lookUp() && lookUp() && lookUp() && lookUp()) continue;
        if (!longCode()) {
            current = static_cast<int16_t>(node);
            return static_cast<size_t>(out - start);
        }
    }

    // The last bytes, one at a time.
    for (;;) {
        while (count <= 56 && p < end) {
            bits |= uint64_t(*p++) << count;
            count += 8;
        }
        if (count < unsigned(kTableBits)) break;
        if (!lookUp() && !longCode()) {
            current = static_cast<int16_t>(node);
            return static_cast<size_t>(out - start);
        }
    }

    // Fewer bits left than the table covers: walk them from the root.
    node = root;
    while (count > 0) {
        node = child[node][bits & 1];
        bits >>= 1;
        --count;
        if (node < kLeafCount) {
            *out++ = static_cast<uint8_t>(node);
            node = root;
        }
    }
    current = static_cast<int16_t>(node);
    return static_cast<size_t>(out - start);
}

} // namespace walkmere
