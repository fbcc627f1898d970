#include "survey/HuffmanTree.h"

#include "codec_testdata.h"

#include <gtest/gtest.h>

namespace walkmere {
namespace {

using codectest::Weights;

void expectJoin(const HuffmanTree& tree, int n, int child0, int child1) {
    SCOPED_TRACE("node " + std::to_string(n));
    EXPECT_EQ(tree.node(n).child0, child0);
    EXPECT_EQ(tree.node(n).child1, child1);
    EXPECT_EQ(tree.node(n).isLeaf, 0);
    EXPECT_EQ(tree.node(child0).parent, n);
    EXPECT_EQ(tree.node(child1).parent, n);
}

TEST(CodecTree, ZeroWeightsPairNodesInOrder) {
    const HuffmanTree tree(codectest::zeroWeights());
    EXPECT_EQ(tree.root(), 510);
    // Each level pairs the nodes of the level below in order: 0-1, 2-3, ..., then
    // 256-257, ..., up to the root.
    int made = 256;
    int levelStart = 0;
    for (int width = 256; width > 1; width /= 2) {
        for (int k = 0; k < width / 2; ++k)
            expectJoin(tree, made++, levelStart + 2 * k, levelStart + 2 * k + 1);
        levelStart = (levelStart == 0) ? 256 : levelStart + width;
    }
    EXPECT_EQ(made, 511);
    for (int s = 0; s < 256; ++s)
        EXPECT_EQ(tree.codeLength(static_cast<uint8_t>(s)), 8);
    EXPECT_EQ(tree.node(510).parent, -1);
}

TEST(CodecTree, LeavesAreTheByteValues) {
    std::mt19937 rng(7);
    const HuffmanTree tree(codectest::randomWeights(rng));
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(tree.node(i).isLeaf, 1);
        EXPECT_EQ(tree.node(i).symbol, i);
        EXPECT_EQ(tree.node(i).child0, -1);
        EXPECT_EQ(tree.node(i).child1, -1);
    }
    EXPECT_EQ(tree.root(), 510);
    EXPECT_EQ(tree.nodeCount(), 511);
    EXPECT_EQ(tree.node(512).child0, -1); // the last slot is never used
}

TEST(CodecTree, ZeroWeightLeavesJoinFirst) {
    Weights w{};
    w[0] = 5;
    w[1] = 3;
    w[2] = 3;
    w[3] = 1;
    const HuffmanTree tree(w);
    expectJoin(tree, 256, 4, 5);
    expectJoin(tree, 257, 6, 7);
    expectJoin(tree, 381, 254, 255); // the 252 zero leaves make 126 nodes
    expectJoin(tree, 382, 256, 257); // then the zero-weight inner nodes, in order
    EXPECT_EQ(tree.node(256).weight, 0u);
    EXPECT_EQ(tree.root(), 510);
    // Leaf 3 (weight 1) waits until every zero-weight node is joined into one.
    const int zeroRoot = tree.node(3).parent;
    EXPECT_EQ(tree.node(zeroRoot).weight, 1u);
    EXPECT_EQ(tree.node(zeroRoot).child0, 3);
}

TEST(CodecTree, TiesGoToLowerNodeNumbers) {
    Weights w{};
    w.fill(1000);
    w[0] = 2;
    w[1] = 1;
    w[2] = 1;
    w[3] = 2;
    const HuffmanTree tree(w);
    expectJoin(tree, 256, 1, 2); // weight 2
    // Leaves 0 and 3 and node 256 all weigh 2: the two leaves, lower numbers, go first.
    expectJoin(tree, 257, 0, 3);
    expectJoin(tree, 258, 256, 257);
    // Node 258 (weight 6) and leaves 4.. (1000): first choice 258, second the lowest
    // leaf; child0 is the lower number although it is the heavier node.
    expectJoin(tree, 259, 4, 258);
    EXPECT_EQ(tree.node(259).weight, 1006u);
    expectJoin(tree, 260, 5, 6);
}

TEST(CodecTree, ChildZeroIsLowerNumberWhateverTheWeight) {
    Weights w{};
    w.fill(1u << 30);
    w[200] = 1;
    w[100] = 2;
    const HuffmanTree tree(w);
    // First choice is leaf 200 (lighter), second leaf 100; child0 is still 100.
    expectJoin(tree, 256, 100, 200);
}

TEST(CodecTree, WeightsWrapAsUnsigned32) {
    Weights w{};
    w.fill(0xFFFFFFFFu);
    w[0] = 0x80000000u;
    w[1] = 0x80000000u;
    const HuffmanTree tree(w);
    expectJoin(tree, 256, 0, 1);
    EXPECT_EQ(tree.node(256).weight, 0u); // wrapped to the lightest node
    expectJoin(tree, 257, 2, 256);
    EXPECT_EQ(tree.node(257).weight, 0xFFFFFFFFu);
    expectJoin(tree, 258, 3, 4); // equal weights: leaves before node 257
}

TEST(CodecTree, ChainWeightsGiveCodesOf255Bits) {
    const HuffmanTree tree(codectest::chainWeights());
    EXPECT_EQ(tree.codeLength(0), 255);
    EXPECT_EQ(tree.codeLength(1), 255);
    EXPECT_EQ(tree.codeLength(255), 1);
    EXPECT_EQ(tree.codeLength(2), 254);
    const HuffmanCode leaf1 = tree.codeOf(1);
    for (int i = 0; i < 255; ++i)
        EXPECT_TRUE(leaf1.bit(i)) << i;
    const HuffmanCode leaf0 = tree.codeOf(0);
    EXPECT_FALSE(leaf0.bit(254));
}

TEST(CodecTree, CodesFollowTheChildren) {
    std::mt19937 rng(11);
    for (int round = 0; round < 20; ++round) {
        const HuffmanTree tree(round % 2 ? codectest::skewedWeights(rng)
                                         : codectest::fibonacciWeights(rng));
        for (int s = 0; s < 256; ++s) {
            const HuffmanCode code = tree.codeOf(static_cast<uint8_t>(s));
            int node = tree.root();
            for (int i = 0; i < code.length; ++i)
                node = code.bit(i) ? tree.node(node).child1 : tree.node(node).child0;
            ASSERT_EQ(node, s);
        }
    }
}

} // namespace
} // namespace walkmere
