#pragma once

#include <QFont>
#include <QFontMetrics>

#include <algorithm>

#include "ui/Fonts.h"

namespace walkmere {

// The dialogs' "System" 8-point face. The map's own font is drawn without antialiasing to
// keep its pixel layout; text in dialogs is smoothed as on any desktop.
inline QFont dialogFont() {
    QFont f = mapFont(8);
    f.setStyleStrategy(QFont::PreferDefault);
    return f;
}

// A dialog font's base units, worked out as Windows does: x is the average width of the 52
// letters of the alphabet, rounded to whole pixels, and y the font's height. A horizontal
// dialog unit is x / 4 pixels, a vertical one y / 8.
struct DialogBaseUnits {
    int x = 1;
    int y = 1;

    int toPixelsX(int dialogUnits) const { return dialogUnits * x / 4; }
    int toPixelsY(int dialogUnits) const { return dialogUnits * y / 8; }
};

inline DialogBaseUnits dialogBaseUnits(const QFont& font) {
    const QFontMetrics m(font);
    const int letters =
        m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {std::max(1, (letters / 26 + 1) / 2), std::max(1, m.height())};
}

} // namespace walkmere
