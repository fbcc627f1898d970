#include "scan/ScanPainter.h"

#include <QPainter>

#include <algorithm>

#include "ui/DrawBitmapResource.h"
#include "ui/Fonts.h"

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

// The row texts in the narrow face, so that the widest channel ("165"), MAC and RSSI ("-100")
// fit their cells whole; the channel cell is only 15 pixels wide and takes a smaller size.
// SSIDs are still clipped at their cell: 32 characters never fit.
constexpr int kRowPoints = 8, kChannelPoints = 6;

void drawCell(QPainter& p, TextLayer& texts, const Cell& c, int top, const QString& text,
              bool inverted = false) {
    // Left- and top-aligned; Qt clips text that overflows its rectangle.
    texts.draw(p, QRect(c.left, top, c.right - c.left, kRowHeight), Qt::AlignLeft | Qt::AlignTop,
               text, inverted ? kOlive : kYellow, inverted ? kYellow : kOlive);
}

} // namespace

int progressBarWidth(int progressPercent) {
    return std::clamp(progressPercent, 0, 100) * kBarWidth / 100;
}

void paintScanView(QImage& target, int progressPercent, std::span<const ApRecord> certified,
                   DrawnTexts* drawnTexts, TextLayer* layer) {
    if (target.format() != QImage::Format_RGB32) {
        target = QImage(target.size(), QImage::Format_RGB32);
    }
    if (target.isNull()) return;
    TextLayer atOnce(drawnTexts);
    TextLayer& texts = layer ? *layer : atOnce;
    QPainter p(&target);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(target.rect(), kOlive);
    p.setFont(mapFont(8));
    drawBitmapResource(p, kPanelBitmap, 0, 0, 240, 268);

    const int barWidth = progressBarWidth(progressPercent);
    if (barWidth > 0) p.fillRect(QRect(kBarLeft, kBarTop, barWidth, kBarHeight), kYellow);

    const bool past = progressPercent >= 50;
    texts.draw(p, QRect(9, 9, 231 - 9, 21 - 9), Qt::AlignHCenter | Qt::AlignTop,
               QString::asprintf("%d%%", progressPercent), past ? kOlive : kYellow,
               past ? kYellow : kOlive);

    const int stopBelow = target.height() - kBottomMargin;
    int y = kFirstRow;
    const QFont rowFont = narrowMapFont(kRowPoints), channelFont = narrowMapFont(kChannelPoints);
    for (const ApRecord& r : certified) {
        p.setFont(channelFont);
        // A 6 GHz channel is drawn olive on yellow: its number alone would pass for a 2.4 GHz
        // one, and the handheld's 15-pixel cell has no room for a band.
        drawCell(p, texts, kChannelCell, y, QString::number(r.channel()), r.sixGhz());
        p.setFont(rowFont);
        drawCell(p, texts, kMacCell, y, QString::fromLatin1(r.macText()));
        drawCell(p, texts, kSsidCell, y, QString::fromLatin1(r.ssid()));
        drawCell(p, texts, kRssiCell, y, QString::number(r.rssi()));
        y += kRowHeight;
        if (y > stopBelow) break;
    }
}

QImage composeScanView(QSize size, int scale, int progressPercent,
                       std::span<const ApRecord> certified) {
    return composeScaled(size, scale, [&](QImage& logical, TextLayer& texts) {
        paintScanView(logical, progressPercent, certified, nullptr, &texts);
    });
}

} // namespace walkmere
