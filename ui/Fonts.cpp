#include "ui/Fonts.h"

#include <QFontInfo>

#include <algorithm>

namespace walkmere {

namespace {

int pixelsOf(int points) {
    return std::max(1, (points * 96 + 36) / 72);
}

QFont unsmoothed(QFont f) {
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

} // namespace

QFont installedFont(std::initializer_list<const char*> families, int pixelSize) {
    for (const char* family : families) {
        QFont f(QString::fromLatin1(family));
        f.setPixelSize(pixelSize);
        if (QFontInfo(f).family().compare(QLatin1String(family), Qt::CaseInsensitive) == 0)
            return f;
    }
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setStretch(QFont::SemiCondensed);
    return f;
}

QFont mapFont(int points) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelsOf(points));
    return unsmoothed(f);
}

QFont narrowMapFont(int points) {
    // Resolved once: the installed faces do not change while the program runs.
    static const QFont face = installedFont({"DejaVu Sans Condensed"}, 11);
    QFont f = face;
    f.setPixelSize(pixelsOf(points));
    return unsmoothed(f);
}

} // namespace walkmere
