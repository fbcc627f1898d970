#include "screenshot/desktop.h"

#include "screenshot/xwd_image.h"
#include "testkit/TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace walkmere::screenshot {
namespace {

using namespace std::chrono_literals;

constexpr auto kServerStartLimit = 15s;
constexpr auto kToolLimit = 10s;

} // namespace

bool VirtualDisplay::start(const std::filesystem::path& log, std::string& error,
                           const std::string& size) {
    // Xvfb writes the display number it took to this pipe once it accepts connections, so
    // no number is guessed and no other server's display is ever touched.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = "no pipe for Xvfb";
        return false;
    }
    ::fcntl(fds[1], F_SETFD, 0); // the server inherits the write end
    Command c;
    c.argv = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
              "-screen",   "0",          size + "x24",
              "-nolisten", "tcp",        "-noreset"};
    c.outputFile = log;
    const bool started = server.start(c, error);
    ::close(fds[1]);
    if (!started) {
        ::close(fds[0]);
        return false;
    }

    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + kServerStartLimit;
    while (number.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buf[32];
        const ssize_t got = ::read(fds[0], buf, sizeof buf);
        if (got <= 0) break;
        number.append(buf, static_cast<size_t>(got));
    }
    ::close(fds[0]);
    const size_t end = number.find('\n');
    if (end == std::string::npos || end == 0) {
        error = "Xvfb did not report a display (see " + log.string() + ")";
        server.stop();
        return false;
    }
    number.erase(end); // the number without its newline
    display = ":" + number;
    return true;
}

int Desktop::xdotool(std::vector<std::string> args, std::string* output) const {
    Command c;
    c.argv = {"xdotool"};
    c.argv.insert(c.argv.end(), args.begin(), args.end());
    c.env["DISPLAY"] = display;
    return runCommand(c, kToolLimit, output);
}

std::vector<std::string> Desktop::findWindows(const std::string& namePattern) const {
    std::string out;
    xdotool({"search", "--onlyvisible", "--name", namePattern}, &out);
    std::vector<std::string> ids;
    std::istringstream lines(out);
    for (std::string id; lines >> id;)
        ids.push_back(id);
    return ids;
}

std::optional<WindowGeometry> Desktop::geometry(const std::string& window) const {
    std::string out;
    if (xdotool({"getwindowgeometry", "--shell", window}, &out) != 0) return std::nullopt;
    WindowGeometry g;
    int found = 0;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string name = line.substr(0, eq);
        const int value = std::atoi(line.c_str() + eq + 1);
        if (name == "X") g.x = value, ++found;
        if (name == "Y") g.y = value, ++found;
        if (name == "WIDTH") g.width = value, ++found;
        if (name == "HEIGHT") g.height = value, ++found;
    }
    if (found != 4) return std::nullopt;
    return g;
}

void Desktop::focus(const std::string& window) const {
    if (xdotool({"windowactivate", "--sync", window}) != 0)
        xdotool({"windowfocus", "--sync", window});
}

bool Desktop::click(const std::string& window, int x, int y) const {
    // A pixel off first: --sync waits for the pointer to move, which it never does when it
    // is already where the click goes (a second click on one spot).
    xdotool({"mousemove", "--window", window, std::to_string(x + 1), std::to_string(y + 1)});
    return xdotool({"mousemove", "--sync", "--window", window, std::to_string(x), std::to_string(y),
                    "click", "1"}) == 0;
}

bool Desktop::wheel(const std::string& window, int x, int y, int notches,
                    const std::string& modifier) const {
    focus(window);
    if (xdotool(
            {"mousemove", "--sync", "--window", window, std::to_string(x), std::to_string(y)}) != 0)
        return false;
    std::vector<std::string> args;
    if (!modifier.empty()) args = {"keydown", modifier};
    for (const std::string& a :
         {std::string("click"), std::string("--repeat"), std::to_string(std::abs(notches)),
          std::string("--delay"), std::string("20"), std::string(notches > 0 ? "4" : "5")})
        args.push_back(a);
    if (!modifier.empty()) {
        args.push_back("keyup");
        args.push_back(modifier);
    }
    return xdotool(args) == 0;
}

bool Desktop::key(const std::string& window, const std::string& keys, int times) const {
    // Through XTEST to the focused window: Qt ignores events sent straight to a window.
    focus(window);
    return xdotool({"key", "--clearmodifiers", "--repeat", std::to_string(times), "--delay", "5",
                    keys}) == 0;
}

bool Desktop::resize(const std::string& window, int width, int height) const {
    return xdotool({"windowsize", "--sync", window, std::to_string(width),
                    std::to_string(height)}) == 0;
}

bool Desktop::type(const std::string& window, const std::string& text) const {
    focus(window);
    return xdotool({"type", "--delay", "30", text}) == 0;
}

QImage Desktop::capture(const std::string& window, const std::filesystem::path& scratch,
                        std::string& error) const {
    std::error_code ignored;
    std::filesystem::remove(scratch, ignored);
    Command c;
    c.argv = {"xwd", "-silent", "-id", window, "-out", scratch.string()};
    c.env["DISPLAY"] = display;
    if (runCommand(c, kToolLimit) != 0) {
        error = "xwd failed on window " + window;
        return {};
    }
    return decodeXwd(testkit::readFileBytes(scratch), error);
}

} // namespace walkmere::screenshot
