// The site view's input: commands, scroll bars, stylus and joystick.
#include "siteview/SiteView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>

#include "platform/Prompter.h"
#include "platform/Sound.h"
#include "siteview/LocationInfoDlg.h"
#include "siteview/SiteViewOpening.h"
#include "survey/PointMeasurement.h"
#include "survey/SurveyStore.h"
#include "survey/TellSurveyor.h"
#include "ui/CommandTarget.h"

namespace walkmere {

namespace {

constexpr int kLineStep = 10; // plan pixels per scroll-bar arrow or joystick step
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
    default:
        return false;
    }
}

void CSiteView::onCommand(int id) {
    switch (id) {
    case ID_FILE_OPEN_SITE:
        openSite();
        break;
    case ID_FILE_SAVE_SITE:
        if (saveSite) saveSite();
        break;
    case ID_ZOOM_IN:
        view.zoomIn();
        repaintNow();
        break;
    case ID_ZOOM_OUT:
        view.zoomOut();
        repaintNow();
        break;
    case ID_PLACE_ACCESS_POINT:
        placingAp = true;
        update();
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

void CSiteView::OnHScroll(int code, int thumbPosition) {
    const EdgeRect client = clientRect();
    switch (code) {
    case SB_LINELEFT:
        view.scrollLeft(kLineStep);
        break;
    case SB_LINERIGHT:
        view.scrollRight(kLineStep);
        break;
    case SB_PAGELEFT:
        view.scrollLeft(client.width());
        break;
    case SB_PAGERIGHT:
        view.scrollRight(client.width());
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
    const EdgeRect client = clientRect();
    switch (code) {
    case SB_LINEUP:
        view.scrollUp(kLineStep);
        break;
    case SB_LINEDOWN:
        view.scrollDown(kLineStep);
        break;
    case SB_PAGEUP:
        view.scrollUp(client.height());
        break;
    case SB_PAGEDOWN:
        view.scrollDown(client.height());
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
            CLocationInfoDlg dlg(services.store, services.prompter, services.sound, this);
            dlg.exec();
        }
        return;
    }
    services.prompter.showMessage(kNoPointInRangeText);
}

void CSiteView::OnTap(QPoint p) {
    const EdgeRect client = clientRect();
    if (placingAp) {
        // The tapped plan point itself, which may lie past the plan's edge.
        const IntPoint plan = view.clientToPlan(client, {p.x(), p.y()});
        tellSurveyor(services.store.placeAccessPoint(plan.x, plan.y).notices, services.prompter,
                     services.sound);
        view.centreOnClientPoint(client, {p.x(), p.y()});
        setHorizontalBox();
        setVerticalBox();
        placingAp = false;
    } else {
        // The view moves so that the tapped spot, clamped to the plan, is under the cursor;
        // the point is taken there.
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
    // A press that moves is not a hold, so it is a plain tap at the press point, taken when
    // the stylus lifts.
    if (pressPending && (event->position().toPoint() - pressPoint).manhattanLength() > kHoldSlop)
        holdTimer.stop();
    QWidget::mouseMoveEvent(event);
}

void CSiteView::mouseReleaseEvent(QMouseEvent* event) {
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
    switch (key) {
    case Qt::Key_Left:
        view.scrollLeft(kLineStep);
        setHorizontalBox();
        break;
    case Qt::Key_Right:
        view.scrollRight(kLineStep);
        setHorizontalBox();
        break;
    case Qt::Key_Up:
        view.scrollUp(kLineStep);
        setVerticalBox();
        break;
    case Qt::Key_Down:
        view.scrollDown(kLineStep);
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
    // Keys the view does not act on go on to the parent, as unhandled keys do.
    if (OnKeyDown(event->key()))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

} // namespace walkmere
