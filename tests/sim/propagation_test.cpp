#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "SimTesting.h"

namespace walkmere::sim {
namespace {

using simtest::bound;
using simtest::drawnPlan;
using simtest::oneRadio;

TEST(Propagation, FreeSpaceFallsOffWithTheDistanceInTheSitesUnits) {
    // 20 dBm - 40 dB at 1 m - 20 log10(d), with no loss closer than 1 m.
    const struct {
        LengthUnit unit;
        double scaleX, scaleY, dx, dy, rssi;
    } cases[] = {
        {LengthUnit::Metres, 20, 20, 200, 0, -40},  {LengthUnit::Metres, 20, 20, 120, 160, -40},
        {LengthUnit::Metres, 20, 20, 0, 2000, -60}, {LengthUnit::Metres, 20, 20, 10, 0, -20},
        {LengthUnit::Metres, 20, 10, 0, 100, -40},  {LengthUnit::Feet, 10, 10, 1000, 0, -49.680},
    };
    for (const auto& c : cases) {
        SiteModel model = oneRadio(100, 100);
        model.unit = c.unit;
        PlanGeometry plan = drawnPlan(2200, 2200, c.scaleX);
        plan.pixelsPerUnitY = c.scaleY;
        const SimulatedSite site = bound(model, plan);
        EXPECT_NEAR(site.radioRssi(0, 0, 100 + c.dx, 100 + c.dy), c.rssi, 0.001)
            << c.dx << "," << c.dy;
    }
}

TEST(Propagation, EachWallTheLineEntersCostsItsLossOnce) {
    // A one-pixel wall at x = 100, a two-pixel one at 200, one 40 pixels thick at 300.
    const PlanGeometry walls = drawnPlan(400, 100, 20, [](int32_t x, int32_t) {
        return x == 100 || x == 200 || x == 201 || (x >= 300 && x < 340);
    });
    const struct {
        double apX, x;
        int walls;
    } cases[] = {
        {10.5, 90.5, 0},  {10.5, 150.5, 1}, {10.5, 250.5, 2},  {10.5, 320.5, 3},
        {10.5, 399.5, 3}, {150.5, 10.5, 1}, {320.5, 399.5, 0}, {320.5, 10.5, 2},
    };
    for (const auto& c : cases) {
        const SimulatedSite site = bound(oneRadio(c.apX, 50.5), walls);
        const SimulatedSite open = bound(oneRadio(c.apX, 50.5), drawnPlan(400, 100, 20));
        EXPECT_EQ(site.wallsCrossed(0, c.x, 50.5), c.walls) << c.apX << " to " << c.x;
        EXPECT_NEAR(site.radioRssi(0, 0, c.x, 50.5), open.radioRssi(0, 0, c.x, 50.5) - 5 * c.walls,
                    1e-9);
    }
}

TEST(Propagation, ASlantedOnePixelWallIsNeverSteppedOver) {
    // The wall is the diagonal x = y, its pixels touching only at their corners: every line
    // from one side to the other enters it once, those through its corners too.
    const SimulatedSite site =
        bound(oneRadio(80.5, 20.5), drawnPlan(100, 100, 20, std::equal_to<>()));
    const SimulatedSite corner =
        bound(oneRadio(70, 30), drawnPlan(100, 100, 20, std::equal_to<>()));
    for (int32_t y = 0; y < 100; ++y)
        for (int32_t x = 0; x < y; ++x) {
            ASSERT_EQ(site.wallsCrossed(0, x + 0.5, y + 0.5), 1) << x << "," << y;
            ASSERT_EQ(corner.wallsCrossed(0, x, y + 1), 1) << x << "," << y + 1;
        }
}

TEST(Propagation, APlanWithoutAScaleOrAnAccessPointOffItIsRefused) {
    const double nan = std::nan("");
    const struct {
        double scale, apX, apY;
        std::string error;
    } cases[] = {
        {0, 10, 10, "the site's plan has no usable scale (0 x 0 pixels per metre)"},
        {HUGE_VAL, 10, 10, "the site's plan has no usable scale (inf x inf pixels per metre)"},
        {nan, 10, 10, "the site's plan has no usable scale (nan x nan pixels per metre)"},
        {2e6, 10, 10, "the site's plan has no usable scale (2e+06 x 2e+06 pixels per metre)"},
        {20, 100, 10, "accessPoints[0].x: 100 is off the plan (0 to 100 pixels, its width)"},
        {20, 10, -0.5, "accessPoints[0].y: -0.5 is off the plan (0 to 50 pixels, its height)"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(
            SimulatedSite::bind(oneRadio(c.apX, c.apY), drawnPlan(100, 50, c.scale), error));
        EXPECT_EQ(error.substr(0, c.error.size()), c.error);
        if (c.scale != 20) {
            EXPECT_NE(
                error.find("walkmere-site create PLAN -o SITE.kvs --calibrate X1,Y1,X2,Y2,LENGTH"),
                std::string::npos)
                << error;
            EXPECT_NE(error.find("--scale-x N --scale-y N"), std::string::npos) << error;
        }
    }
}

SimulatedSite shadowedSite(uint64_t seed) {
    SiteModel model = oneRadio(10, 10);
    model.propagation.shadowingSigmaDb = 3;
    model.propagation.shadowingDistanceM = 5;
    model.propagation.seed = seed;
    return bound(model, drawnPlan(4000, 4000, 20)); // 200 x 200 m
}

TEST(Propagation, ShadowingIsSmoothNormalAndTheSameForTheSameSeed) {
    const SimulatedSite site = shadowedSite(7);
    const SimulatedSite again = shadowedSite(7);
    const SimulatedSite other = shadowedSite(8);
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> position(0, 3990);
    std::uniform_real_distribution<double> angle(0, 6.2832);
    double sum = 0, squares = 0, steps = 0, largestStep = 0;
    int differentSeedDiffers = 0;
    const int n = 4000;
    for (int i = 0; i < n; ++i) {
        const double x = position(random), y = position(random), a = angle(random);
        const double s = site.shadowingDb(0, 0, x, y);
        EXPECT_EQ(s, again.shadowingDb(0, 0, x, y));
        differentSeedDiffers += std::fabs(s - other.shadowingDb(0, 0, x, y)) > 0.5;
        // 0.2 m away, 4 pixels.
        const double step =
            std::fabs(s - site.shadowingDb(0, 0, x + 4 * std::cos(a), y + 4 * std::sin(a)));
        steps += step;
        largestStep = std::max(largestStep, step);
        sum += s;
        squares += s * s;
    }
    const double mean = sum / n;
    EXPECT_NEAR(mean, 0, 0.3);
    EXPECT_NEAR(std::sqrt(squares / n - mean * mean), 3, 0.3);
    EXPECT_LT(steps / n, 0.15);
    EXPECT_LT(largestStep, 0.8);
    EXPECT_GT(differentSeedDiffers, n / 2);
}

TEST(Propagation, AScanFluctuatesWithinItsBoundAndTheNoiseFloorHidesTheWeak) {
    SiteModel model = oneRadio(10.5, 10.5);
    model.accessPoints[0].radios[0].bss.push_back({{0x00, 0x11, 0x22, 0x33, 0x44, 0x56}, "Guest"});
    model.propagation.fluctuationDb = 2;
    const PlanGeometry plan = drawnPlan(400, 100, 20);
    // 10 m away: -40 dBm; heard at a floor of -40, not at -39.99.
    model.propagation.noiseFloorDbm[RadioBand::Ghz24] = -40;
    EXPECT_EQ(bound(model, plan).truthAt(210.5, 10.5).size(), 2u);
    model.propagation.noiseFloorDbm[RadioBand::Ghz24] = -39.99;
    EXPECT_TRUE(bound(model, plan).truthAt(210.5, 10.5).empty());

    model.propagation.noiseFloorDbm[RadioBand::Ghz24] = -41;
    const SimulatedSite site = bound(model, plan);
    std::mt19937_64 random(3);
    double lowest = 0, highest = -100;
    for (int i = 0; i < 300; ++i) {
        const std::vector<HeardBss> scan = site.scanAt(210.5, 10.5, random);
        for (size_t k = 0; k < scan.size(); ++k) {
            EXPECT_GE(scan[k].rssiDbm, -41);
            if (k > 0) {
                EXPECT_GE(scan[k - 1].rssiDbm, scan[k].rssiDbm);
            }
            lowest = std::min(lowest, scan[k].rssiDbm);
            highest = std::max(highest, scan[k].rssiDbm);
        }
    }
    EXPECT_LE(highest, -38);
    EXPECT_GT(highest, -38.2);
    EXPECT_LT(lowest, -40.8); // the floor cut some off
}

} // namespace
} // namespace walkmere::sim
