#pragma once

#include "sim/PlanSpot.h"
#include "sim/WalkerTimeline.h"

#include <functional>
#include <mutex>
#include <optional>

namespace walkmere::sim {

// Seconds on a monotonic clock, readable from any thread.
using SecondsClock = std::function<double()>;
double steadySeconds();

// Where the surveyor stands now, in plan pixels: set by the program's user-interface
// thread, read by the simulated board's thread.
//
// A scripted walker takes the place of the surveyor's own moves: the surveyor stands at the
// walk's first waypoint until the walk starts, and from then on is wherever the walk is at
// the seconds since, read from the clock at each get(). Nothing moves them behind the
// readers' backs, so no thread of its own is needed.
class SurveyorPosition {
public:
    explicit SurveyorPosition(PlanSpot start = {}) : spot(start) {}

    // The surveyor follows `walk` from now on; set() no longer moves them.
    void follow(WalkerTimeline walk, SecondsClock clock = steadySeconds);
    // The walk starts now; the first call only. Nothing without a walk.
    void startWalk();
    // A move of the surveyor's own: ignored while a walk is followed.
    void set(PlanSpot now);
    PlanSpot get() const;

private:
    mutable std::mutex lock;
    PlanSpot spot; // x and y set together: a reader never sees one of a move without the other
    std::optional<WalkerTimeline> walk;
    SecondsClock clock;
    std::optional<double> startedAt; // on the clock
};

} // namespace walkmere::sim
