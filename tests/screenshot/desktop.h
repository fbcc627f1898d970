#pragma once

#include "screenshot/child_process.h"

#include <QImage>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace walkmere::screenshot {

// A private X server (Xvfb) on a display number it picks itself, ended with the object.
class VirtualDisplay {
public:
    // Starts `Xvfb -displayfd` with one screen of `size` ("1024x768") at 24 bits; its output
    // goes to `log`.
    bool start(const std::filesystem::path& log, std::string& error,
               const std::string& size = "1024x768");
    const std::string& name() const { return display; } // ":N"

private:
    ChildProcess server;
    std::string display;
};

struct WindowGeometry {
    int x = 0, y = 0, width = 0, height = 0;
};

// The desktop as a person at the display would use it: finds windows, clicks, types and
// takes pictures through xdotool and xwd.
class Desktop {
public:
    explicit Desktop(std::string display) : display(std::move(display)) {}

    // Visible windows whose name matches the regular expression, as xdotool's ids.
    std::vector<std::string> findWindows(const std::string& namePattern) const;
    std::optional<WindowGeometry> geometry(const std::string& window) const;
    // Gives the window the keyboard: windowactivate needs a window manager, which Xvfb alone
    // has not, so the plain focus call stands in then.
    void focus(const std::string& window) const;
    // Moves the pointer to (x, y) in the window and presses and releases button 1.
    bool click(const std::string& window, int x, int y) const;
    // Turns the wheel `notches` times at (x, y) in the window, away from the user (up) for a
    // positive count, with `modifier` ("ctrl", or "" for none) held.
    bool wheel(const std::string& window, int x, int y, int notches,
               const std::string& modifier = "") const;
    // Presses `keys` (xdotool's names: "Return", "ctrl+a") `times` times over.
    bool key(const std::string& window, const std::string& keys, int times = 1) const;
    // Resizes the window as a window manager would at the user's drag.
    bool resize(const std::string& window, int width, int height) const;
    bool type(const std::string& window, const std::string& text) const;
    // The window's pixels now; a null image, with a reason, when xwd or its file fail.
    QImage capture(const std::string& window, const std::filesystem::path& scratch,
                   std::string& error) const;

private:
    int xdotool(std::vector<std::string> args, std::string* output = nullptr) const;
    std::string display;
};

} // namespace walkmere::screenshot
