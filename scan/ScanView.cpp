#include "scan/ScanView.h"

#include <QKeyEvent>
#include <QPainter>

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
    QWidget::keyPressEvent(event);
}

QImage CScanView::composePicture(QSize size, int scale) const {
    if (!size.isValid()) size = this->size();
    const std::vector<ApRecord> certified = records ? records() : std::vector<ApRecord>{};
    return composeScanView(size, scale, percent ? percent() : 0, certified);
}

void CScanView::paintEvent(QPaintEvent*) {
    QPainter screen(this);
    screen.drawImage(0, 0, composePicture(size(), deviceScaleFor(devicePixelRatioF())));
}

} // namespace walkmere
