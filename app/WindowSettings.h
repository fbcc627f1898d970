#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

#include <optional>

class QWidget;

namespace walkmere {

// The window's size, position and UI scale, kept between runs in walkmere.ini in the data
// folder, in the INI layout QSettings wrote for earlier versions. Nothing else is kept: the
// Options values start from their defaults at every start.
//
// Size and position are in screen (device) pixels, so that a run at another scale gets the
// same window on the screen, not one the scale times larger.
struct WindowSettings {
    std::optional<QSize> size;
    std::optional<QPoint> position;
    std::optional<int> scale;
};

QString windowSettingsPath();
// What the file holds; whatever is missing or makes no sense stays empty, and so does all
// of it when the file is not a regular file (or a link to one) or cannot be read. Earlier
// versions kept the window's own pixels (size, position): those are taken times the file's
// scale (1 when it names none), which is where that window was on the screen.
WindowSettings loadWindowSettings(const QString& path);
// Writes a new file beside the old one and renames it into place; through a symbolic link
// the file it leads to is replaced and the link stays. A device, FIFO, socket or folder in
// the way is left as it is. False when nothing was written (nothing is reported: the next
// run starts at the handheld's size).
bool saveWindowSettings(const QString& path, const WindowSettings& settings);

// Puts the window back where it was, within what one screen shows: on the screen that shows
// the remembered corner (else the one the window is on), no larger than its available area
// (and never below the window's minimum) and moved in so that the screen shows the whole
// window where it can. Nothing is restored when no screen is known.
void restoreWindowGeometry(QWidget& window, const WindowSettings& settings);
// The window's size and position now in screen pixels, with the scale the program runs at.
WindowSettings currentWindowGeometry(const QWidget& window, int scale);

} // namespace walkmere
