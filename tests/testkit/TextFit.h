#pragma once
// Whether a text a painter drew fits its rectangle whole.

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <sstream>
#include <string>

#include "ui/DrawnText.h"

namespace walkmere::textfit {

inline std::string describe(const QRect& r) {
    std::ostringstream s;
    s << "(" << r.left() << "," << r.top() << " " << r.width() << "x" << r.height() << ")";
    return s.str();
}

// What of the text would be cut by its rectangle; empty when nothing would. Both the font's
// layout box and the ink of the glyphs as Qt rasterises them, drawn unclipped with room
// around, must lie inside the rectangle.
inline std::string whereClipped(const DrawnText& t) {
    const QRect box(0, 0, t.rect.width(), t.rect.height());
    std::string out;
    const QRect layout = QFontMetrics(t.font).boundingRect(box, t.flags, t.text);
    if (!box.contains(layout)) out += "layout " + describe(layout) + " ";

    constexpr int kRoom = 40;
    QImage img(box.width() + 2 * kRoom, box.height() + 2 * kRoom, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        p.setFont(t.font);
        p.setPen(Qt::black);
        p.drawText(box.translated(kRoom, kRoom), t.flags | Qt::TextDontClip, t.text);
    }
    QRect ink;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != qRgb(255, 255, 255)) ink |= QRect(x - kRoom, y - kRoom, 1, 1);
    if (ink.isEmpty()) out += "no ink ";
    if (!box.contains(ink)) out += "ink " + describe(ink) + " ";
    if (!out.empty()) out += "in " + describe(box);
    return out;
}

} // namespace walkmere::textfit
