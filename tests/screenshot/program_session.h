#pragma once
// The whole program on a private X server as the screenshot tests run it: Xvfb, the stand-in
// board on a pseudo-terminal link, the program on a site, its main window, the start-up view
// tapped until the site view shows; and where the site view lies in a picture of the window.

#include "screenshot/child_process.h"
#include "screenshot/desktop.h"

#include <QImage>
#include <QRect>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace walkmere::screenshot {

// The status line: a band of this green across the bottom 13 pixels of the site view; the
// rulers' yellow at its top-left corner.
inline constexpr QRgb kStatusGreen = qRgb(0, 192, 0);
inline constexpr int kBandHeight = 13;
inline constexpr int kTextLeft = 25; // the status text starts 25 pixels in
inline constexpr QRgb kRulerYellow = qRgb(255, 255, 0);

// Where the site view sits in the window's picture, found from what it draws: the vertical
// ruler's yellow band at its top-left corner and the green status band at its bottom.
struct ViewArea {
    int left = 0, top = 0, right = 0, bottom = 0;
    int bandTop() const { return bottom - kBandHeight; }
    // Where the survey cursor is drawn: the middle of the client area.
    QPoint centre() const { return {left + (right - left) / 2, top + (bottom - top) / 2}; }
};

// The site view with its status line, or why it is not there.
std::optional<ViewArea> findSiteView(const QImage& img, std::string& why);

struct Blob {
    int count = 0;
    QRect box;
};

// Pixels of exactly `colour` inside `area`, and the rectangle around them.
Blob findColour(const QImage& img, QRgb colour, const QRect& area);

// The value of an environment variable, or `fallback` when it is unset or empty.
std::string envOr(const char* name, const std::string& fallback);

// Xvfb, the board and the program, with their logs, port link, home and runtime folders in
// `dir`. They end with the object: program, board, X.
class ProgramSession {
public:
    explicit ProgramSession(std::filesystem::path dir) : dir(std::move(dir)) {}

    bool startDisplay(std::string& error, const std::string& size = "1024x768");
    // walkmere-board playing `scenario` (the text of a scenario file) on a link in `dir`.
    bool startBoard(const std::string& scenario, std::string& error);
    // walkmere on `site` with the board's port, or with `board` instead when it is given (such
    // as --simulate MODEL); true once its main window is there.
    bool startProgram(const std::filesystem::path& site, std::string& error,
                      const std::vector<std::string>& board = {});

    // Taps the start-up view until the site view shows: the question whether to keep the
    // points is answered with Return (its default, Yes) each time it comes, and from the
    // first answer on, pictures of the window are taken until `shown` holds for one. `last`
    // is the last picture; `questions` counts the answers.
    bool showSiteView(std::chrono::milliseconds limit,
                      const std::function<bool(const QImage&, std::string& why)>& shown,
                      QImage& last, int& questions, std::string& why);

    // Opens Options from the command bar, types `value` into the decertify-time field and
    // closes the dialog with OK (Return). False, with why, when the dialog did not open or
    // refused the value.
    bool setDecertifyTime(const std::string& value, std::string& why);

    // A picture of the main window; a null image, with a reason, when it failed.
    QImage capture(std::string& error);
    // Copies xvfb.log, board.log and walkmere.log to `artifacts` as <prefix><name>.
    void keepLogs(const std::filesystem::path& artifacts, const std::string& prefix) const;

    // The link the board serves on, for a program started with arguments of its own.
    const std::filesystem::path& boardPort() const { return port; }
    Desktop& desktop() { return *desk; }
    ChildProcess& program() { return prog; }
    const std::string& mainWindow() const { return window; }

private:
    std::filesystem::path dir;
    std::filesystem::path port;
    // Declared in start order, so that they end the other way round: program, board, X.
    VirtualDisplay display;
    ChildProcess board;
    ChildProcess prog;
    std::optional<Desktop> desk;
    std::string window;
};

} // namespace walkmere::screenshot
