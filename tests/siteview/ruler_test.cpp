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

namespace walkmere {
namespace {

// The map ruler against its own promise: every labelled tick stands where its distance from
// the origin falls at the exact scale, labels are 1/2/5 steps at least kMapLabelSpacing
// apart and the ticks between them are evenly spaced.
TEST(MapRuler, LabelsStandAtTheirDistanceFromTheOrigin) {
    struct Case {
        double origin, pixelsPerUnit;
        double labelStep; // expected
        int minors;
    };
    const Case cases[] = {
        {20, 12.9, 5, 5},        // 64.5 px a label
        {-1234.5, 0.37, 200, 4}, // a whole 4000-pixel plan at 1.85 px/m, zoomed out
        {300, 96, 0.5, 5},       // zoomed far in
        {20, 4.8, 10, 2},        // exactly 48 px a label: too tight for ten minor ticks
        {500, 1e-6, 5e7, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pixelsPerUnit);
        const MapRulerStep step = mapRulerStep(c.pixelsPerUnit);
        EXPECT_DOUBLE_EQ(step.label, c.labelStep);
        EXPECT_EQ(step.minors, c.minors);
        const auto ticks = mapRulerTicks(c.origin, c.pixelsPerUnit, 1900);
        ASSERT_GE(ticks.size(), 2u);
        int labels = 0;
        for (size_t i = 0; i < ticks.size(); ++i) {
            const RulerTick& t = ticks[i];
            EXPECT_GE(t.position, kRulerBand);
            EXPECT_LT(t.position, 1900);
            if (i > 0) {
                const double gap = ticks[i].position - ticks[i - 1].position;
                EXPECT_NEAR(gap, c.labelStep / c.minors * c.pixelsPerUnit, 1.0);
            }
            if (!t.labelled) continue;
            ++labels;
            const double units = std::stod(t.label);
            EXPECT_NEAR(c.origin + units * c.pixelsPerUnit, t.position, 0.5) << t.label;
            EXPECT_NEAR(std::remainder(units, c.labelStep), 0, 1e-9 * c.labelStep);
            EXPECT_EQ(t.labelFrom + t.labelTo, 2 * t.position + 1) << "centred on the tick";
        }
        EXPECT_GE(labels, 1);
    }
    EXPECT_EQ(mapRulerTicks(20, -3, 1000).size(), 0u);
    EXPECT_EQ(mapRulerTicks(20, std::nan(""), 1000).size(), 0u);
    EXPECT_EQ(mapRulerTicks(20, std::numeric_limits<double>::infinity(), 1000).size(), 0u);
}

TEST(MapRuler, ScaleBarIsARoundLengthThatFits) {
    const auto bar = scaleBar(12.9, 160, "m"); // 12.4 m fit: 10 m
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->text, "10 m");
    EXPECT_DOUBLE_EQ(bar->pixels, 129);
    EXPECT_EQ(scaleBar(400, 160, "ft")->text, "0.2 ft");
    EXPECT_EQ(scaleBar(1.0, 160, "m")->text, "100 m");
    EXPECT_EQ(scaleBar(0.026, 160, "m")->text, "5000 m");
    EXPECT_FALSE(scaleBar(0, 160, "m"));
    EXPECT_FALSE(scaleBar(std::nan(""), 160, "m"));
}

} // namespace
} // namespace walkmere
