#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

#include "siteview/Ruler.h"

namespace walkmere {
namespace {

std::map<int32_t, RulerTick> byPosition(const std::vector<RulerTick>& ticks) {
    std::map<int32_t, RulerTick> m;
    for (const RulerTick& t : ticks)
        m[t.position] = t;
    return m;
}

TEST(Ruler, ScaleTenAtZoomOneOn240Pixels) {
    const int32_t step = rulerStep(1, 10.0);
    ASSERT_EQ(step, 10);
    const auto ticks = rulerTicks(step, 240);
    ASSERT_EQ(ticks.size(), 22u); // x = 20, 30, ..., 230
    EXPECT_EQ(ticks.front().position, 20);
    EXPECT_EQ(ticks.back().position, 230);
    const auto at = byPosition(ticks);

    for (int32_t x : {20, 120, 220}) {
        EXPECT_EQ(at.at(x).length, 20) << x;
        EXPECT_TRUE(at.at(x).labelled) << x;
    }
    EXPECT_EQ(at.at(20).label, "0");
    EXPECT_EQ(at.at(120).label, "10");
    EXPECT_EQ(at.at(220).label, "20");
    EXPECT_EQ(at.at(20).labelFrom, 21);
    EXPECT_EQ(at.at(20).labelTo, 70);
    EXPECT_EQ(at.at(70).length, 10);
    EXPECT_EQ(at.at(170).length, 10);
    EXPECT_FALSE(at.at(70).labelled);
    for (int32_t x : {40, 60, 80, 100, 140, 200})
        EXPECT_EQ(at.at(x).length, 4) << x;
    for (int32_t x : {30, 50, 90, 110, 130, 230})
        EXPECT_EQ(at.at(x).length, 2) << x;
    int labels = 0;
    for (const RulerTick& t : ticks)
        labels += t.labelled ? 1 : 0;
    EXPECT_EQ(labels, 3);
}

TEST(Ruler, ZoomDoublesTheStep) {
    const int32_t step = rulerStep(2, 10.9); // the scale is cut to 10
    ASSERT_EQ(step, 20);
    const auto ticks = rulerTicks(step, 240);
    std::vector<std::pair<int32_t, std::string>> labels;
    for (const RulerTick& t : ticks) {
        if (t.labelled) labels.emplace_back(t.position, t.label);
    }
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0], (std::pair<int32_t, std::string>{20, "0"}));
    EXPECT_EQ(labels[1], (std::pair<int32_t, std::string>{220, "10"}));
    EXPECT_EQ(byPosition(ticks).at(120).length, 10);
}

TEST(Ruler, NoRulerForAStepBelowOne) {
    EXPECT_EQ(rulerStep(1, 0.0), 0);
    EXPECT_EQ(rulerStep(4, 0.99), 0);
    EXPECT_EQ(rulerStep(1, -5.0), 0);
    EXPECT_EQ(rulerStep(1, std::nan("")), 0);
    EXPECT_TRUE(rulerTicks(0, 240).empty());
    EXPECT_TRUE(rulerTicks(-10, 240).empty());
}

TEST(Ruler, ShortExtentsAndHugeScales) {
    EXPECT_TRUE(rulerTicks(10, 20).empty()); // only the band
    EXPECT_EQ(rulerTicks(10, 21).size(), 1u);
    EXPECT_EQ(rulerStep(64, 1e300), std::numeric_limits<int32_t>::max());
    const auto ticks = rulerTicks(std::numeric_limits<int32_t>::max(), 1000);
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_EQ(ticks[0].label, "0");
    EXPECT_EQ(ticks[0].labelTo, std::numeric_limits<int32_t>::max());
}

} // namespace
} // namespace walkmere
