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
#include <climits>
#include <cstdlib>
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
//   screen_position=@Point(X Y)
//   screen_size=@Size(W H)
//   size=@Size(W H)
// position and size are the window's own pixels, which earlier versions wrote and read;
// screen_position and screen_size are screen pixels, which earlier versions pass over.
constexpr std::string_view kSection = "[window]";
constexpr std::string_view kSizeKey = "size";
constexpr std::string_view kPositionKey = "position";
constexpr std::string_view kScreenSizeKey = "screen_size";
constexpr std::string_view kScreenPositionKey = "screen_position";
constexpr std::string_view kScaleKey = "scale";

// What the file says, before the window's own pixels are turned into screen pixels.
struct FileValues {
    WindowSettings screen;
    std::optional<QSize> ownSize;
    std::optional<QPoint> ownPosition;
};

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

std::optional<QSize> sizeValue(std::string_view value) {
    const auto wh = numberPair(value, "@Size(");
    if (!wh || wh->first <= 0 || wh->second <= 0) return std::nullopt;
    return QSize(wh->first, wh->second);
}

std::optional<QPoint> pointValue(std::string_view value) {
    const auto xy = numberPair(value, "@Point(");
    if (!xy) return std::nullopt;
    return QPoint(xy->first, xy->second);
}

void takeValue(FileValues& s, std::string_view key, std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    if (key == kScreenSizeKey) {
        if (const auto size = sizeValue(value)) s.screen.size = size;
    } else if (key == kScreenPositionKey) {
        if (const auto point = pointValue(value)) s.screen.position = point;
    } else if (key == kSizeKey) {
        if (const auto size = sizeValue(value)) s.ownSize = size;
    } else if (key == kPositionKey) {
        if (const auto point = pointValue(value)) s.ownPosition = point;
    } else if (key == kScaleKey) {
        const auto n = wholeNumber(value);
        if (n && *n >= 1 && *n <= UiScale::kMax) s.screen.scale = *n;
    }
}

// An earlier version's window showed each of its own pixels as scale x scale screen pixels.
// Values too large to be multiplied are left out, as nonsense.
WindowSettings inScreenPixels(const FileValues& s) {
    WindowSettings screen = s.screen;
    const int scale = s.screen.scale.value_or(1);
    const auto fits = [scale](int v) { return std::abs(v) <= INT_MAX / scale; };
    if (!screen.size && s.ownSize && fits(s.ownSize->width()) && fits(s.ownSize->height()))
        screen.size = *s.ownSize * scale;
    if (!screen.position && s.ownPosition && fits(s.ownPosition->x()) && fits(s.ownPosition->y()))
        screen.position = *s.ownPosition * scale;
    return screen;
}

WindowSettings parsed(std::string_view text) {
    FileValues s;
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
    return inScreenPixels(s);
}

std::string formatted(const WindowSettings& s) {
    std::string text(kSection);
    text += '\n';
    if (s.position)
        text += std::string(kScreenPositionKey) + "=@Point(" + std::to_string(s.position->x()) +
                ' ' + std::to_string(s.position->y()) + ")\n";
    if (s.scale) text += std::string(kScaleKey) + '=' + std::to_string(*s.scale) + '\n';
    if (s.size)
        text += std::string(kScreenSizeKey) + "=@Size(" + std::to_string(s.size->width()) + ' ' +
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
    // The screen that shows the remembered corner, else the one the window is on; a position
    // left from a screen that is no longer there would hide the window.
    const QScreen* screen = nullptr;
    QPoint position = window.pos();
    for (const QScreen* candidate : QGuiApplication::screens()) {
        if (!settings.position) break;
        const QPoint own = *settings.position / candidate->devicePixelRatio();
        if (!candidate->availableGeometry().contains(own)) continue;
        screen = candidate;
        position = own;
        break;
    }
    if (!screen) screen = window.screen();
    // Without a screen to measure against nothing remembered can be trusted.
    if (!screen || screen->availableGeometry().isEmpty()) return;
    const QRect area = screen->availableGeometry();
    if (settings.size) {
        // Larger than the screen can show, a window is only a black picture.
        const QSize own = (QSizeF(*settings.size) / screen->devicePixelRatio()).toSize();
        window.resize(own.boundedTo(area.size()).expandedTo(window.minimumSizeHint()));
    }
    // Moved in so that the screen shows the window whole where it can.
    const int x = std::max(area.left(), std::min(position.x(), area.right() + 1 - window.width()));
    const int y = std::max(area.top(), std::min(position.y(), area.bottom() + 1 - window.height()));
    window.move(x, y);
}

WindowSettings currentWindowGeometry(const QWidget& window, int scale) {
    const qreal ratio = window.devicePixelRatioF();
    WindowSettings s;
    s.size = (QSizeF(window.size()) * ratio).toSize();
    s.position = (QPointF(window.pos()) * ratio).toPoint();
    s.scale = scale;
    return s;
}

} // namespace walkmere
