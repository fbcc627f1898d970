#include "scan/ScanPainter.h"

#include <QPainter>

#include <algorithm>
#include <vector>

#include "ui/DrawBitmapResource.h"
#include "ui/Fonts.h"

namespace walkmere {

namespace {

constexpr int kPanelBitmap = 141;
const QColor kOlive{128, 128, 64};
const QColor kYellow{255, 255, 0};

constexpr int kBarLeft = 9, kBarTop = 9, kBarHeight = 12, kBarWidth = 222;
constexpr int kFirstRow = 30, kRowHeight = 15, kBottomMargin = 20;
// The panel's size; a taller picture is a desktop form.
constexpr int kPanelWidth = 240, kPanelHeight = 268;
// The panel's frame, as the taller picture stretches it: the top (with the bar's slot) and
// the bottom edge as they are, one plain row of the sides repeated between them.
constexpr int kPanelTopRows = 30, kPanelBottomRows = 3, kPanelPlainRow = 100;

struct Cell {
    int left;
    int right;
};
constexpr Cell kChannelCell{10, 25}, kMacCell{30, 110}, kSsidCell{120, 190}, kRssiCell{200, 230};
// The taller desktop form also names each row's band, at the end of the SSID's cell.
constexpr Cell kTallSsidCell{120, 172}, kBandCell{174, 198};

// "2.4G", "5G" or "6G": the band of a row, from the mark a 6 GHz record carries and else
// from its channel number.
QString bandText(const ApRecord& r) {
    if (r.sixGhz()) return QStringLiteral("6G");
    const int channel = r.channel();
    if (channel >= 1 && channel <= 14) return QStringLiteral("2.4G");
    if (channel >= 32 && channel <= 177) return QStringLiteral("5G");
    return QStringLiteral("?");
}

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

// The panel stretched down to the picture's height, so that its frame holds every row drawn.
void drawTallPanel(QPainter& p, int height) {
    const QImage panel = loadBitmapResource(kPanelBitmap);
    if (panel.size() != QSize(kPanelWidth, kPanelHeight)) return;
    p.drawImage(QPoint(0, 0), panel, QRect(0, 0, kPanelWidth, kPanelTopRows));
    for (int y = kPanelTopRows; y < height - kPanelBottomRows; ++y)
        p.drawImage(QPoint(0, y), panel, QRect(0, kPanelPlainRow, kPanelWidth, 1));
    p.drawImage(QPoint(0, height - kPanelBottomRows), panel,
                QRect(0, kPanelHeight - kPanelBottomRows, kPanelWidth, kPanelBottomRows));
}

} // namespace

int scanRowsShown(int height) {
    // Rows start while they start above the bottom margin (the first always).
    return std::max(1, (height - kBottomMargin - kFirstRow) / kRowHeight + 1);
}

int progressBarWidth(int progressPercent) {
    return std::clamp(progressPercent, 0, 100) * kBarWidth / 100;
}

void paintScanView(QImage& target, int progressPercent, std::span<const ApRecord> certified,
                   DrawnTexts* drawnTexts, TextLayer* layer, int firstRow) {
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
    const bool tall = target.height() > kPanelHeight;
    if (tall)
        drawTallPanel(p, target.height());
    else
        drawBitmapResource(p, kPanelBitmap, 0, 0, kPanelWidth, kPanelHeight);

    const int barWidth = progressBarWidth(progressPercent);
    if (barWidth > 0) p.fillRect(QRect(kBarLeft, kBarTop, barWidth, kBarHeight), kYellow);

    const bool past = progressPercent >= 50;
    texts.draw(p, QRect(9, 9, 231 - 9, 21 - 9), Qt::AlignHCenter | Qt::AlignTop,
               QString::asprintf("%d%%", progressPercent), past ? kOlive : kYellow,
               past ? kYellow : kOlive);

    // The handheld's screen shows the table's order from its first row; a taller picture
    // shows the strongest first, from the row it is scrolled to.
    std::vector<ApRecord> rows(certified.begin(), certified.end());
    if (tall) {
        std::stable_sort(rows.begin(), rows.end(),
                         [](const ApRecord& a, const ApRecord& b) { return a.rssi() > b.rssi(); });
        const int shown = scanRowsShown(target.height());
        const int last = std::max(0, int(rows.size()) - shown);
        rows.erase(rows.begin(), rows.begin() + std::clamp(firstRow, 0, last));
    }
    const int stopBelow = target.height() - kBottomMargin;
    int y = kFirstRow;
    const QFont rowFont = narrowMapFont(kRowPoints), channelFont = narrowMapFont(kChannelPoints);
    for (const ApRecord& r : rows) {
        p.setFont(channelFont);
        // A 6 GHz channel is drawn olive on yellow: its number alone would pass for a 2.4 GHz
        // one, and the handheld's 15-pixel cell has no room for a band.
        drawCell(p, texts, kChannelCell, y, QString::number(r.channel()), r.sixGhz());
        p.setFont(rowFont);
        drawCell(p, texts, kMacCell, y, QString::fromLatin1(r.macText()));
        drawCell(p, texts, tall ? kTallSsidCell : kSsidCell, y, QString::fromLatin1(r.ssid()));
        if (tall) drawCell(p, texts, kBandCell, y, bandText(r));
        drawCell(p, texts, kRssiCell, y, QString::number(r.rssi()));
        y += kRowHeight;
        if (y > stopBelow) break;
    }
}

QImage composeScanView(QSize size, int scale, int progressPercent,
                       std::span<const ApRecord> certified, int firstRow) {
    return composeScaled(size, scale, [&](QImage& logical, TextLayer& texts) {
        paintScanView(logical, progressPercent, certified, nullptr, &texts, firstRow);
    });
}

} // namespace walkmere
