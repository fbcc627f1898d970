// A window larger than the handheld's shows more of the plan at the same mapping along each
// axis: a square on the plan keeps its shape and size at every window size.
#include <gtest/gtest.h>

#include "testkit/SiteFileBuilder.h"
#include "testkit/SiteViewFixture.h"
#include "ui/HandheldSize.h"

namespace walkmere {
namespace {

using siteinputtest::SiteViewFixture;

class WindowSize : public ::testing::Test, public SiteViewFixture {
protected:
    // The site view as the frame lays it out: its area at the handheld's size is 240 x 268,
    // scroll bars included.
    void makeFramedView(QSize area) {
        makeView();
        view->setHandheldClient(kHandheldViewArea - view->scrollBarExtent());
        view->resize(area);
        view->show(); // a hidden widget hears of its resizes only when shown
    }
    void open() {
        sitefiletest::SiteLayout layout;
        layout.plan = sitefiletest::makeBmp(1000, 800);
        const auto file = dir.file("big.kvs");
        testkit::writeFileBytes(file, sitefiletest::buildSite(layout).bytes);
        prompter.scriptYesNo(true);
        ASSERT_TRUE(view->openSite(file.string()));
    }
    // The client size of the 40 x 40 plan square at (300, 300) .. (340, 340).
    QSize square() const {
        const EdgeRect c = view->clientRect();
        const auto a = viewport.planToClient(c, {viewport.centreX(), viewport.centreY()});
        const auto b = viewport.planToClient(c, {viewport.centreX() + 40, viewport.centreY() + 40});
        if (!a || !b) return {};
        return {b->x - a->x, b->y - a->y};
    }
    // clientToPlan and planToClient undo each other within a pixel: a plan pixel comes back
    // within one plan pixel, a client pixel within the client pixels one plan pixel covers
    // (both mappings truncate, as at the handheld's size).
    void expectInverse() const {
        const EdgeRect c = view->clientRect();
        const EdgeRect v = viewport.view();
        const int spanX = (c.width() + v.width() - 1) / v.width();
        const int spanY = (c.height() + v.height() - 1) / v.height();
        for (int y = 0; y < c.bottom; y += 37)
            for (int x = 0; x < c.right; x += 41) {
                const IntPoint plan = viewport.clientToPlan(c, {x, y});
                const auto back = viewport.planToClient(c, plan);
                if (!back) continue;
                EXPECT_LE(std::abs(back->x - x), spanX) << x << "," << y;
                EXPECT_LE(std::abs(back->y - y), spanY) << x << "," << y;
                const IntPoint again = viewport.clientToPlan(c, *back);
                EXPECT_LE(std::abs(again.x - plan.x), 1) << x << "," << y;
                EXPECT_LE(std::abs(again.y - plan.y), 1) << x << "," << y;
            }
    }
};

TEST_F(WindowSize, ASquareOnThePlanKeepsItsShapeAndSize) {
    makeFramedView(kHandheldViewArea);
    open();
    const EdgeRect handheldView = viewport.view();
    const QSize handheld = square();
    ASSERT_GT(handheld.width(), 0);
    EXPECT_GT(handheld.height(), handheld.width()) << "the handheld's square view is stretched";

    view->resize(1000, 750);
    EXPECT_NEAR(square().width(), handheld.width(), 1);
    EXPECT_NEAR(square().height(), handheld.height(), 1);
    expectInverse();
    viewport.zoomIn();
    EXPECT_NEAR(square().width(), 2 * handheld.width(), 2);
    EXPECT_NEAR(square().height(), 2 * handheld.height(), 2);
    viewport.zoomOut();
    EXPECT_NEAR(square().width(), handheld.width(), 1);

    // A site opened at that size starts from the same mapping.
    open();
    EXPECT_NEAR(square().width(), handheld.width(), 1);
    EXPECT_NEAR(square().height(), handheld.height(), 1);
    expectInverse();

    // Back at the handheld's size the view is the handheld's again.
    view->resize(kHandheldViewArea);
    EXPECT_EQ(viewport.view(), handheldView);
}

TEST(ViewportFit, KeepsTheCentreAndChangesNothingAtTheSameExtent) {
    CViewport vp;
    vp.setBounds(1000, 800);
    vp.initView(226, 226);
    vp.scrollRight(50);
    const EdgeRect before = vp.view();
    vp.fitView(before.width(), before.height());
    EXPECT_EQ(vp.view(), before);
    vp.fitView(1000, 700);
    EXPECT_EQ(vp.centreX(), 163);
    EXPECT_EQ(vp.view(), (EdgeRect{163 - 500, 113 - 350, 163 + 500, 113 + 350}));
    vp.zoomIn();
    vp.fitView(400, 300); // at zoom 2: half of it, about the centre
    EXPECT_EQ(vp.view(), (EdgeRect{163 - 100, 113 - 75, 163 + 100, 113 + 75}));
    vp.zoomOut(); // the 100 % view fitted meanwhile returns
    EXPECT_EQ(vp.view().width(), 400);
    EXPECT_EQ(vp.view().height(), 300);
}

} // namespace
} // namespace walkmere
