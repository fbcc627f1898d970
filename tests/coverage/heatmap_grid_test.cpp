#include "coverage/CoverageGrid.h"
#include "coverage/Interpolation.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace walkmere {
namespace {

TEST(CoverageGrid, AtASurveyPointItsOwnValue) {
    const std::vector<SampleValue> samples{{100, 100, -50}, {140, 100, -80}, {120, 130, -65}};
    const CoverageGrid grid(samples, 100);
    for (const SampleValue& s : samples) {
        const auto v = grid.valueAt(s.x, s.y);
        ASSERT_TRUE(v);
        EXPECT_DOUBLE_EQ(*v, s.rssi);
    }
}

TEST(CoverageGrid, BetweenTwoPointsLiesBetweenThemAndNearerIsCloser) {
    const std::vector<SampleValue> samples{{0, 0, -40}, {100, 0, -80}};
    const CoverageGrid grid(samples, 150);
    double previous = -40;
    for (int x = 5; x < 100; x += 5) {
        const auto v = grid.valueAt(x, 0);
        ASSERT_TRUE(v) << x;
        EXPECT_LT(*v, -40) << x;
        EXPECT_GT(*v, -80) << x;
        EXPECT_LE(*v, previous + 1e-9) << x; // falls steadily towards the weaker point
        previous = *v;
    }
    EXPECT_NEAR(*grid.valueAt(50, 0), -60, 1e-9); // half way: the plain mean
}

TEST(CoverageGrid, NoValueOutsideTheRadius) {
    const std::vector<SampleValue> samples{{0, 0, -40}, {1000, 1000, -60}};
    const CoverageGrid grid(samples, 50);
    EXPECT_TRUE(grid.valueAt(49, 0));
    EXPECT_FALSE(grid.valueAt(50, 0));
    EXPECT_FALSE(grid.valueAt(500, 500));
    EXPECT_FALSE(grid.valueAt(-60, 0));
    // Only the near point counts: the far one does not pull the value.
    EXPECT_DOUBLE_EQ(*grid.valueAt(30, 0), -40);
}

TEST(CoverageGrid, OverlappingPointsDoNotAddUp) {
    // Ten points all at -60 around a spot give -60 there, not something stronger.
    std::vector<SampleValue> samples;
    for (int i = 0; i < 10; ++i)
        samples.push_back({100 + (i % 5) * 4, 100 + (i / 5) * 4, -60});
    const CoverageGrid grid(samples, 80);
    for (double x : {90.0, 105.0, 130.0})
        EXPECT_NEAR(*grid.valueAt(x, 103), -60, 1e-9);
    // Two points at the same spot: their mean.
    const std::vector<SampleValue> same{{10, 10, -50}, {10, 10, -70}};
    EXPECT_DOUBLE_EQ(*CoverageGrid(same, 30).valueAt(10, 10), -60);
}

TEST(CoverageGrid, FindsPointsAcrossCellsAndFarApart) {
    // Points spread over two billion pixels still fit the cell table; lookups find them.
    const std::vector<SampleValue> samples{
        {-1000000000, -1000000000, -90}, {1000000000, 1000000000, -30}, {0, 0, -55}};
    const CoverageGrid grid(samples, 20);
    EXPECT_DOUBLE_EQ(*grid.valueAt(1000000000, 1000000000), -30);
    EXPECT_DOUBLE_EQ(*grid.valueAt(-1000000000 + 5, -1000000000), -90);
    EXPECT_DOUBLE_EQ(*grid.valueAt(3, 4), -55);
    EXPECT_FALSE(grid.valueAt(500, 0));
    EXPECT_FALSE(CoverageGrid({}, 20).valueAt(0, 0));
}

TEST(CoverageGrid, DefaultRadiusFollowsThePointSpacing) {
    std::vector<SampleValue> lattice;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            lattice.push_back({x * 30, y * 30, -60});
    EXPECT_DOUBLE_EQ(CoverageGrid::defaultRadius(lattice, 300, 300), 60);
    // One point: a share of the plan.
    EXPECT_DOUBLE_EQ(CoverageGrid::defaultRadius({lattice.data(), 1}, 800, 400), 100);
    // Points on top of each other do not shrink the radius to nothing.
    const std::vector<SampleValue> pile{{5, 5, -50}, {5, 5, -60}, {6, 5, -60}};
    EXPECT_GE(CoverageGrid::defaultRadius(pile, 100, 100), 8);
}

TEST(CoverageRaster, MatchesTheGridAtNodesAndStaysBetweenNeighbours) {
    const std::vector<SampleValue> samples{{10, 10, -40}, {70, 10, -90}, {40, 50, -60}};
    const CoverageGrid grid(samples, 60);
    const CoverageRaster raster(grid, 83, 61, 4);
    std::vector<float> row(83);
    for (int32_t y = 0; y < 61; ++y) {
        raster.fillRow(y, row.data());
        for (int32_t x = 0; x < 83; ++x) {
            const float v = row[size_t(x)];
            if (x % 4 == 0 && y % 4 == 0) {
                const auto exact = grid.valueAt(x, y);
                if (exact)
                    EXPECT_NEAR(v, *exact, 1e-3) << x << "," << y;
                else
                    EXPECT_TRUE(std::isnan(v)) << x << "," << y;
            }
            if (!std::isnan(v)) {
                EXPECT_GE(v, -90.001f);
                EXPECT_LE(v, -39.999f);
            }
        }
    }
}

// Both methods on a sloping field sampled every 60 pixels (one point twice, its two values
// taken as their mean): each point's own value there, values near the slope between the
// points (inverse-distance weighting flattens towards each point, kriging much less), none
// beyond the radius.
TEST(Interpolation, EveryMethodHonoursThePointsAndFollowsASlope) {
    const auto field = [](double x, double y) { return -40 - x / 12 - y / 30; };
    std::vector<SampleValue> samples;
    for (int32_t y = 0; y <= 240; y += 60)
        for (int32_t x = 0; x <= 240; x += 60)
            samples.push_back({x, y, field(x, y)});
    samples.push_back({120, 120, field(120, 120) + 2});
    samples.push_back({120, 120, field(120, 120) - 2});
    for (const auto& [method, slopeError] :
         {std::pair{Interpolation::Idw, 2.0}, std::pair{Interpolation::Kriging, 0.25}}) {
        SCOPED_TRACE(interpolationName(method));
        const auto values = makeInterpolator(method, samples, 100, 2.0);
        for (const SampleValue& s : samples)
            EXPECT_NEAR(*values->valueAt(s.x, s.y), field(s.x, s.y), 1e-9);
        double worst = 0;
        for (double y = 15; y < 240; y += 30)
            for (double x = 15; x < 240; x += 30)
                worst = std::max(worst, std::abs(*values->valueAt(x, y) - field(x, y)));
        EXPECT_LT(worst, slopeError);
        EXPECT_FALSE(values->valueAt(-80, -80));
        EXPECT_FALSE(values->valueAt(360, 120));
    }
}

} // namespace
} // namespace walkmere
