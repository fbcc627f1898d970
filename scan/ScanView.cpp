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

QImage CScanView::composePicture(QSize size) const {
    if (!size.isValid()) size = this->size();
    QImage picture(size, QImage::Format_RGB32);
    const std::vector<ApRecord> certified = records ? records() : std::vector<ApRecord>{};
    paintScanView(picture, percent ? percent() : 0, certified);
    return picture;
}

void CScanView::paintEvent(QPaintEvent*) {
    if (offscreen.size() != size()) offscreen = QImage(size(), QImage::Format_RGB32);
    const std::vector<ApRecord> certified = records ? records() : std::vector<ApRecord>{};
    paintScanView(offscreen, percent ? percent() : 0, certified);
    QPainter screen(this);
    screen.drawImage(0, 0, offscreen);
}

} // namespace walkmere
