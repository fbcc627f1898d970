#include "app/WindowSettings.h"

#include "app/CommandLine.h"
#include "platform/DataFolder.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <filesystem>
#include <system_error>

namespace walkmere {

namespace {

constexpr const char* kSizeKey = "window/size";
constexpr const char* kPositionKey = "window/position";
constexpr const char* kScaleKey = "window/scale";

bool onSomeScreen(const QPoint& topLeft) {
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().contains(topLeft)) return true;
    return false;
}

} // namespace

QString windowSettingsPath() {
    return QString::fromStdString((dataFolder() / "walkmere.ini").string());
}

WindowSettings loadWindowSettings(const QString& path) {
    QSettings file(path, QSettings::IniFormat);
    WindowSettings s;
    const QSize size = file.value(kSizeKey).toSize();
    if (size.isValid() && !size.isEmpty()) s.size = size;
    const QVariant position = file.value(kPositionKey);
    if (position.canConvert<QPoint>() && position.isValid()) s.position = position.toPoint();
    bool ok = false;
    const int scale = file.value(kScaleKey).toInt(&ok);
    if (ok && scale >= 1 && scale <= UiScale::kMax) s.scale = scale;
    return s;
}

bool saveWindowSettings(const QString& path, const WindowSettings& settings) {
    std::error_code noFolder;
    std::filesystem::create_directories(std::filesystem::path(path.toStdString()).parent_path(),
                                        noFolder);
    QSettings file(path, QSettings::IniFormat);
    if (settings.size) file.setValue(kSizeKey, *settings.size);
    if (settings.position) file.setValue(kPositionKey, *settings.position);
    if (settings.scale) file.setValue(kScaleKey, *settings.scale);
    file.sync();
    return file.status() == QSettings::NoError;
}

void restoreWindowGeometry(QWidget& window, const WindowSettings& settings) {
    if (settings.size) window.resize(settings.size->expandedTo(window.minimumSizeHint()));
    // A position left from a screen that is no longer there would hide the window.
    if (settings.position && onSomeScreen(*settings.position)) window.move(*settings.position);
}

WindowSettings currentWindowGeometry(const QWidget& window, int scale) {
    WindowSettings s;
    s.size = window.size();
    s.position = window.pos();
    s.scale = scale;
    return s;
}

} // namespace walkmere
