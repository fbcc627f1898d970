#include "scan/ScanPainter.h"

#include <QPainter>

#include <algorithm>

#include "siteview/DrawBitmapResource.h"
#include "siteview/SiteMapPainter.h"

namespace walkmere {

namespace {

constexpr int kPanelBitmap = 141;
const QColor kOlive{128, 128, 64};
const QColor kYellow{255, 255, 0};

constexpr int kBarLeft = 9, kBarTop = 9, kBarHeight = 12, kBarWidth = 222;
constexpr int kFirstRow = 30, kRowHeight = 15, kBottomMargin = 20;

struct Cell {
    int left;
    int right;
};
constexpr Cell kChannelCell{10, 25}, kMacCell{30, 110}, kSsidCell{120, 190}, kRssiCell{200, 230};

void drawCell(QPainter& p, const Cell& c, int top, const QString& text) {
    // Left- and top-aligned; Qt clips text that overflows its rectangle.
    p.drawText(QRect(c.left, top, c.right - c.left, kRowHeight), Qt::AlignLeft | Qt::AlignTop,
               text);
}

} // namespace

int progressBarWidth(int progressPercent) {
    return std::clamp(progressPercent, 0, 100) * kBarWidth / 100;
}

void paintScanView(QImage& target, int progressPercent, std::span<const ApRecord> certified) {
    if (target.format() != QImage::Format_RGB32) {
        target = QImage(target.size(), QImage::Format_RGB32);
    }
    if (target.isNull()) return;
    QPainter p(&target);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(target.rect(), kOlive);
    p.setFont(mapFont(8));
    drawBitmapResource(p, kPanelBitmap, 0, 0, 240, 268);

    const int barWidth = progressBarWidth(progressPercent);
    if (barWidth > 0) p.fillRect(QRect(kBarLeft, kBarTop, barWidth, kBarHeight), kYellow);

    const bool past = progressPercent >= 50;
    p.setPen(past ? kOlive : kYellow);
    p.setBackground(past ? kYellow : kOlive);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.drawText(QRect(9, 9, 231 - 9, 21 - 9), Qt::AlignHCenter | Qt::AlignTop,
               QStringLiteral("%1%").arg(progressPercent));

    p.setPen(kYellow);
    p.setBackground(kOlive);
    const int stopBelow = target.height() - kBottomMargin;
    int y = kFirstRow;
    for (const ApRecord& r : certified) {
        drawCell(p, kChannelCell, y, QString::number(r.channel()));
        drawCell(p, kMacCell, y, QString::fromLatin1(r.macText()));
        drawCell(p, kSsidCell, y, QString::fromLatin1(r.ssid()));
        drawCell(p, kRssiCell, y, QString::number(r.rssi()));
        y += kRowHeight;
        if (y > stopBelow) break;
    }
}

} // namespace walkmere
