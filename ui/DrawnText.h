#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include <vector>

namespace walkmere {

// One text a painter drew: the string, the rectangle and alignment flags it was drawn into,
// and its font. The painters append each text they draw to an optional list of these, so the
// exact texts and places can be checked; without a list nothing is kept.
struct DrawnText {
    QString text;
    QRect rect;
    int flags = 0;
    QFont font;
};

using DrawnTexts = std::vector<DrawnText>;

} // namespace walkmere
