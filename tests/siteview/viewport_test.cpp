#include <gtest/gtest.h>

#include <limits>

#include "siteview/Viewport.h"

namespace walkmere {
namespace {

const EdgeRect kClient{0, 0, 240, 268};

// The open-site flow: reset, bounds from the bitmap, a square view of the shorter client side.
void openSite(CViewport& vp, int32_t planW, int32_t planH, const EdgeRect& client = kClient) {
    vp.reset();
    vp.setBounds(planW, planH);
    const int32_t side = std::min(client.width(), client.height());
    vp.initView(side, side);
}

TEST(Viewport, StartsEmptyWithBothSwitchesOn) {
    CViewport vp;
    EXPECT_EQ(vp.zoom(), 1);
    EXPECT_EQ(vp.view(), (EdgeRect{0, 0, 0, 0}));
    EXPECT_TRUE(vp.showWalkPath());
    EXPECT_TRUE(vp.showAccessPoints());
}

TEST(Viewport, OpeningAPlanGivesASquareViewAndBlit) {
    CViewport vp;
    openSite(vp, 1000, 800);
    EXPECT_EQ(vp.bounds(), (EdgeRect{0, 0, 1000, 800}));
    EXPECT_EQ(vp.view(), (EdgeRect{0, 0, 240, 240}));
    EXPECT_EQ(vp.centreX(), 120);
    EXPECT_EQ(vp.centreY(), 120);
    EXPECT_EQ(vp.zoom(), 1);
    const BlitRects b = vp.computeBlit(kClient);
    EXPECT_EQ(b.destination, (EdgeRect{0, 0, 240, 268}));
    EXPECT_EQ(b.source, (EdgeRect{0, 0, 240, 240}));
}

TEST(Viewport, ZoomInHalvesAboutTheCentreAndZoomOutRestores) {
    CViewport vp;
    openSite(vp, 1000, 800);
    vp.zoomIn();
    EXPECT_EQ(vp.home(), (EdgeRect{0, 0, 240, 240}));
    EXPECT_EQ(vp.zoom(), 2);
    EXPECT_EQ(vp.view(), (EdgeRect{60, 60, 180, 180}));
    EXPECT_EQ(vp.centreX(), 120);
    vp.zoomIn();
    EXPECT_EQ(vp.zoom(), 4);
    EXPECT_EQ(vp.view(), (EdgeRect{90, 90, 150, 150}));
    // The home view is taken only when leaving 100 %.
    EXPECT_EQ(vp.home(), (EdgeRect{0, 0, 240, 240}));

    vp.zoomOut();
    EXPECT_EQ(vp.zoom(), 2);
    EXPECT_EQ(vp.view(), (EdgeRect{60, 60, 180, 180}));
    EXPECT_EQ(vp.centreX(), 120);
    EXPECT_EQ(vp.centreY(), 120);
    vp.zoomOut();
    EXPECT_EQ(vp.zoom(), 1);
    EXPECT_EQ(vp.view(), (EdgeRect{0, 0, 240, 240}));
    EXPECT_EQ(vp.centreX(), 120);
    vp.zoomOut();
    EXPECT_EQ(vp.zoom(), 1);
    EXPECT_EQ(vp.view(), (EdgeRect{0, 0, 240, 240}));
}

TEST(Viewport, ZoomOutBackTo100RestoresTheScrolledHomeView) {
    CViewport vp;
    openSite(vp, 1000, 800);
    vp.scrollRight(100); // centre 220, view (100, 340)
    vp.zoomIn();
    vp.scrollLeft(50);
    vp.zoomOut();
    EXPECT_EQ(vp.view(), (EdgeRect{100, 0, 340, 240}));
    EXPECT_EQ(vp.centreX(), 220);
}

TEST(Viewport, ZoomOutNearAnEdgeClampsAndMovesTheCentre) {
    CViewport vp;
    openSite(vp, 1000, 800);
    vp.zoomIn();
    vp.zoomIn();
    vp.setCentreX(30);
    vp.setCentreY(30);
    ASSERT_EQ(vp.zoom(), 4);
    ASSERT_EQ(vp.view(), (EdgeRect{0, 0, 60, 60}));
    vp.zoomOut();
    EXPECT_EQ(vp.zoom(), 2);
    EXPECT_EQ(vp.view(), (EdgeRect{0, 0, 90, 90}));
    EXPECT_EQ(vp.centreX(), 45);
    EXPECT_EQ(vp.centreY(), 45);
}

TEST(Viewport, ZoomOutClampsAtTheFarEdgesToo) {
    CViewport vp;
    openSite(vp, 300, 250);
    vp.zoomIn();
    vp.zoomIn(); // view (90, 150), centre 120
    vp.setCentreX(290);
    vp.setCentreY(240); // view (260, 320) x (210, 270)
    vp.zoomOut();
    EXPECT_EQ(vp.view(), (EdgeRect{230, 180, 300, 250}));
    EXPECT_EQ(vp.centreX(), 265);
    EXPECT_EQ(vp.centreY(), 215);
}

TEST(Viewport, ZoomStopsAtFactor64) {
    CViewport vp;
    openSite(vp, 1000, 800);
    for (int i = 0; i < 6; ++i)
        vp.zoomIn();
    ASSERT_EQ(vp.zoom(), 64);
    const EdgeRect at64 = vp.view();
    EXPECT_GT(at64.width(), 0);
    vp.zoomIn();
    vp.zoomIn();
    EXPECT_EQ(vp.zoom(), 64);
    EXPECT_EQ(vp.view(), at64);
    // The mapping still works at the deepest zoom.
    EXPECT_TRUE(vp.planToClient(kClient, {vp.centreX(), vp.centreY()}).has_value());
    for (int i = 0; i < 6; ++i)
        vp.zoomOut();
    EXPECT_EQ(vp.zoom(), 1);
    EXPECT_EQ(vp.view(), (EdgeRect{0, 0, 240, 240}));
}

TEST(Viewport, ScrollMovesTheCentreWithinTheBounds) {
    CViewport vp;
    openSite(vp, 1000, 800);
    vp.scrollLeft(10);
    EXPECT_EQ(vp.centreX(), 110);
    EXPECT_EQ(vp.view().left, -10);
    EXPECT_EQ(vp.view().right, 230);
    const BlitRects b = vp.computeBlit(kClient);
    EXPECT_EQ(b.destination.left, 10);
    EXPECT_EQ(b.source.left, 0);

    CViewport edge;
    openSite(edge, 1000, 800);
    edge.setCentreX(5);
    edge.scrollLeft(10);
    EXPECT_EQ(edge.centreX(), 0);
    EXPECT_EQ(edge.view().left, -120);
    EXPECT_EQ(edge.view().right, 120);
    EXPECT_EQ(edge.computeBlit(kClient).destination.left, 120);

    edge.scrollDown(5000);
    EXPECT_EQ(edge.centreY(), 800);
    EXPECT_EQ(edge.view().top, 680);
    EXPECT_EQ(edge.view().bottom, 920);
    edge.scrollRight(std::numeric_limits<int32_t>::max()); // no wrap-around
    EXPECT_EQ(edge.centreX(), 1000);
    edge.scrollUp(30);
    EXPECT_EQ(edge.centreY(), 770);
}

// initView leaves the centre outside a plan smaller than the view, and outside the empty
// bounds of a site without a floor plan: each step clamps only at the bound it moves toward.
TEST(Viewport, ScrollClampsOnlyAtTheBoundItMovesToward) {
    enum Dir { Left, Right, Up, Down };
    struct Case {
        int32_t planW, planH; // initView(240, 240): centre (120, 120)
        Dir dir;
        int32_t n;
        IntPoint centre;
    };
    const Case cases[] = {
        {100, 80, Left, 10, {110, 120}},  // toward the plan: by the step, not onto maxX
        {100, 80, Up, 10, {120, 110}},    //
        {100, 80, Right, 10, {100, 120}}, // away from it: stops at maxX
        {100, 80, Down, 10, {120, 80}},   //
        {100, 80, Left, 500, {0, 120}},   // a long step still stops at minX
        {100, 80, Up, 500, {120, 0}},     //
        {0, 0, Left, 10, {110, 120}},     // no floor plan: bounds all 0
        {0, 0, Up, 10, {120, 110}},       //
        {0, 0, Right, 10, {0, 120}},      //
        {0, 0, Down, 10, {120, 0}},       //
    };
    for (const Case& c : cases) {
        CViewport vp;
        vp.setBounds(c.planW, c.planH);
        vp.initView(240, 240);
        switch (c.dir) {
        case Left:
            vp.scrollLeft(c.n);
            break;
        case Right:
            vp.scrollRight(c.n);
            break;
        case Up:
            vp.scrollUp(c.n);
            break;
        case Down:
            vp.scrollDown(c.n);
            break;
        }
        const IntPoint got{vp.centreX(), vp.centreY()};
        EXPECT_EQ(got, c.centre) << c.planW << "x" << c.planH << " dir " << c.dir << " by " << c.n;
        // The view is recentred on the new centre either way.
        EXPECT_EQ(vp.view(), (EdgeRect{got.x - 120, got.y - 120, got.x + 120, got.y + 120}));
    }
}

TEST(Viewport, OddExtentLosesAPixelAtTheFirstStep) {
    CViewport vp;
    vp.setBounds(1000, 800);
    vp.initView(241, 241);
    vp.scrollRight(0);
    EXPECT_EQ(vp.view().width(), 240);
}

TEST(Viewport, SetCentreClampsUpperBoundThenZero) {
    CViewport vp;
    openSite(vp, 1000, 800);
    vp.setCentreX(5000);
    EXPECT_EQ(vp.centreX(), 1000);
    EXPECT_EQ(vp.view().left, 880);
    vp.setCentreX(-3);
    EXPECT_EQ(vp.centreX(), 0);
    vp.setCentreY(801);
    EXPECT_EQ(vp.centreY(), 800);
    vp.setCentreY(-1);
    EXPECT_EQ(vp.centreY(), 0);
}

TEST(Viewport, PlanToClientMapsTheViewOntoTheClient) {
    CViewport vp;
    openSite(vp, 1000, 800);
    vp.scrollRight(37);
    vp.scrollDown(11);
    const EdgeRect v = vp.view();
    EXPECT_EQ(vp.planToClient(kClient, {v.left, v.top}), (IntPoint{0, 0}));
    EXPECT_EQ(vp.planToClient(kClient, {v.right, v.bottom}), (IntPoint{240, 268}));
    EXPECT_EQ(vp.planToClient(kClient, {vp.centreX(), vp.centreY()}), (IntPoint{120, 134}));
    EXPECT_FALSE(vp.planToClient(kClient, {v.left - 1, v.top}));
    EXPECT_FALSE(vp.planToClient(kClient, {v.left, v.top - 1}));
    EXPECT_FALSE(vp.planToClient(kClient, {v.right + 1, v.bottom}));
    EXPECT_FALSE(vp.planToClient(kClient, {v.right, v.bottom + 1}));
}

TEST(Viewport, ClientToPlanAndCentring) {
    CViewport vp;
    openSite(vp, 1000, 800);
    EXPECT_EQ(vp.clientToPlan(kClient, {120, 134}), (IntPoint{120, 120}));
    EXPECT_EQ(vp.clientToPlan(kClient, {239, 267}), (IntPoint{239, 239}));
    vp.centreOnClientPoint(kClient, {0, 134});
    EXPECT_EQ(vp.centreX(), 0);
    EXPECT_EQ(vp.view().left, -120);
    // Past the plan's left edge: negative plan x, truncated toward zero; centring clamps.
    EXPECT_EQ(vp.clientToPlan(kClient, {1, 0}).x, -119);
    vp.centreOnClientPoint(kClient, {-50, -50});
    EXPECT_EQ(vp.centreX(), 0);
    EXPECT_EQ(vp.centreY(), 0);
}

TEST(Viewport, NegativeQuotientsTruncateTowardZero) {
    CViewport vp;
    openSite(vp, 1000, 800);
    vp.setCentreY(110); // view top -10, height 240
    ASSERT_EQ(vp.view().top, -10);
    EXPECT_EQ(vp.computeBlit(kClient).destination.top, 11);
    EXPECT_EQ(vp.computeBlit(kClient).source.top, 0);
}

TEST(Viewport, BlitNarrowsAtTheFarEdges) {
    CViewport vp;
    openSite(vp, 300, 250);
    vp.setCentreX(300); // view (180, 420)
    vp.setCentreY(250); // view (130, 370)
    const BlitRects b = vp.computeBlit(kClient);
    EXPECT_EQ(b.source, (EdgeRect{180, 130, 300, 250}));
    EXPECT_EQ(b.destination, (EdgeRect{0, 0, 120, 134}));
}

TEST(Viewport, OpeningASecondSiteWhileZoomedStartsAt100) {
    CViewport vp;
    openSite(vp, 1000, 800);
    vp.zoomIn();
    vp.zoomIn();
    vp.setShowWalkPath(false);
    openSite(vp, 500, 400);
    EXPECT_EQ(vp.zoom(), 1);
    EXPECT_EQ(vp.view(), (EdgeRect{0, 0, 240, 240}));
    EXPECT_EQ(vp.bounds(), (EdgeRect{0, 0, 500, 400}));
    EXPECT_FALSE(vp.showWalkPath()); // the switches survive a reset
    // Zooming out right after the open does not return to the old site's home view.
    vp.zoomOut();
    EXPECT_EQ(vp.view(), (EdgeRect{0, 0, 240, 240}));
}

TEST(Viewport, ZeroSizedViewOrClientMapsNothing) {
    CViewport vp; // empty: everything 0
    EXPECT_FALSE(vp.planToClient(kClient, {0, 0}));
    EXPECT_FALSE(vp.planToClientUnbounded(kClient, {0, 0}));
    const BlitRects b = vp.computeBlit(kClient);
    EXPECT_EQ(b.destination, EdgeRect{});
    EXPECT_EQ(b.source, EdgeRect{});
    EXPECT_EQ(vp.clientToPlan(kClient, {100, 100}), (IntPoint{0, 0}));
    vp.centreOnClientPoint(kClient, {100, 100}); // a tap with no site: plan (0, 0)
    EXPECT_EQ(vp.centreX(), 0);
    vp.zoomIn();
    vp.zoomOut();

    openSite(vp, 1000, 800);
    const EdgeRect none{0, 0, 0, 0};
    EXPECT_EQ(vp.clientToPlan(none, {5, 5}), (IntPoint{0, 0}));
    EXPECT_EQ(vp.planToClient(none, {10, 10}), (IntPoint{0, 0}));

    // A plan of zero size: the view exists but no part of the plan can be shown.
    CViewport flat;
    flat.setBounds(0, 0);
    flat.initView(240, 240);
    EXPECT_EQ(flat.computeBlit(kClient).destination, EdgeRect{});
}

TEST(Viewport, LargePlansDoNotOverflowTheMapping) {
    CViewport vp;
    const EdgeRect big{0, 0, 100000, 100000};
    vp.setBounds(2000000000, 2000000000);
    vp.initView(2000000000, 2000000000);
    EXPECT_EQ(vp.planToClient(big, {2000000000, 1000000000}), (IntPoint{100000, 50000}));
    EXPECT_EQ(vp.clientToPlan(big, {50000, 100000}), (IntPoint{1000000000, 2000000000}));
}

TEST(Viewport, UnboundedMappingExtendsPastTheView) {
    CViewport vp;
    openSite(vp, 1000, 800);
    const auto far = vp.planToClientUnbounded(kClient, {480, -120});
    ASSERT_TRUE(far);
    EXPECT_EQ(far->x, 480);
    EXPECT_EQ(far->y, -134);
}

} // namespace
} // namespace walkmere
