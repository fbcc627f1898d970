#include "app/WindowSettings.h"

#include "app/CommandLine.h"
#include "platform/DataFolder.h"
#include "platform/RegularFile.h"
#include "survey/FileOps.h"
#include "survey/TempFile.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <charconv>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace walkmere {

namespace {

// The file is a few dozen bytes; whatever lies past this is not read.
constexpr size_t kMaxFileBytes = 64 * 1024;

// The layout QSettings gave the file in earlier versions, kept so that both can read it:
//   [window]
//   position=@Point(X Y)
//   scale=N
//   size=@Size(W H)
constexpr std::string_view kSection = "[window]";
constexpr std::string_view kSizeKey = "size";
constexpr std::string_view kPositionKey = "position";
constexpr std::string_view kScaleKey = "scale";

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::optional<int> wholeNumber(std::string_view s) {
    int value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
    return value;
}

// "@Size(W H)" and "@Point(X Y)": two whole numbers in QSettings' wrapping.
std::optional<std::pair<int, int>> numberPair(std::string_view value, std::string_view type) {
    if (!value.starts_with(type) || !value.ends_with(')')) return std::nullopt;
    value = value.substr(type.size(), value.size() - type.size() - 1);
    const size_t space = value.find(' ');
    if (space == std::string_view::npos) return std::nullopt;
    const auto first = wholeNumber(value.substr(0, space));
    const auto second = wholeNumber(value.substr(space + 1));
    if (!first || !second) return std::nullopt;
    return std::pair{*first, *second};
}

void takeValue(WindowSettings& s, std::string_view key, std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    if (key == kSizeKey) {
        const auto wh = numberPair(value, "@Size(");
        if (wh && wh->first > 0 && wh->second > 0) s.size = QSize(wh->first, wh->second);
    } else if (key == kPositionKey) {
        if (const auto xy = numberPair(value, "@Point("))
            s.position = QPoint(xy->first, xy->second);
    } else if (key == kScaleKey) {
        const auto n = wholeNumber(value);
        if (n && *n >= 1 && *n <= UiScale::kMax) s.scale = *n;
    }
}

WindowSettings parsed(std::string_view text) {
    WindowSettings s;
    bool inWindow = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            inWindow = line == kSection;
            continue;
        }
        const size_t equals = line.find('=');
        if (!inWindow || equals == std::string_view::npos) continue;
        takeValue(s, trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
    }
    return s;
}

std::string formatted(const WindowSettings& s) {
    std::string text(kSection);
    text += '\n';
    if (s.position)
        text += std::string(kPositionKey) + "=@Point(" + std::to_string(s.position->x()) + ' ' +
                std::to_string(s.position->y()) + ")\n";
    if (s.scale) text += std::string(kScaleKey) + '=' + std::to_string(*s.scale) + '\n';
    if (s.size)
        text += std::string(kSizeKey) + "=@Size(" + std::to_string(s.size->width()) + ' ' +
                std::to_string(s.size->height()) + ")\n";
    return text;
}

} // namespace

QString windowSettingsPath() {
    return QString::fromStdString((dataFolder() / "walkmere.ini").string());
}

WindowSettings loadWindowSettings(const QString& path) {
    // Only a regular file (or a link to one) is read: a FIFO would hold the start for ever.
    const RegularFileOpening file = openRegularFile(path.toStdString(), O_RDONLY);
    if (!file.fd.valid()) return {};
    std::string text(kMaxFileBytes, '\0');
    const ssize_t n = readUpTo(file.fd.get(), text.data(), text.size(), 0);
    if (n < 0) return {};
    text.resize(static_cast<size_t>(n));
    return parsed(text);
}

bool saveWindowSettings(const QString& path, const WindowSettings& settings) {
    const std::string file = path.toStdString();
    std::error_code noFolder;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), noFolder);
    // A link leads to the file that gets the new content; a device, FIFO or socket in the
    // way is left alone, never replaced.
    const ReplaceTarget target = resolveReplaceTarget(file);
    if (!target.problem.empty()) return false;
    TempFile temp;
    if (temp.createBeside(target.path, "new") != 0) return false;
    const std::string text = formatted(settings);
    if (writeAllAt(temp.descriptor(), text.data(), text.size(), 0) != 0) return false;
    return temp.commitAs(target.path) == 0;
}

void restoreWindowGeometry(QWidget& window, const WindowSettings& settings) {
    QRect desktop;
    for (const QScreen* screen : QGuiApplication::screens())
        desktop |= screen->availableGeometry();
    // Without a screen to measure against nothing remembered can be trusted.
    if (desktop.isEmpty()) return;
    if (settings.size) {
        // Larger than the screens can show, a window is only a black picture.
        const QSize size = settings.size->boundedTo(desktop.size());
        window.resize(size.expandedTo(window.minimumSizeHint()));
    }
    if (!settings.position) return;
    // A position left from a screen that is no longer there would hide the window; one near
    // a screen's edge is pulled in so that the screen shows the window whole where it can.
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        if (!area.contains(*settings.position)) continue;
        const int x = std::max(area.left(), std::min(settings.position->x(),
                                                     area.left() + area.width() - window.width()));
        const int y = std::max(area.top(), std::min(settings.position->y(),
                                                    area.top() + area.height() - window.height()));
        window.move(x, y);
        return;
    }
}

WindowSettings currentWindowGeometry(const QWidget& window, int scale) {
    WindowSettings s;
    s.size = window.size();
    s.position = window.pos();
    s.scale = scale;
    return s;
}

} // namespace walkmere
