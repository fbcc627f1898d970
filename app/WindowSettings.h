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
struct WindowSettings {
    std::optional<QSize> size; // in the window's own (logical) pixels
    std::optional<QPoint> position;
    std::optional<int> scale;
};

QString windowSettingsPath();
// What the file holds; whatever is missing or makes no sense stays empty, and so does all
// of it when the file is not a regular file (or a link to one) or cannot be read.
WindowSettings loadWindowSettings(const QString& path);
// Writes a new file beside the old one and renames it into place; through a symbolic link
// the file it leads to is replaced and the link stays. A device, FIFO, socket or folder in
// the way is left as it is. False when nothing was written (nothing is reported: the next
// run starts at the handheld's size).
bool saveWindowSettings(const QString& path, const WindowSettings& settings);

// Puts the window back where it was, within what the screens show: the size no larger than
// their available area (and never below the window's minimum); the position only when a
// screen shows that corner, moved in so that the screen shows the whole window where it can.
// Nothing is restored when no screen is known.
void restoreWindowGeometry(QWidget& window, const WindowSettings& settings);
// The window's size and position now, with the scale the program runs at.
WindowSettings currentWindowGeometry(const QWidget& window, int scale);

} // namespace walkmere
