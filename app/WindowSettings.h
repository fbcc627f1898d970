#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

#include <optional>

class QWidget;

namespace walkmere {

// The window's size, position and UI scale, kept between runs in walkmere.ini in the data
// folder. Nothing else is kept: the Options values start from their defaults at every start.
struct WindowSettings {
    std::optional<QSize> size; // in the window's own (logical) pixels
    std::optional<QPoint> position;
    std::optional<int> scale;
};

QString windowSettingsPath();
// What the file holds; whatever is missing or makes no sense stays empty.
WindowSettings loadWindowSettings(const QString& path);
// False when the file could not be written (nothing is reported: the next run starts at
// the handheld's size).
bool saveWindowSettings(const QString& path, const WindowSettings& settings);

// Puts the window back where it was: the size (never below the window's minimum) and the
// position, unless no current screen would show the window's top-left corner.
void restoreWindowGeometry(QWidget& window, const WindowSettings& settings);
// The window's size and position now, with the scale the program runs at.
WindowSettings currentWindowGeometry(const QWidget& window, int scale);

} // namespace walkmere
