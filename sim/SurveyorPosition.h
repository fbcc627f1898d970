#pragma once

#include <mutex>

namespace walkmere::sim {

// A position on the plan, in plan pixels.
struct PlanSpot {
    double x = 0;
    double y = 0;
};

// Where the surveyor stands now, in plan pixels: set by the program's user-interface
// thread, read by the simulated board's thread.
class SurveyorPosition {
public:
    explicit SurveyorPosition(PlanSpot start = {}) : spot(start) {}
    void set(PlanSpot now) {
        std::lock_guard<std::mutex> guard(lock);
        spot = now;
    }
    PlanSpot get() const {
        std::lock_guard<std::mutex> guard(lock);
        return spot;
    }

private:
    mutable std::mutex lock;
    PlanSpot spot; // x and y set together: a reader never sees one of a move without the other
};

} // namespace walkmere::sim
