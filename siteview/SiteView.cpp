#include "siteview/SiteView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

#include "siteview/SiteMapPainter.h"
#include "survey/SurveyStore.h"

namespace walkmere {

namespace {

SiteMapScene sceneOf(const CSiteView& v, const CViewport& viewport, const CSurveyStore& store,
                     const QImage& cursor) {
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
    s.cursor = &cursor;
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
    QWidget::resizeEvent(event);
}

QImage CSiteView::composePicture(QSize size) const {
    if (!size.isValid()) size = QSize(clientRect().width(), clientRect().height());
    QImage picture(size, QImage::Format_RGB32);
    paintSiteMap(picture, sceneOf(*this, view, services.store, cursorBitmap));
    return picture;
}

void CSiteView::paintEvent(QPaintEvent*) {
    const EdgeRect c = clientRect();
    const QSize client(c.width(), c.height());
    QPainter screen(this);
    if (!client.isEmpty()) {
        if (offscreen.size() != client) offscreen = QImage(client, QImage::Format_RGB32);
        paintSiteMap(offscreen, sceneOf(*this, view, services.store, cursorBitmap));
        screen.drawImage(0, 0, offscreen);
    }
    // The corner between the two bars.
    screen.fillRect(QRect(c.right, c.bottom, width() - c.right, height() - c.bottom),
                    palette().window());
}

} // namespace walkmere
