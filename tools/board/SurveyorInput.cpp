#include "tools/board/SurveyorInput.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace walkmere {

namespace {

// A line longer than this is not a position: it is said and skipped to its end.
constexpr size_t kMaxLine = 200;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view skipBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

// The number at the start of `text`, which then starts after it.
std::optional<double> takeNumber(std::string_view& text) {
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
    text.remove_prefix(size_t(end - text.data()));
    return value;
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

} // namespace

std::optional<sim::PlanSpot> parseSurveyorLine(std::string_view line, int32_t width, int32_t height,
                                               std::string& error) {
    std::string_view rest = skipBlanks(line);
    const std::optional<double> x = takeNumber(rest);
    const bool apart = !rest.empty() && isBlank(rest.front());
    rest = skipBlanks(rest);
    const std::optional<double> y = apart ? takeNumber(rest) : std::nullopt;
    if (!x || !y || !skipBlanks(rest).empty()) {
        error = quoted(line) + " is not a position 'x y' in plan pixels";
        return std::nullopt;
    }
    if (*x < 0 || *x > width || *y < 0 || *y > height) {
        error = quoted(line) + " is off the plan (0 to " + std::to_string(width) + " by 0 to " +
                std::to_string(height) + " pixels)";
        return std::nullopt;
    }
    return sim::PlanSpot{*x, *y};
}

SurveyorInput::SurveyorInput(int fd, int32_t width, int32_t height, MoveSink onMove,
                             ProblemSink onProblem)
    : fd(fd), width(width), height(height), onMove(std::move(onMove)),
      onProblem(std::move(onProblem)) {}

SurveyorInput::~SurveyorInput() {
    stop();
}

bool SurveyorInput::start(std::string& error) {
    wake = OwnedFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.valid()) {
        error = std::string("cannot make an eventfd: ") + std::strerror(errno);
        return false;
    }
    worker = std::thread([this] { run(); });
    return true;
}

void SurveyorInput::stop() {
    if (!worker.joinable()) return;
    const uint64_t one = 1;
    (void)!::write(wake.get(), &one, sizeof one);
    worker.join();
}

void SurveyorInput::run() {
    std::string line;
    bool overlong = false; // the line has grown past kMaxLine: the rest of it is dropped
    char buffer[4096];
    for (;;) {
        pollfd p[2] = {{fd, POLLIN, 0}, {wake.get(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (p[1].revents) return;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break; // the end of the input, or one that cannot be read
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                if (line.size() < kMaxLine)
                    line += buffer[i];
                else
                    overlong = true;
                continue;
            }
            if (overlong) line += "...";
            take(line);
            line.clear();
            overlong = false;
        }
    }
    if (!line.empty()) take(line); // the last line, without its newline
}

void SurveyorInput::take(const std::string& line) {
    ++lineNumber;
    if (skipBlanks(line).empty()) return;
    std::string error;
    if (const std::optional<sim::PlanSpot> spot = parseSurveyorLine(line, width, height, error))
        onMove(*spot);
    else
        onProblem("standard input line " + std::to_string(lineNumber) + ": " + error);
}

} // namespace walkmere
