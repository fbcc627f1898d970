#include "screenshot/program_session.h"

#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

namespace walkmere::screenshot {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

namespace {

// The caption of the question whether to keep the points a site already holds.
const std::string kQuestionCaption = "^Kivo$";
// Where a person clicks: the Options button (the seventh, a gear, on the 25-pixel grid of
// the command bar) and, in the Options dialog, the decertify-time field, counted from the
// dialog's right edge.
constexpr QPoint kOptionsButton(16 + 6 * 25, 15);
constexpr int kDecertifyFieldFromRight = 90, kDecertifyFieldY = 141;

bool columnIsGreen(const QImage& img, int x, int top, int bottom) {
    for (int y = top; y < bottom; ++y)
        if (img.pixel(x, y) != kStatusGreen) return false;
    return true;
}

bool rowStartIsGreen(const QImage& img, int y, int left) {
    for (int x = left; x < left + kTextLeft; ++x)
        if (img.pixel(x, y) != kStatusGreen) return false;
    return true;
}

} // namespace

std::optional<ViewArea> findSiteView(const QImage& img, std::string& why) {
    ViewArea v;
    const int probeX = 5;
    v.top = -1;
    for (int y = 0; y < img.height() && v.top < 0; ++y)
        if (img.pixel(probeX, y) == kRulerYellow) v.top = y;
    if (v.top < 0) {
        why = "no ruler band";
        return std::nullopt;
    }
    for (int x = probeX; x >= 0 && img.pixel(x, v.top) == kRulerYellow; --x)
        v.left = x;

    // Runs of rows whose first 25 pixels are status green; there must be exactly one, 13 high.
    std::vector<std::pair<int, int>> runs;
    for (int y = v.top; y < img.height(); ++y) {
        if (!rowStartIsGreen(img, y, v.left)) continue;
        if (!runs.empty() && runs.back().second == y)
            ++runs.back().second;
        else
            runs.push_back({y, y + 1});
    }
    if (runs.size() != 1) {
        why = std::to_string(runs.size()) + " green bands";
        return std::nullopt;
    }
    if (runs[0].second - runs[0].first != kBandHeight) {
        why = "the green band is " + std::to_string(runs[0].second - runs[0].first) + " rows high";
        return std::nullopt;
    }
    v.bottom = runs[0].second;
    // The band's right end: the last column that is green from top to bottom of the band.
    v.right = -1;
    for (int x = img.width() - 1; x >= v.left && v.right < 0; --x)
        if (columnIsGreen(img, x, v.bandTop(), v.bottom)) v.right = x + 1;
    return v;
}

Blob findColour(const QImage& img, QRgb colour, const QRect& area) {
    Blob b;
    const QRect r = area & img.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixel(x, y) == colour) {
                ++b.count;
                b.box = b.box.isNull() ? QRect(x, y, 1, 1) : b.box.united(QRect(x, y, 1, 1));
            }
    return b;
}

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

bool ProgramSession::startDisplay(std::string& error, const std::string& size) {
    if (!display.start(dir / "xvfb.log", error, size)) return false;
    desk.emplace(display.name());
    return true;
}

bool ProgramSession::startBoard(const std::string& scenario, std::string& error) {
    { std::ofstream(dir / "scenario.txt") << scenario; }
    port = dir / "board-port";
    Command c;
    c.argv = {WALKMERE_BOARD_PROGRAM, "--scenario", (dir / "scenario.txt").string(), "--link",
              port.string()};
    c.outputFile = dir / "board.log";
    if (!board.start(c, error)) return false;
    if (waitFor(5s, [&] { return fs::exists(port); })) return true;
    error = "the board made no port link";
    return false;
}

bool ProgramSession::startProgram(const fs::path& site, std::string& error,
                                  const std::vector<std::string>& boardArgs) {
    fs::create_directories(dir / "home");
    fs::create_directories(dir / "runtime");
    fs::permissions(dir / "runtime", fs::perms::owner_all);
    Command c;
    c.argv = {WALKMERE_PROGRAM};
    if (boardArgs.empty())
        c.argv.insert(c.argv.end(), {"--port", port.string()});
    else
        c.argv.insert(c.argv.end(), boardArgs.begin(), boardArgs.end());
    c.argv.push_back(site.string());
    c.env = {{"DISPLAY", display.name()},
             {"QT_QPA_PLATFORM", "xcb"},
             {"WALKMERE_HOME", (dir / "home").string()},
             {"XDG_RUNTIME_DIR", (dir / "runtime").string()}};
    c.outputFile = dir / "walkmere.log";
    if (!prog.start(c, error)) return false;
    const bool found = waitFor(20s, [&] {
        if (!prog.running()) return false;
        const auto ids = desk->findWindows("^Plotra$");
        if (!ids.empty()) window = ids.front();
        return !ids.empty();
    });
    if (!found) {
        error = "no main window";
        return false;
    }
    desk->focus(window);
    return true;
}

bool ProgramSession::showSiteView(std::chrono::milliseconds limit,
                                  const std::function<bool(const QImage&, std::string&)>& shown,
                                  QImage& last, int& questions, std::string& why) {
    const auto frame = desk->geometry(window);
    if (!frame) {
        why = "the main window has no geometry";
        return false;
    }
    // A click that came before the window took input is made again, but only after long
    // enough that it cannot land on the site view as a tap.
    auto lastClick = SteadyClock::time_point{};
    questions = 0;
    return waitFor(limit, [&] {
        if (SteadyClock::now() - lastClick > 3s) {
            desk->click(window, frame->width / 2, frame->height / 2);
            lastClick = SteadyClock::now();
            std::this_thread::sleep_for(300ms);
        }
        for (const std::string& box : desk->findWindows(kQuestionCaption)) {
            desk->key(box, "Return");
            ++questions;
        }
        if (questions == 0 || !desk->findWindows(kQuestionCaption).empty()) {
            why = "the question whether to keep the points was not seen";
            return false;
        }
        desk->focus(window);
        last = capture(why);
        return !last.isNull() && shown(last, why);
    });
}

bool ProgramSession::setDecertifyTime(const std::string& value, std::string& why) {
    desk->click(window, kOptionsButton.x(), kOptionsButton.y());
    std::string dialog;
    if (!waitFor(5s, [&] {
            const auto ids = desk->findWindows("^Options$");
            if (!ids.empty()) dialog = ids.front();
            return !dialog.empty();
        })) {
        why = "the Options button opened no dialog";
        return false;
    }
    const auto g = desk->geometry(dialog);
    if (!g) {
        why = "the Options dialog has no geometry";
        return false;
    }
    desk->click(dialog, g->width - kDecertifyFieldFromRight, kDecertifyFieldY);
    desk->key(dialog, "ctrl+a");
    desk->type(dialog, value);
    desk->key(dialog, "Return");
    const bool closed = waitFor(5s, [&] { return desk->findWindows("^Options$").empty(); });
    if (!closed) why = "the Options dialog refused the decertify time " + value;
    desk->focus(window);
    return closed;
}

QImage ProgramSession::capture(std::string& error) {
    return desk->capture(window, dir / "window.xwd", error);
}

void ProgramSession::keepLogs(const fs::path& artifacts, const std::string& prefix) const {
    for (const char* name : {"xvfb.log", "board.log", "walkmere.log"}) {
        std::error_code ignored;
        fs::copy_file(dir / name, artifacts / (prefix + name), fs::copy_options::overwrite_existing,
                      ignored);
    }
}

} // namespace walkmere::screenshot
