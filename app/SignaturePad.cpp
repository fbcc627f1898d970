#include "app/SignaturePad.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTabletEvent>
#include <QTouchEvent>

namespace walkmere {

namespace {

// Index 0 is white, index 1 black, as in a QBitmap.
constexpr int kWhiteIndex = 0;
const QColor kInk = Qt::black;

QPen signaturePen() {
    return QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace

CSignaturePad::CSignaturePad(QSize visibleSize, QWidget* parent)
    : QWidget(parent), signature(kWidth, kHeight, QImage::Format_MonoLSB),
      visible(QRect(QPoint(0, 0), visibleSize.boundedTo(QSize(kWidth, kMaxVisibleHeight)))) {
    signature.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    signature.fill(kWhiteIndex);
    setFixedSize(visible.size());
    setAttribute(Qt::WA_AcceptTouchEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
}

bool CSignaturePad::IsBlankPixel(int x, int y) const {
    if (!signature.valid(x, y)) return true;
    return (signature.pixel(x, y) & 0xFFFFFF) != 0;
}

void CSignaturePad::ClearSignature() {
    QPainter p(&signature);
    p.fillRect(visible, Qt::white);
    p.end();
    update();
}

void CSignaturePad::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, signature);
    // The outermost ring shows the pad's edge, as the handheld's pad left it unpainted.
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(0, 0, width() - 1, height() - 1);
}

// ---- strokes ----

void CSignaturePad::startStroke(QPoint at) {
    stroking = true;
    drawingPosition = at;
    // A tap without movement leaves a dot of the pen's size; the painter clips it.
    QPainter p(&signature);
    p.setClipRect(visible);
    p.fillRect(QRect(at.x() - 1, at.y() - 1, 2, 2), kInk);
    p.end();
    update();
}

void CSignaturePad::continueStroke(QPoint to) {
    if (!stroking) return;
    QPainter p(&signature);
    p.setClipRect(visible); // no ink where the surveyor cannot see it
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(signaturePen());
    p.drawLine(drawingPosition, to);
    p.end();
    drawingPosition = to;
    update();
}

void CSignaturePad::endStroke() {
    stroking = false;
}

// ---- mouse ----

void CSignaturePad::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    startStroke(event->position().toPoint());
    event->accept();
}

void CSignaturePad::mouseMoveEvent(QMouseEvent* event) {
    continueStroke(event->position().toPoint());
    event->accept();
}

void CSignaturePad::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    continueStroke(event->position().toPoint());
    endStroke();
    event->accept();
}

// ---- stylus ----

// Accepted tablet events are not repeated as mouse events, so nothing is drawn twice.
void CSignaturePad::tabletEvent(QTabletEvent* event) {
    const QPoint at = event->position().toPoint();
    switch (event->type()) {
    case QEvent::TabletPress:
        startStroke(at);
        break;
    case QEvent::TabletMove:
        continueStroke(at); // hovering moves arrive without a stroke and draw nothing
        break;
    case QEvent::TabletRelease:
        continueStroke(at);
        endStroke();
        break;
    default:
        return QWidget::tabletEvent(event);
    }
    event->accept();
}

// ---- touch screen ----

bool CSignaturePad::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        return touchEvent(static_cast<QTouchEvent*>(event));
    default:
        return QWidget::event(event);
    }
}

bool CSignaturePad::touchEvent(QTouchEvent* event) {
    event->accept();
    if (event->type() == QEvent::TouchCancel) {
        endStroke();
        touchId = -1;
        return true;
    }
    if (event->type() == QEvent::TouchBegin && !event->points().isEmpty()) {
        const QEventPoint& first = event->points().first();
        touchId = first.id();
        startStroke(first.position().toPoint());
        return true;
    }
    for (const QEventPoint& point : event->points()) {
        if (point.id() != touchId) continue;
        continueStroke(point.position().toPoint());
        if (point.state() == QEventPoint::Released) {
            endStroke();
            touchId = -1;
        }
        break;
    }
    if (event->type() == QEvent::TouchEnd) {
        endStroke();
        touchId = -1;
    }
    return true;
}

} // namespace walkmere
