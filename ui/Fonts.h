#pragma once

#include <QFont>

#include <initializer_list>

namespace walkmere {

// The handheld's "System" and "Arial" faces: DejaVu Sans at `points` points at 96 dpi,
// drawn without antialiasing.
QFont mapFont(int points);

// For texts that must fit boxes the handheld sized for its own narrow system font (the scan
// view's cells, the site view's status line and banners): DejaVu Sans Condensed at `points`
// points, without antialiasing.
QFont narrowMapFont(int points);

// The first of `families` that is really installed, at `pixelSize`: fontconfig answers any
// name with some face, so the face it gives is checked. When none is installed, DejaVu Sans
// narrowed by Qt to a semi-condensed width, about as wide as the condensed faces.
QFont installedFont(std::initializer_list<const char*> families, int pixelSize);

} // namespace walkmere
