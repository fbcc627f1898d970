#include "scan/ScanView.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <climits>

#include "scan/ScanPainter.h"

namespace walkmere {

CScanView::CScanView(PercentSource progressPercent, RecordsSource certifiedRecords, QWidget* parent)
    : QWidget(parent), percent(std::move(progressPercent)), records(std::move(certifiedRecords)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus); // for Escape
}

void CScanView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && cancel) {
        cancel();
        return;
    }
    const int page = scanRowsShown(height());
    switch (event->key()) {
    case Qt::Key_Up:
        return scrollBy(-1);
    case Qt::Key_Down:
        return scrollBy(1);
    case Qt::Key_PageUp:
        return scrollBy(-page);
    case Qt::Key_PageDown:
        return scrollBy(page);
    case Qt::Key_Home:
        return scrollBy(INT_MIN / 2);
    case Qt::Key_End:
        return scrollBy(INT_MAX / 2);
    default:
        QWidget::keyPressEvent(event);
    }
}

void CScanView::wheelEvent(QWheelEvent* event) {
    // One row a notch (120 eighths of a degree), three as desktops scroll lists.
    scrollBy(-event->angleDelta().y() / 40);
}

void CScanView::scrollBy(int rows) {
    const int count = records ? int(records().size()) : 0;
    const int last = std::max(0, count - scanRowsShown(height()));
    firstRow = std::clamp(firstRow + rows, 0, last);
    update();
}

QImage CScanView::composePicture(QSize size, int scale) const {
    if (!size.isValid()) size = this->size();
    const std::vector<ApRecord> certified = records ? records() : std::vector<ApRecord>{};
    return composeScanView(size, scale, percent ? percent() : 0, certified, firstRow);
}

void CScanView::paintEvent(QPaintEvent*) {
    QPainter screen(this);
    screen.drawImage(0, 0, composePicture(size(), deviceScaleFor(devicePixelRatioF())));
}

} // namespace walkmere
