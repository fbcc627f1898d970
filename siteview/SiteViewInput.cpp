// The site view's input: commands, scroll bars, stylus and joystick.
#include "siteview/SiteView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>

#include <cmath>

#include "platform/Prompter.h"
#include "platform/Sound.h"
#include "siteview/LocationInfoDlg.h"
#include "siteview/SiteViewOpening.h"
#include "survey/PointMeasurement.h"
#include "survey/SurveyStore.h"
#include "survey/TellSurveyor.h"
#include "survey/WalkSession.h"
#include "ui/CommandTarget.h"

namespace walkmere {

namespace {

constexpr int kLineStep = 10; // plan pixels per scroll-bar arrow or joystick step
// On the desktop map the arrow keys and the scroll bars' arrows move the map by client pixels,
// as many as a step moves it on the handheld at 100 %, and a wheel notch by more.
constexpr int kMapLineStep = 10;
constexpr int kWheelStep = 40;
constexpr int kWheelNotch = 120; // Qt's angle delta of one wheel notch
constexpr const char* kPointLabel = "TEST";

} // namespace

// ---- commands ----

bool CSiteView::handlesCommand(int id) const {
    switch (id) {
    case ID_FILE_OPEN_SITE:
    case ID_ZOOM_IN:
    case ID_ZOOM_OUT:
    case ID_PLACE_ACCESS_POINT:
        return true;
    case ID_FILE_SAVE_SITE:
        return bool(saveSite);
    case ID_WHOLE_PLAN:
    case ID_COVERAGE_MAP:
    case ID_COVERAGE_SETTINGS:
        return view.desktopMap();
    case ID_WALK:
        return services.walk != nullptr && siteOpen;
    default:
        return false;
    }
}

void CSiteView::onCommand(int id) {
    clearNote();
    const EdgeRect client = clientRect();
    const IntPoint middle{client.width() / 2, client.height() / 2};
    switch (id) {
    case ID_FILE_OPEN_SITE:
        openSite();
        break;
    case ID_FILE_SAVE_SITE:
        if (saveSite) saveSite();
        break;
    case ID_ZOOM_IN:
        if (view.desktopMap())
            view.zoomMapAbout(2, client, middle);
        else
            view.zoomIn();
        setHorizontalBox();
        setVerticalBox();
        repaintNow();
        break;
    case ID_ZOOM_OUT:
        if (view.desktopMap())
            view.zoomMapAbout(0.5, client, middle);
        else
            view.zoomOut();
        setHorizontalBox();
        setVerticalBox();
        repaintNow();
        break;
    case ID_PLACE_ACCESS_POINT:
        placingAp = true;
        update();
        break;
    case ID_WHOLE_PLAN:
        showWholePlan();
        break;
    case ID_WALK:
        toggleWalk();
        break;
    case ID_COVERAGE_MAP:
        toggleCoverage();
        break;
    case ID_COVERAGE_SETTINGS:
        if (view.desktopMap()) runCoverageSettings();
        break;
    default:
        break;
    }
}

bool CSiteView::openSite(const std::optional<std::string>& path) {
    return openSiteInView(*this, services.store, services.prompter, services.sound, path);
}

// ---- scroll bars ----

void CSiteView::setScrollRanges(int planWidth, int planHeight) {
    {
        const QSignalBlocker quietV(vBar);
        const QSignalBlocker quietH(hBar);
        vBar->setRange(0, planHeight);
        hBar->setRange(0, planWidth);
    }
    setVerticalBox();
    setHorizontalBox();
}

void CSiteView::setHorizontalBox() {
    const QSignalBlocker quiet(hBar);
    hBar->setSliderPosition(view.centreX());
    hBar->setValue(view.centreX());
}

void CSiteView::setVerticalBox() {
    const QSignalBlocker quiet(vBar);
    vBar->setSliderPosition(view.centreY());
    vBar->setValue(view.centreY());
}

void CSiteView::moveMap(int32_t clientDx, int32_t clientDy, int32_t planDx, int32_t planDy) {
    if (view.desktopMap()) {
        view.panMap(clientDx, clientDy);
        return;
    }
    if (planDx < 0) view.scrollLeft(-planDx);
    if (planDx > 0) view.scrollRight(planDx);
    if (planDy < 0) view.scrollUp(-planDy);
    if (planDy > 0) view.scrollDown(planDy);
}

void CSiteView::OnHScroll(int code, int thumbPosition) {
    clearNote();
    const EdgeRect client = clientRect();
    switch (code) {
    case SB_LINELEFT:
        moveMap(-kMapLineStep, 0, -kLineStep, 0);
        break;
    case SB_LINERIGHT:
        moveMap(kMapLineStep, 0, kLineStep, 0);
        break;
    case SB_PAGELEFT:
        moveMap(-client.width(), 0, -client.width(), 0);
        break;
    case SB_PAGERIGHT:
        moveMap(client.width(), 0, client.width(), 0);
        break;
    case SB_THUMBTRACK:
        view.setCentreX(thumbPosition);
        break;
    default: // SB_THUMBPOSITION and anything else: the box is set again below
        break;
    }
    setHorizontalBox();
    repaintNow();
}

void CSiteView::OnVScroll(int code, int thumbPosition) {
    clearNote();
    const EdgeRect client = clientRect();
    switch (code) {
    case SB_LINEUP:
        moveMap(0, -kMapLineStep, 0, -kLineStep);
        break;
    case SB_LINEDOWN:
        moveMap(0, kMapLineStep, 0, kLineStep);
        break;
    case SB_PAGEUP:
        moveMap(0, -client.height(), 0, -client.height());
        break;
    case SB_PAGEDOWN:
        moveMap(0, client.height(), 0, client.height());
        break;
    case SB_THUMBTRACK:
        view.setCentreY(thumbPosition);
        break;
    default:
        break;
    }
    setVerticalBox();
    repaintNow();
}

// A scroll bar's action in the handheld's scroll codes; -1 for none.
static int scrollCodeOf(int action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        return CSiteView::SB_LINELEFT;
    case QAbstractSlider::SliderSingleStepAdd:
        return CSiteView::SB_LINERIGHT;
    case QAbstractSlider::SliderPageStepSub:
        return CSiteView::SB_PAGELEFT;
    case QAbstractSlider::SliderPageStepAdd:
        return CSiteView::SB_PAGERIGHT;
    case QAbstractSlider::SliderMove:
        return CSiteView::SB_THUMBTRACK;
    default:
        return -1;
    }
}

void CSiteView::connectScrollBars() {
    // No context menu on the bars: its "Scroll here", "Left edge" and the like would move a
    // box by Qt's own rule, away from the centre it stands for.
    hBar->setContextMenuPolicy(Qt::PreventContextMenu);
    vBar->setContextMenuPolicy(Qt::PreventContextMenu);
    // Any other move of a box that the handlers did not make is undone: a box always shows
    // the centre. (The handlers set the boxes with the signals blocked.)
    connect(hBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (value != view.centreX()) setHorizontalBox();
    });
    connect(vBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (value != view.centreY()) setVerticalBox();
    });
    // The bar has moved its slider by its own rule when the action arrives; the handler puts
    // it where the viewport's centre ended up.
    connect(hBar, &QScrollBar::actionTriggered, this, [this](int action) {
        const int code = scrollCodeOf(action);
        if (code >= 0) OnHScroll(code, hBar->sliderPosition());
    });
    connect(vBar, &QScrollBar::actionTriggered, this, [this](int action) {
        const int code = scrollCodeOf(action);
        if (code >= 0) OnVScroll(code, vBar->sliderPosition());
    });
    connect(hBar, &QScrollBar::sliderReleased, this,
            [this] { OnHScroll(SB_THUMBPOSITION, hBar->sliderPosition()); });
    connect(vBar, &QScrollBar::sliderReleased, this,
            [this] { OnVScroll(SB_THUMBPOSITION, vBar->sliderPosition()); });
}

// ---- stylus ----

void CSiteView::OnTapAndHold(QPoint p) {
    const IntPoint plan = view.clientToPlan(clientRect(), {p.x(), p.y()});
    const int16_t kind = services.store.findNearest(plan.x, plan.y);
    if (kind == KIND_SURVEY_POINT || kind == KIND_DYNAMIC_AP) {
        if (locationInfo) {
            locationInfo();
        } else {
            CLocationInfoDlg dlg(services.store, services.prompter, services.sound, this,
                                 view.desktopMap());
            dlg.exec();
        }
        return;
    }
    services.prompter.showMessage(kNoPointInRangeText);
}

void CSiteView::OnTap(QPoint p) {
    const EdgeRect client = clientRect();
    const IntPoint plan = view.clientToPlan(client, {p.x(), p.y()});
    // Beside the plan there is nothing to measure, and on the desktop map nowhere to place an
    // access point either. (Without a plan every tap measures, as there is nowhere else.)
    const EdgeRect bounds = view.bounds();
    const bool besidePlan = bounds.width() > 0 && bounds.height() > 0 && !view.onPlan(plan);
    clearNote();
    if (besidePlan && (!placingAp || view.desktopMap())) {
        note = QString::fromLatin1(placingAp ? kTapOnPlanToPlaceText : kTapOnPlanToMeasureText);
        repaintNow();
        return;
    }
    if (services.walk && services.walk->active()) {
        // "I am here now": the samples since the last tap are placed up to here and written.
        const WalkTapOutcome walked = services.walk->tap(plan.x, plan.y, walkClockNow());
        tellSurveyor(walked.notices, services.prompter, services.sound);
        services.sound.PlayWave("ping");
        repaintNow();
        return;
    }
    if (placingAp) {
        // The tapped plan point itself, which in the handheld's form may lie past the plan's
        // edge.
        tellSurveyor(services.store.placeAccessPoint(plan.x, plan.y).notices, services.prompter,
                     services.sound);
        view.centreOnClientPoint(client, {p.x(), p.y()});
        setHorizontalBox();
        setVerticalBox();
        placingAp = false;
    } else {
        // The view moves so that the tapped spot is under the cursor; the point is taken
        // there.
        view.centreOnClientPoint(client, {p.x(), p.y()});
        setHorizontalBox();
        setVerticalBox();
        repaintNow();
        services.sound.PlayWave("ping");
        services.measurement.begin(view.centreX(), view.centreY(), kPointLabel);
        if (services.activateScanView) services.activateScanView();
    }
    repaintNow();
}

bool CSiteView::insideClient(QPoint p) const {
    const EdgeRect c = clientRect();
    return p.x() >= 0 && p.y() >= 0 && p.x() < c.right && p.y() < c.bottom;
}

void CSiteView::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (!insideClient(p)) return QWidget::mousePressEvent(event);
    if (event->button() == Qt::RightButton) {
        holdTimer.stop();
        pressPending = false;
        OnTapAndHold(p);
        return;
    }
    if (event->button() == Qt::MiddleButton && view.desktopMap()) {
        panFrom = p;
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        pressPoint = p;
        pressPending = true;
        holdTimer.start();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CSiteView::mouseMoveEvent(QMouseEvent* event) {
    if (panFrom) {
        // The plan follows the pointer.
        const QPoint p = event->position().toPoint();
        const QPoint moved = p - *panFrom;
        panFrom = p;
        clearNote();
        view.panMap(-moved.x(), -moved.y());
        setHorizontalBox();
        setVerticalBox();
        repaintNow();
        event->accept();
        return;
    }
    // A press that moves is not a hold, so it is a plain tap at the press point, taken when
    // the stylus lifts.
    if (pressPending && (event->position().toPoint() - pressPoint).manhattanLength() > kHoldSlop)
        holdTimer.stop();
    QWidget::mouseMoveEvent(event);
}

void CSiteView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton && panFrom) {
        panFrom.reset();
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton && pressPending) {
        pressPending = false;
        holdTimer.stop();
        OnTap(pressPoint);
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CSiteView::onHoldTimeout() {
    if (!pressPending) return;
    pressPending = false;
    OnTapAndHold(pressPoint);
}

// ---- joystick ----

bool CSiteView::OnKeyDown(int key) {
    clearNote();
    switch (key) {
    case Qt::Key_Left:
        moveMap(-kMapLineStep, 0, -kLineStep, 0);
        setHorizontalBox();
        break;
    case Qt::Key_Right:
        moveMap(kMapLineStep, 0, kLineStep, 0);
        setHorizontalBox();
        break;
    case Qt::Key_Up:
        moveMap(0, -kMapLineStep, 0, -kLineStep);
        setVerticalBox();
        break;
    case Qt::Key_Down:
        moveMap(0, kMapLineStep, 0, kLineStep);
        setVerticalBox();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The point is taken where the cursor already is; the board's sweep starts over.
        services.sound.PlayWave("ping");
        services.measurement.begin(view.centreX(), view.centreY(), kPointLabel,
                                   PointMeasurement::SweepStart::FromEntryOne);
        services.sound.MessageBeep();
        if (services.activateScanView) services.activateScanView();
        break;
    default:
        return false;
    }
    repaintNow();
    return true;
}

void CSiteView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_0 && (event->modifiers() & Qt::ControlModifier)) {
        clearNote();
        showWholePlan();
        event->accept();
        return;
    }
    if (services.walk && siteOpen && !(event->modifiers() & ~Qt::KeypadModifier) &&
        (event->key() == Qt::Key_W ||
         (event->key() == Qt::Key_Escape && services.walk->active()))) {
        toggleWalk();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_C &&
        !(event->modifiers() & ~Qt::ShiftModifier & ~Qt::KeypadModifier)) {
        if (event->modifiers() & Qt::ShiftModifier)
            onCommand(ID_COVERAGE_SETTINGS);
        else
            toggleCoverage();
        event->accept();
        return;
    }
    // Keys the view does not act on go on to the parent, as unhandled keys do.
    if (OnKeyDown(event->key()))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

// ---- the wheel (desktop map only) ----

void CSiteView::wheelEvent(QWheelEvent* event) {
    if (!view.desktopMap()) return QWidget::wheelEvent(event);
    const QPoint delta = event->angleDelta();
    clearNote();
    if (event->modifiers() & Qt::ControlModifier) {
        // A notch zooms by one step, about the spot under the pointer.
        const QPoint at = event->position().toPoint();
        view.zoomMapAbout(std::pow(CViewport::kZoomStep, double(delta.y()) / kWheelNotch),
                          clientRect(), {at.x(), at.y()});
    } else {
        // Shift turns the wheel across; a wheel that turns across on its own does too.
        const bool across = (event->modifiers() & Qt::ShiftModifier) || delta.y() == 0;
        const int turned = delta.y() != 0 ? delta.y() : delta.x();
        const int pixels = -turned * kWheelStep / kWheelNotch;
        view.panMap(across ? pixels : 0, across ? 0 : pixels);
    }
    setHorizontalBox();
    setVerticalBox();
    repaintNow();
    event->accept();
}

// ---- walking ----

void CSiteView::toggleWalk() {
    if (!services.walk) return;
    clearNote();
    if (services.walk->active()) {
        note = QString::fromStdString(walkEndedText(services.walk->end()));
    } else {
        placingAp = false;
        services.walk->arm();
    }
    repaintNow();
}

} // namespace walkmere
