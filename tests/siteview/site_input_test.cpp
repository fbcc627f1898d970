// The site view's stylus, joystick, scroll-bar and command input.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>

#include <functional>

#include "testkit/SiteViewFixture.h"
#include "ui/CommandTarget.h"

namespace walkmere {
namespace {

using namespace storetest;
using namespace siteinputtest;

class SiteInput : public ::testing::Test, public SiteViewFixture {
protected:
    void mouse(QEvent::Type type, QPoint p, Qt::MouseButton button) {
        const bool move = type == QEvent::MouseMove;
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent e(type, QPointF(p), QPointF(view->mapToGlobal(p)), move ? Qt::NoButton : button,
                      held, Qt::NoModifier);
        QApplication::sendEvent(view.get(), &e);
    }
    void tap(QPoint p) {
        mouse(QEvent::MouseButtonPress, p, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, p, Qt::LeftButton);
    }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, k, mods);
        QApplication::sendEvent(view.get(), &e);
    }
    static void spin(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QScrollBar* hBar() const { return view->horizontalBar(); }
    QScrollBar* vBar() const { return view->verticalBar(); }
};

TEST_F(SiteInput, TapInTheMiddleTakesThePointThereAndShowsTheScanView) {
    openAtFullSize();
    EXPECT_EQ(view->clientRect(), (EdgeRect{0, 0, 240, 268}));
    finishAMeasurement();
    board.entryIndex = 9;
    tap({120, 134});
    EXPECT_EQ(viewport.view(), (EdgeRect{0, 0, 240, 240})); // did not move
    EXPECT_EQ(store.pointX(), 120);
    EXPECT_EQ(store.pointY(), 120);
    EXPECT_EQ(store.pointLabel(), "TEST");
    EXPECT_TRUE(measurement.running());
    EXPECT_FALSE(measurement.done());
    EXPECT_EQ(measurement.progressPercent(), 0);
    EXPECT_EQ(board.entryIndex.load(), 9) << "the sweep goes on as it runs";
    EXPECT_EQ(sound.played(), std::vector<std::string>{"async:ping"});
    EXPECT_EQ(scanActivations, 1);
}

// W arms a walk: taps are turns of the walk (drawn as its purple path, with its banner), never
// measurements, and the map stays where it is; Escape ends the walk and says so.
TEST_F(SiteInput, WalkTapsAreTurnsAndEscapeEndsTheWalk) {
    openAtFullSize();
    view->siteOpen = true;
    key(Qt::Key_W);
    ASSERT_TRUE(walk.armed());
    tap({40, 60});
    tap({200, 60});
    EXPECT_TRUE(walk.walking());
    EXPECT_EQ(walk.taps().size(), 2u);
    EXPECT_FALSE(measurement.running());
    EXPECT_EQ(scanActivations, 0);
    EXPECT_EQ(viewport.view(), (EdgeRect{0, 0, 240, 240})) << "the map stays put";
    const QImage picture = view->composePicture();
    int purple = 0; // down the middle of the path between the taps
    for (int y = 50; y < 70; ++y)
        purple += picture.pixel(120, y) == qRgb(128, 0, 160);
    EXPECT_GE(purple, 1) << "the walk's path";
    EXPECT_EQ(picture.pixel(40, 60), qRgb(128, 0, 160)) << "a tap's mark";
    EXPECT_EQ(picture.pixel(60, 268 - 20), qRgb(128, 0, 160)) << "the walk's banner";
    key(Qt::Key_Escape);
    EXPECT_FALSE(walk.active());
    EXPECT_EQ(view->statusNote().toStdString(), walkEndedText(0));
    tap({120, 134});
    EXPECT_TRUE(measurement.running()) << "stop-and-go again";
}

TEST_F(SiteInput, TapAtTheLeftEdgeCentresOnThePlanEdge) {
    openAtFullSize();
    tap({0, 134});
    EXPECT_EQ(viewport.centreX(), 0);
    EXPECT_EQ(viewport.view().left, -120);
    EXPECT_EQ(viewport.view().right, 120);
    EXPECT_EQ(store.pointX(), 0);
    EXPECT_EQ(hBar()->value(), 0);
    EXPECT_EQ(vBar()->value(), 120);
}

TEST_F(SiteInput, PlacementTapPastThePlanEdgeStoresTheTappedPoint) {
    openAtFullSize();
    viewport.scrollLeft(10); // view (-10, 230)
    view->onCommand(ID_PLACE_ACCESS_POINT);
    ASSERT_TRUE(view->placingAp);
    tap({0, 134});
    ASSERT_EQ(store.index().size(), 1u);
    EXPECT_EQ(store.index()[0].kind, KIND_DYNAMIC_AP);
    EXPECT_EQ(store.index()[0].x, -10);
    EXPECT_EQ(store.index()[0].y, 120);
    EXPECT_EQ(recordAt(file(), kPointsAt + 8).x(), -10);
    EXPECT_FALSE(view->placingAp);
    EXPECT_EQ(viewport.centreX(), 0);
    EXPECT_EQ(hBar()->value(), 0);
    EXPECT_EQ(scanActivations, 0);
    EXPECT_TRUE(sound.played().empty());

    // A plain tap at the same place takes no survey point, and says why.
    viewport.setCentreX(110);
    tap({0, 134});
    EXPECT_EQ(scanActivations, 0);
    EXPECT_FALSE(measurement.running());
    EXPECT_EQ(view->statusNote().toStdString(), kTapOnPlanToMeasureText);
}

TEST_F(SiteInput, PlacementModeTwiceStillPlacesOneAccessPoint) {
    openAtFullSize();
    view->onCommand(ID_PLACE_ACCESS_POINT);
    view->onCommand(ID_PLACE_ACCESS_POINT);
    tap({120, 134});
    EXPECT_EQ(store.index().size(), 1u);
    EXPECT_FALSE(view->placingAp);
    EXPECT_EQ(scanActivations, 0);
    tap({120, 134});
    EXPECT_EQ(store.index().size(), 1u);
    EXPECT_EQ(scanActivations, 1);
}

TEST_F(SiteInput, TapAndHoldInspectsPointsWithinFortyPlanPixels) {
    // Client (x, 134) is plan (x, 120) at this size.
    openAtFullSize(pointBytes(60, 120, KIND_SURVEY_POINT));
    view->OnTapAndHold({100, 134}); // 40 away
    EXPECT_EQ(locationDialogs, 1);
    EXPECT_TRUE(prompter.messages().empty());
    view->OnTapAndHold({101, 134}); // 41 away
    EXPECT_EQ(locationDialogs, 1);
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"No survey point within range."});
    EXPECT_EQ(scanActivations, 0); // an inspection takes no point
}

TEST_F(SiteInput, NearerDeletedPointHidesALivePointInRange) {
    // Deleted points stay in the index, as kind 2, until the points are loaded again.
    openAtFullSize(pointBytes(100, 120, KIND_SURVEY_POINT) +
                   pointBytes(130, 120, KIND_SURVEY_POINT));
    ASSERT_EQ(store.findNearest(100, 120), KIND_SURVEY_POINT);
    ASSERT_TRUE(store.deletePoint());
    prompter.clear();
    view->OnTapAndHold({100, 134});
    EXPECT_EQ(locationDialogs, 0);
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"No survey point within range."});
}

TEST_F(SiteInput, HeldOrRightPressIsTapAndHoldAndKeepsPlacementMode) {
    openAtFullSize(pointBytes(120, 120, KIND_DYNAMIC_AP));
    view->onCommand(ID_PLACE_ACCESS_POINT);
    mouse(QEvent::MouseButtonPress, {120, 134}, Qt::RightButton);
    EXPECT_EQ(locationDialogs, 1);

    mouse(QEvent::MouseButtonPress, {120, 134}, Qt::LeftButton);
    spin(800);
    EXPECT_EQ(locationDialogs, 2);
    mouse(QEvent::MouseButtonRelease, {120, 134}, Qt::LeftButton); // the hold is over
    EXPECT_EQ(store.index().size(), 1u);
    EXPECT_TRUE(view->placingAp);
    EXPECT_EQ(scanActivations, 0);
}

// The gesture check says "not a hold" as soon as the press moves, so the press is a plain
// tap at the point where it went down, also when it is released late.
TEST_F(SiteInput, PressThatMovesIsATapAtThePressPoint) {
    openAtFullSize(pointBytes(100, 120, KIND_SURVEY_POINT));
    mouse(QEvent::MouseButtonPress, {100, 134}, Qt::LeftButton);
    mouse(QEvent::MouseMove, {140, 150}, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, {140, 150}, Qt::LeftButton);
    EXPECT_EQ(scanActivations, 1);
    EXPECT_EQ(store.pointX(), 100);
    EXPECT_EQ(store.pointY(), 120);
    spin(700);
    EXPECT_EQ(locationDialogs, 0) << "no hold after the tap";

    mouse(QEvent::MouseButtonPress, {120, 134}, Qt::LeftButton);
    mouse(QEvent::MouseMove, {100, 134}, Qt::LeftButton);
    spin(700); // held on past 600 ms after moving: still not a hold
    EXPECT_EQ(locationDialogs, 0);
    EXPECT_EQ(scanActivations, 1);
    mouse(QEvent::MouseButtonRelease, {100, 134}, Qt::LeftButton);
    EXPECT_EQ(scanActivations, 2);
    EXPECT_TRUE(prompter.messages().empty());

    // Within the slop the press can still become a hold.
    mouse(QEvent::MouseButtonPress, {100, 134}, Qt::LeftButton);
    mouse(QEvent::MouseMove, {102, 135}, Qt::LeftButton);
    spin(700);
    EXPECT_EQ(locationDialogs, 1);
    mouse(QEvent::MouseButtonRelease, {102, 135}, Qt::LeftButton);
    EXPECT_EQ(scanActivations, 2);
}

TEST_F(SiteInput, ScrollCodesMoveTheCentreAndSetTheBox) {
    openAtFullSize();
    viewport.setCentreX(5);
    view->OnHScroll(CSiteView::SB_LINELEFT, 0);
    EXPECT_EQ(viewport.centreX(), 0);
    EXPECT_EQ(hBar()->value(), 0);

    view->OnHScroll(CSiteView::SB_PAGERIGHT, 0);
    EXPECT_EQ(viewport.centreX(), 240); // the client width
    view->OnVScroll(CSiteView::SB_PAGEDOWN, 0);
    EXPECT_EQ(viewport.centreY(), 120 + 268); // the client height
    EXPECT_EQ(vBar()->value(), 388);

    view->OnHScroll(CSiteView::SB_THUMBTRACK, 5000);
    EXPECT_EQ(viewport.centreX(), 1000);
    EXPECT_EQ(hBar()->value(), 1000);

    // The thumb released: nothing moves but the box goes back to the centre.
    viewport.setCentreX(300);
    view->OnHScroll(CSiteView::SB_THUMBPOSITION, 700);
    EXPECT_EQ(viewport.centreX(), 300);
    EXPECT_EQ(hBar()->value(), 300);

    view->OnVScroll(CSiteView::SB_LINEUP, 0);
    EXPECT_EQ(viewport.centreY(), 378);
}

TEST_F(SiteInput, ScrollBarActionsStepByTheViewsOwnRules) {
    openAtFullSize();
    EXPECT_EQ(hBar()->maximum(), 1000);
    EXPECT_EQ(vBar()->maximum(), 800);
    EXPECT_EQ(hBar()->value(), 120);
    hBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(viewport.centreX(), 130);
    EXPECT_EQ(hBar()->value(), 130);
    vBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(viewport.centreY(), 120 + 268);
    EXPECT_EQ(vBar()->value(), 388);
    hBar()->setSliderPosition(700); // dragging the thumb
    EXPECT_EQ(viewport.centreX(), 700);
}

// Whatever moves a box besides the view's own handlers, the box ends on the centre again and
// the map stays where the box says.
TEST_F(SiteInput, BoxesStayOnTheCentreWhateverMovesThem) {
    openAtFullSize();
    viewport.setCentreX(300);
    viewport.setCentreY(200);
    view->setHorizontalBox();
    view->setVerticalBox();
    struct Path {
        const char* what;
        std::function<void()> act;
    };
    const Path paths[] = {
        {"left edge", [&] { hBar()->triggerAction(QAbstractSlider::SliderToMinimum); }},
        {"right edge", [&] { hBar()->triggerAction(QAbstractSlider::SliderToMaximum); }},
        {"top", [&] { vBar()->triggerAction(QAbstractSlider::SliderToMinimum); }},
        {"bottom", [&] { vBar()->triggerAction(QAbstractSlider::SliderToMaximum); }},
        {"scroll here", [&] { hBar()->setValue(700); }},
        {"scroll here, vertical", [&] { vBar()->setValue(5); }},
    };
    for (const Path& path : paths) {
        const int x = viewport.centreX(), y = viewport.centreY();
        path.act();
        EXPECT_EQ(viewport.centreX(), x) << path.what;
        EXPECT_EQ(viewport.centreY(), y) << path.what;
        EXPECT_EQ(hBar()->value(), x) << path.what;
        EXPECT_EQ(vBar()->value(), y) << path.what;
    }

    // The wheel over a bar moves the map and its box together.
    QWheelEvent wheel(QPointF(5, 5), QPointF(hBar()->mapToGlobal(QPoint(5, 5))), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(hBar(), &wheel);
    EXPECT_EQ(hBar()->value(), viewport.centreX());

    // The bars have no context menu that could move a box by its own rule.
    bool menuShown = false;
    QTimer closer; // a menu would run its own loop until closed
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            menuShown = true;
            popup->close();
        }
    });
    closer.start(20);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5),
                           hBar()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(hBar(), &menu);
    QApplication::sendEvent(vBar(), &menu);
    spin(10);
    EXPECT_FALSE(menuShown);
    EXPECT_EQ(hBar()->value(), viewport.centreX());
}

// Without a floor plan the bounds are all 0 and the centre starts at (120, 120): an arrow
// toward the bounds moves it by 10, not onto them.
TEST_F(SiteInput, WithoutAFloorPlanAnArrowStepsTen) {
    makeSite();
    ASSERT_TRUE(store.loadPoints());
    makeView();
    viewport.setBounds(0, 0);
    viewport.initView(240, 240);
    view->setScrollRanges(0, 0);
    key(Qt::Key_Left);
    EXPECT_EQ(viewport.centreX(), 110);
    key(Qt::Key_Up);
    EXPECT_EQ(viewport.centreY(), 110);
    key(Qt::Key_Right);
    EXPECT_EQ(viewport.centreX(), 0);
}

TEST_F(SiteInput, ArrowKeysScrollTenAndSetTheBox) {
    openAtFullSize();
    key(Qt::Key_Right);
    EXPECT_EQ(viewport.centreX(), 130);
    EXPECT_EQ(hBar()->value(), 130);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(viewport.centreY(), 140);
    EXPECT_EQ(vBar()->value(), 140);
    key(Qt::Key_Left);
    key(Qt::Key_Up);
    EXPECT_EQ(viewport.centreX(), 120);
    EXPECT_EQ(viewport.centreY(), 130);
    EXPECT_EQ(scanActivations, 0);
}

TEST_F(SiteInput, ActionKeyTakesThePointAtTheCursorAfterPingAndBeep) {
    openAtFullSize();
    viewport.scrollRight(30);
    viewport.scrollDown(20);
    const EdgeRect before = viewport.view();
    finishAMeasurement();
    board.entryIndex = 9;
    key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(store.pointX(), 150);
    EXPECT_EQ(store.pointY(), 140);
    EXPECT_EQ(viewport.view(), before);
    EXPECT_TRUE(measurement.running());
    EXPECT_EQ(measurement.progressPercent(), 0);
    EXPECT_EQ(board.entryIndex.load(), 1);
    EXPECT_FALSE(measurement.done());
    EXPECT_EQ(sound.played(), (std::vector<std::string>{"async:ping", "beep"}));
    EXPECT_EQ(scanActivations, 1);

    key(Qt::Key_Return);
    EXPECT_EQ(scanActivations, 2);
}

TEST_F(SiteInput, ZoomCommandsChangeTheViewButNotTheBoxes) {
    openAtFullSize();
    EXPECT_TRUE(view->handlesCommand(ID_ZOOM_IN));
    EXPECT_FALSE(view->handlesCommand(ID_FILE_SAVE_SITE)); // no save flow wired
    EXPECT_FALSE(view->handlesCommand(ID_OPTIONS));
    view->onCommand(ID_ZOOM_IN);
    EXPECT_EQ(viewport.zoom(), 2);
    EXPECT_EQ(viewport.view(), (EdgeRect{60, 60, 180, 180}));
    view->onCommand(ID_ZOOM_OUT);
    EXPECT_EQ(viewport.zoom(), 1);
    EXPECT_EQ(hBar()->value(), 120);

    int saves = 0;
    view->setSaveHook([&] { ++saves; });
    EXPECT_TRUE(view->handlesCommand(ID_FILE_SAVE_SITE));
    view->onCommand(ID_FILE_SAVE_SITE);
    EXPECT_EQ(saves, 1);
}

TEST_F(SiteInput, WithoutASiteATapMeasuresAtTheOrigin) {
    makeView();
    tap({120, 134});
    EXPECT_EQ(store.pointX(), 0);
    EXPECT_EQ(store.pointY(), 0);
    EXPECT_EQ(scanActivations, 1);
}

} // namespace
} // namespace walkmere
