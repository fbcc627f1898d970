#include "siteview/SiteView.h"

#include <QPaintEvent>
#include <QPainter>

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

CSiteView::CSiteView(CViewport& viewport, const CSurveyStore& store, QWidget* parent)
    : QWidget(parent), view(viewport), survey(store), cursorBitmap(siteCursorImage()) {
    // Every pixel is painted from the off-screen picture; Qt need not erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

QImage CSiteView::composePicture(QSize size) const {
    if (!size.isValid()) size = this->size();
    QImage picture(size, QImage::Format_RGB32);
    paintSiteMap(picture, sceneOf(*this, view, survey, cursorBitmap));
    return picture;
}

void CSiteView::paintEvent(QPaintEvent*) {
    if (offscreen.size() != size()) offscreen = QImage(size(), QImage::Format_RGB32);
    paintSiteMap(offscreen, sceneOf(*this, view, survey, cursorBitmap));
    QPainter screen(this);
    screen.drawImage(0, 0, offscreen);
}

} // namespace walkmere
