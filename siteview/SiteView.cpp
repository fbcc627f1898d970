#include "siteview/SiteView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

#include "coverage/PlanScale.h"
#include "siteview/SiteMapPainter.h"
#include "survey/SurveyStore.h"
#include "survey/WalkSession.h"

namespace walkmere {

namespace {

SiteMapScene sceneOf(const CSiteView& v, const CViewport& viewport, const CSurveyStore& store,
                     const QImage& cursor, const QString& note, const CoverageLayer& coverage,
                     const WalkSession* walk) {
    SiteMapScene s;
    s.viewport = &viewport;
    s.points = store.index();
    s.locationCount = store.locationCount();
    s.readingTotal = store.readingTotal();
    s.noApHeard = store.noApHeard();
    s.placingAp = v.placingAp;
    s.siteOpen = v.siteOpen;
    s.floorPlan = &v.floorPlan;
    s.pixelsPerUnitX = store.header().pixelsPerUnitX();
    s.pixelsPerUnitY = store.header().pixelsPerUnitY();
    s.calibrated = siteScale(store.header()).has_value();
    s.unit = v.mapUnit;
    s.cursor = &cursor;
    s.statusNote = note;
    if (walk && walk->active()) {
        s.walking = true;
        for (const WalkTap& tap : walk->taps())
            s.walkTaps.push_back({tap.x, tap.y});
        s.walkStatus = QString::fromStdString(walkSegmentText(walk->segmentSamples()));
    }
    if (viewport.desktopMap() && coverage.shown() && !coverage.colouredPlan().isNull()) {
        s.floorPlan = &coverage.colouredPlan();
        s.coverageLegend = &coverage.legend();
        s.locatedAps = coverage.locatedAps();
    }
    return s;
}

} // namespace

CSiteView::CSiteView(CViewport& viewport, const SiteViewServices& deps, QWidget* parent)
    : QWidget(parent), view(viewport), services(deps), cursorBitmap(siteCursorImage()),
      hBar(new QScrollBar(Qt::Horizontal, this)), vBar(new QScrollBar(Qt::Vertical, this)) {
    // Every pixel is painted from the off-screen picture; Qt need not erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // The bars take no focus: the arrow keys belong to the map.
    hBar->setFocusPolicy(Qt::NoFocus);
    vBar->setFocusPolicy(Qt::NoFocus);
    hBar->setRange(0, 0);
    vBar->setRange(0, 0);
    connectScrollBars();
    holdTimer.setSingleShot(true);
    holdTimer.setInterval(kHoldMilliseconds);
    connect(&holdTimer, &QTimer::timeout, this, [this] { onHoldTimeout(); });
    placeScrollBars();
}

QSize CSiteView::scrollBarExtent() const {
    return {vBar->sizeHint().width(), hBar->sizeHint().height()};
}

EdgeRect CSiteView::clientRect() const {
    const QSize bars = scrollBarExtent();
    return {0, 0, std::max(0, width() - bars.width()), std::max(0, height() - bars.height())};
}

void CSiteView::placeScrollBars() {
    const EdgeRect c = clientRect();
    hBar->setGeometry(0, c.bottom, c.right, height() - c.bottom);
    vBar->setGeometry(c.right, 0, width() - c.right, c.bottom);
}

void CSiteView::resizeEvent(QResizeEvent* event) {
    placeScrollBars();
    if (siteOpen) syncForm();
    QWidget::resizeEvent(event);
}

int32_t CSiteView::initialViewSide() const {
    const EdgeRect c = clientRect();
    const QSize from = handheldClient.value_or(QSize(c.width(), c.height()));
    return std::min(from.width(), from.height());
}

bool CSiteView::desktopForm() const {
    if (!handheldClient) return false;
    const EdgeRect c = clientRect();
    return QSize(c.width(), c.height()) != *handheldClient ||
           deviceScaleFor(devicePixelRatioF()) > 1;
}

void CSiteView::syncForm(bool siteJustOpened) {
    const bool wasDesktop = view.desktopMap();
    if (!desktopForm()) {
        view.endDesktopMap();
    } else if (siteJustOpened || !view.desktopMap()) {
        view.beginDesktopMap();
        if (siteJustOpened) view.showWholePlan(clientRect());
    }
    setHorizontalBox();
    setVerticalBox();
    if (view.desktopMap() != wasDesktop) emit formChanged(view.desktopMap());
}

void CSiteView::showWholePlan() {
    if (!view.desktopMap()) return;
    view.showWholePlan(clientRect());
    setHorizontalBox();
    setVerticalBox();
    repaintNow();
}

const CoverageLayer& CSiteView::coverageLayer() const {
    if (view.desktopMap() && siteOpen) coverage.sync(floorPlan, services.store, mapUnit);
    return coverage;
}

QImage CSiteView::composePicture(QSize size, int scale) const {
    if (!size.isValid()) size = QSize(clientRect().width(), clientRect().height());
    return composeSiteMap(
        size, scale,
        sceneOf(*this, view, services.store, cursorBitmap, note, coverageLayer(), services.walk));
}

void CSiteView::paintEvent(QPaintEvent*) {
    const EdgeRect c = clientRect();
    const QSize client(c.width(), c.height());
    QPainter screen(this);
    if (!client.isEmpty()) {
        // Composed at the screen's whole-number scale, so lines and bitmaps are blocks of
        // device pixels and texts are drawn at device resolution.
        screen.drawImage(0, 0, composePicture(client, deviceScaleFor(devicePixelRatioF())));
    }
    // The corner between the two bars.
    screen.fillRect(QRect(c.right, c.bottom, width() - c.right, height() - c.bottom),
                    palette().window());
}

} // namespace walkmere
