#include "app/RssiLegend.h"

#include <QFontMetrics>
#include <QPainter>

#include "coverage/RssiColour.h"
#include "ui/Fonts.h"

namespace walkmere {
namespace {

constexpr int kWeakest = -100;
constexpr int kStrongestDrawn = -21; // -20 itself is white and has no strip
constexpr int kStripTop = 20;
constexpr int kStripWidth = 2;
constexpr int kStripHeight = 15;

// The area the strips cover, as GDI's (left, top)-(right, bottom) with exclusive right/bottom.
// One line, as DrawText draws it: without TextSingleLine Qt breaks "-100" after its minus
// sign when the label is wider than its box, and the box does not clip, as DT_NOCLIP.
constexpr int kOneLine = Qt::TextSingleLine | Qt::TextDontClip;

constexpr int kFrameLeft = 40, kFrameTop = 20, kFrameRight = 200, kFrameBottom = 35;

QRect edges(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

// A one-pixel frame on the rectangle's outermost pixels, as FrameRect draws it with a brush:
// it never reaches past right - 1 or bottom - 1.
void frameRect(QPainter& p, const QRect& r, const QColor& colour) {
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
}

// "-100" ends at x = 30 with only 30 pixels to the window's left edge. The handheld's bitmap
// face fitted there; a wider face would lose its minus sign past the edge, so the label's
// font steps down until the whole label fits.
void drawLabelEndingAt(QPainter& p, const QRect& r, const QString& text) {
    const QFont previous = p.font();
    QFont f = previous;
    while (f.pixelSize() > 6 && QFontMetrics(f).horizontalAdvance(text) > r.right() + 1) {
        f.setPixelSize(f.pixelSize() - 1);
    }
    p.setFont(f);
    p.drawText(r, kOneLine | Qt::AlignRight | Qt::AlignVCenter, text);
    p.setFont(previous);
}

} // namespace

void DrawRssiLegend(QPainter& p) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setFont(mapFont(10));

    for (int v = kWeakest; v <= kStrongestDrawn; ++v) {
        const Rgb c = rssiColour(static_cast<int16_t>(v));
        p.fillRect(QRect(2 * (v + 120), kStripTop, kStripWidth, kStripHeight),
                   QColor(c.r, c.g, c.b));
    }
    frameRect(p, edges(kFrameLeft, kFrameTop, kFrameRight, kFrameBottom), Qt::black);

    p.setPen(Qt::black);
    p.setBackground(Qt::white);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.drawText(edges(0, 0, 240, 15), kOneLine | Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("RSSI Colors (dBm)"));
    p.drawText(edges(210, 20, 235, 35), kOneLine | Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("-20"));
    drawLabelEndingAt(p, edges(5, 20, 30, 35), QStringLiteral("-100"));

    p.restore();
}

} // namespace walkmere
