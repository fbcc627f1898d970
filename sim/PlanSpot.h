#pragma once

namespace walkmere::sim {

// A position on the plan, in plan pixels.
struct PlanSpot {
    double x = 0;
    double y = 0;
};

} // namespace walkmere::sim
