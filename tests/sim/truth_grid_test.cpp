#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "SimTesting.h"
#include "sim/TruthGrid.h"

namespace walkmere::sim {
namespace {

using simtest::bound;
using simtest::drawnPlan;

TEST(TruthGrid, CellsCoverThePlanAndTheLastTakeWhatIsLeft) {
    SiteModel model = simtest::oneRadio(1, 1);
    model.accessPoints.push_back(model.accessPoints[0]);
    model.accessPoints[1].name = "AP 2";
    model.accessPoints[1].radios.push_back(model.accessPoints[1].radios[0]);
    const TruthGrid grid(bound(model, drawnPlan(10, 7, 20)), 4);
    EXPECT_EQ(grid.columns(), 3);
    EXPECT_EQ(grid.rows(), 2);
    EXPECT_EQ(grid.centreX(0), 2);
    EXPECT_EQ(grid.centreX(2), 9);
    EXPECT_EQ(grid.centreY(1), 5.5);
    ASSERT_EQ(grid.radioCount(), 3);
    EXPECT_EQ(grid.radio(2).accessPoint, 1);
    EXPECT_EQ(grid.radio(2).radio, 1);
    EXPECT_EQ(grid.values(2).size(), 6u);
    EXPECT_EQ(TruthGrid(bound(model, drawnPlan(10, 7, 20)), 0).cell(), 1);
}

// The share of cells whose value is the site's own at the cell's centre within `tolerance`.
double agreement(const SimulatedSite& site, const TruthGrid& grid, double tolerance, int samples) {
    std::mt19937_64 random(5);
    std::uniform_int_distribution<int32_t> column(0, grid.columns() - 1), row(0, grid.rows() - 1);
    std::uniform_int_distribution<int> radio(0, grid.radioCount() - 1);
    int agreeing = 0;
    for (int i = 0; i < samples; ++i) {
        const int32_t c = column(random), r = row(random);
        const int k = radio(random);
        const double truth = site.radioRssi(grid.radio(k).accessPoint, grid.radio(k).radio,
                                            grid.centreX(c), grid.centreY(r));
        agreeing += std::fabs(grid.rssi(k, c, r) - truth) <= tolerance;
    }
    return double(agreeing) / samples;
}

TEST(TruthGrid, AgreesWithTheSiteOverTheDemoOffice) {
    const SimulatedSite site = bound(simtest::officeModel(), simtest::officePlan());
    // Where they disagree it is by a wall near a wall or behind its end; elsewhere they are
    // the same.
    for (const int32_t cell : {1, 4}) {
        const TruthGrid grid(site, cell);
        EXPECT_GE(agreement(site, grid, 1.0, 4000), 0.95) << cell;
        EXPECT_GE(agreement(site, grid, 0.01, 4000), 0.95) << cell;
    }
}

TEST(TruthGrid, AWallBesideTheAccessPointIsCountedBehindIt) {
    // One-pixel walls 2 pixels from the access point, inside its cell, and a slanted one
    // further out.
    SiteModel model = simtest::oneRadio(50.5, 50.5);
    model.propagation.shadowingSigmaDb = 3;
    const SimulatedSite site = bound(model, drawnPlan(200, 200, 20, [](int32_t x, int32_t y) {
                                         return x == 52 || y == 48 || x + y == 300;
                                     }));
    EXPECT_GE(agreement(site, TruthGrid(site, 4), 0.01, 2000), 0.95);
}

} // namespace
} // namespace walkmere::sim
