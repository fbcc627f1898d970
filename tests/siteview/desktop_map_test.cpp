// Beyond the handheld's form the site view is a desktop map. The tests run in a 1000 x 750
// window at scale 1 and, in the scaled test program, at the handheld's window size at scale 2.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

#include "siteview/Ruler.h"
#include "testkit/SiteFileBuilder.h"
#include "testkit/SiteViewFixture.h"
#include "ui/CommandTarget.h"
#include "ui/HandheldSize.h"
#include "ui/ScaledPicture.h"

namespace walkmere {
namespace {

using siteinputtest::SiteViewFixture;

// A black 400 x 400 square in a white margin, off the plan's middle (where the cursor is).
const QRect kSquare(800, 600, 400, 400);

class DesktopMap : public ::testing::Test, public SiteViewFixture {
protected:
    void SetUp() override {
        makeView();
        view->setHandheldClient(kHandheldViewArea - view->scrollBarExtent());
        view->resize(scale() > 1 ? kHandheldViewArea : QSize(1000, 750));
        view->show(); // a hidden widget hears of its resizes only when shown
        sitefiletest::SiteLayout layout;
        layout.plan = sitefiletest::makeBmp(4000, 3000);
        const auto file = dir.file("big.kvs");
        testkit::writeFileBytes(file, sitefiletest::buildSite(layout).bytes);
        prompter.scriptYesNo(true);
        ASSERT_TRUE(view->openSite(file.string()));
        QPainter p(&view->floorPlan);
        p.fillRect(kSquare.adjusted(-100, -100, 100, 100), Qt::white);
        p.fillRect(kSquare, Qt::black);
    }
    int scale() const { return deviceScaleFor(view->devicePixelRatioF()); }
    EdgeRect client() const { return view->clientRect(); }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, k, mods);
        QApplication::sendEvent(view.get(), &e);
    }
    void ctrlWheel(QPoint at, int notches) {
        QWheelEvent e(QPointF(at), QPointF(view->mapToGlobal(at)), {}, {0, 120 * notches},
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.get(), &e);
    }
    void tap(QPoint p) {
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, QPointF(p), QPointF(view->mapToGlobal(p)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
            QApplication::sendEvent(view.get(), &e);
        }
    }
    // The longest run of black screen pixels along a row or a column of the picture.
    static int blackRun(const QImage& img, QPoint through, bool across) {
        int best = 0, run = 0;
        const int n = across ? img.width() : img.height();
        for (int i = 0; i < n; ++i) {
            const QPoint at = across ? QPoint(i, through.y()) : QPoint(through.x(), i);
            run = img.pixel(at) == qRgb(0, 0, 0) ? run + 1 : 0;
            best = std::max(best, run);
        }
        return best;
    }
};

TEST_F(DesktopMap, APlanSquareIsSquareOnScreen) {
    const EdgeRect handheldView = viewport.view();
    const QImage screen = view->composePicture(QSize(), scale());
    const auto middle = viewport.planToClient(client(), {1000, 800});
    ASSERT_TRUE(middle);
    const QPoint through = QPoint(middle->x, middle->y) * scale();
    const int width = blackRun(screen, through, true), height = blackRun(screen, through, false);
    EXPECT_GT(width, 10);
    EXPECT_NEAR(width, height, 1);
    // A tap comes back through the same mapping, within a pixel.
    const IntPoint tapped{through.x() / scale() + 7, through.y() / scale() + 5};
    const auto back = viewport.planToClient(client(), viewport.clientToPlan(client(), tapped));
    ASSERT_TRUE(back);
    EXPECT_LE(std::abs(back->x - tapped.x) + std::abs(back->y - tapped.y), 2);

    if (scale() > 1) return;
    view->resize(kHandheldViewArea); // the handheld's form is the handheld's view again
    EXPECT_EQ(viewport.view(), handheldView);
}

TEST_F(DesktopMap, WholePlanFitsThePlanInTheView) {
    view->onCommand(ID_ZOOM_IN);
    view->onCommand(ID_ZOOM_IN);
    key(Qt::Key_0, Qt::ControlModifier);
    const BlitRects blit = viewport.computeBlit(client());
    EXPECT_EQ(blit.source, (EdgeRect{0, 0, 4000, 3000}));
    // Clear of the rulers and the status line, filling the room between them one way.
    const EdgeRect& d = blit.destination;
    const EdgeRect room = CViewport::mapRoom(client());
    EXPECT_TRUE(d.left >= room.left && d.top >= room.top && d.right <= room.right &&
                d.bottom <= room.bottom);
    EXPECT_TRUE(d.width() >= room.width() - 1 || d.height() >= room.height() - 1);
}

// The fixture's plan has 12.9 pixels a unit: each labelled tick of the top ruler is drawn
// where the plan is its label's distance from the origin.
TEST_F(DesktopMap, RulerLabelsStandOnTheirTicksAtTheirDistance) {
    ctrlWheel({client().width() / 2, client().height() / 2}, 4);
    const QImage screen = view->composePicture(QSize(), 1);
    const double perUnit = viewport.mapScale() * 12.9;
    const auto ticks = mapRulerTicks(viewport.mapX(client(), 0), perUnit, client().width());
    int labels = 0;
    for (const RulerTick& t : ticks) {
        EXPECT_EQ(screen.pixel(t.position, 0), qRgb(0, 0, 0)) << t.position;
        if (!t.labelled) continue;
        ++labels;
        const double planX = viewport.clientToPlan(client(), {t.position, 30}).x;
        EXPECT_NEAR(planX / 12.9, std::stod(t.label), 1.0 / perUnit + 1 / 12.9) << t.label;
    }
    EXPECT_GE(labels, 2);
}

TEST_F(DesktopMap, CtrlWheelZoomsAboutThePointer) {
    const QPoint pointer(client().width() / 3, client().height() / 3);
    for (const int notches : {3, -1, 2}) {
        SCOPED_TRACE(notches);
        const IntPoint under = viewport.clientToPlan(client(), {pointer.x(), pointer.y()});
        const auto span = [&] {
            return viewport.planToClientUnbounded(client(), {under.x + 100, under.y})->x -
                   viewport.planToClientUnbounded(client(), under)->x;
        };
        const double before = span();
        ctrlWheel(pointer, notches);
        EXPECT_EQ(viewport.clientToPlan(client(), {pointer.x(), pointer.y()}), under);
        EXPECT_NEAR(span(), before * std::pow(1.25, notches), 2);
    }
}

TEST_F(DesktopMap, ArrowKeysMoveTheSameScreenDistanceAtAnyZoom) {
    std::vector<int64_t> moved;
    for (int zoomIns = 0; zoomIns < 3; ++zoomIns) {
        const IntPoint spot{viewport.centreX(), viewport.centreY()};
        const int64_t x = viewport.planToClientUnbounded(client(), spot)->x;
        key(Qt::Key_Right);
        moved.push_back(x - viewport.planToClientUnbounded(client(), spot)->x);
        view->onCommand(ID_ZOOM_IN);
    }
    EXPECT_GT(moved[0], 0);
    EXPECT_NEAR(moved[1], moved[0], 1);
    EXPECT_NEAR(moved[2], moved[0], 1);
}

TEST_F(DesktopMap, ATapBesideThePlanTakesNothingAndSaysWhy) {
    for (const bool placing : {false, true}) {
        SCOPED_TRACE(placing);
        view->OnHScroll(CSiteView::SB_THUMBTRACK, 0); // the plan's left edge in the middle
        view->placingAp = placing;
        tap({client().width() / 8, client().height() / 2});
        EXPECT_TRUE(store.index().empty());
        EXPECT_EQ(scanActivations, 0);
        EXPECT_FALSE(measurement.running());
        EXPECT_EQ(view->statusNote().toStdString(),
                  placing ? kTapOnPlanToPlaceText : kTapOnPlanToMeasureText);
    }
}

} // namespace
} // namespace walkmere
