#pragma once

#include "platform/OwnedFd.h"
#include "sim/SurveyorPosition.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace walkmere {

// One line of walkmere-board's standard input under --simulate: "x y", where the surveyor
// stands in plan pixels (decimals allowed), on a plan `width` x `height` pixels. Nothing,
// with what is wrong in `error`, for anything else or a position off the plan.
std::optional<sim::PlanSpot> parseSurveyorLine(std::string_view line, int32_t width, int32_t height,
                                               std::string& error);

// Reads such lines from a descriptor in a thread of its own and says each position, or what
// is wrong with a line (with its number), as it comes. The end of the input ends the thread,
// and the last position stays.
class SurveyorInput {
public:
    using MoveSink = std::function<void(sim::PlanSpot)>;
    using ProblemSink = std::function<void(const std::string&)>;

    SurveyorInput(int fd, int32_t width, int32_t height, MoveSink onMove, ProblemSink onProblem);
    ~SurveyorInput();
    SurveyorInput(const SurveyorInput&) = delete;
    SurveyorInput& operator=(const SurveyorInput&) = delete;

    // False, with the system's reason, when the thread cannot be given its wake-up.
    bool start(std::string& error);
    // Ends the thread, also in the middle of a wait for input, and joins it.
    void stop();

private:
    void run();
    void take(const std::string& line);

    const int fd;
    const int32_t width, height;
    MoveSink onMove;
    ProblemSink onProblem;
    OwnedFd wake; // an eventfd: readable once stop() is called
    unsigned lineNumber = 0;
    std::thread worker;
};

} // namespace walkmere
