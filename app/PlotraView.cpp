#include "app/PlotraView.h"

#include "platform/Sound.h"
#include "scan/BoardProtocol.h"
#include "ui/DrawBitmapResource.h"
#include "ui/ScaledPicture.h"

#include <QFont>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <cstdio>
#include <string>

namespace walkmere {

namespace {

constexpr int kStartupPicture = 144;

// The board's strings are 8-bit text: formatted as such and widened byte for byte, as the
// other views show them, whatever bytes the board sent.
QString boardText(const char* format, const std::string& value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value.c_str());
    return QString::fromLatin1(text);
}

} // namespace

CPlotraView::CPlotraView(const CBoardProtocol& b, ISoundPlayer& s, QWidget* parent)
    : QWidget(parent), board(b), sound(s) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPlotraView::render(QImage& target) const {
    TextLayer atOnce;
    paint(target, atOnce);
}

QImage CPlotraView::composePicture(QSize size, int scale) const {
    return composeScaled(size, scale,
                         [this](QImage& logical, TextLayer& texts) { paint(logical, texts); });
}

void CPlotraView::paint(QImage& target, TextLayer& texts) const {
    QPainter p(&target);
    p.fillRect(target.rect(), Qt::white);
    drawBitmapResource(p, kStartupPicture, 0, 0, 240, 270);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(16); // Arial 12 points at 96 dpi
    p.setFont(font);
    const QString firmware = boardText("(Firmware %s)", board.getFirmwareVersion());
    const QString serial = boardText("(SN %s)", board.getSerialNumber());
    texts.draw(p, QRect(0, 153, 240, 20), Qt::AlignHCenter | Qt::AlignTop, firmware, Qt::black,
               QColor(Qt::white));
    texts.draw(p, QRect(0, 183, 240, 20), Qt::AlignHCenter | Qt::AlignTop, serial, Qt::black,
               QColor(Qt::white));
}

void CPlotraView::paintEvent(QPaintEvent*) {
    QPainter(this).drawImage(0, 0, composePicture(size(), deviceScaleFor(devicePixelRatioF())));
}

void CPlotraView::mousePressEvent(QMouseEvent* e) {
    sound.MessageBeep();
    emit tapped();
    QWidget::mousePressEvent(e);
}

} // namespace walkmere
