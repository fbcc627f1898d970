#pragma once

#include "sim/PlanSpot.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace walkmere::sim {

// Where a scripted walker is at a time: seconds from the start of the walk, and a position in
// plan pixels as the site model writes its access points (x to the right, y down).
struct Waypoint {
    double seconds = 0;
    double x = 0;
    double y = 0;
};

// A scripted walk over the plan, a timeline of waypoints from 0 s on in rising time. Between
// two waypoints the walker goes straight at an even pace; before the first they stand at it,
// after the last they stay there.
class WalkerTimeline {
public:
    // `waypoints` as parseWalkerTimeline accepts them: at least one, the first at 0 s, the
    // times rising.
    explicit WalkerTimeline(std::vector<Waypoint> waypoints) : stops(std::move(waypoints)) {}

    PlanSpot at(double seconds) const;
    const std::vector<Waypoint>& waypoints() const { return stops; }

private:
    std::vector<Waypoint> stops;
};

// The largest walker file read, and the most waypoints it may hold.
inline constexpr size_t kMaxWalkerBytes = 1 << 20;
inline constexpr size_t kMaxWaypoints = 10000;

// Reads a walk from JSON text:
//   {"version": 1, "walk": [{"t": 0, "x": 150, "y": 130}, {"t": 3.5, "x": 80, "y": 130}]}
// Nothing, with "KEY: reason" in `error`, for a walk that is damaged: bad JSON, a key given
// twice, a missing, mistyped or unknown key, no waypoint, a first time other than 0, a time
// not after the one before, numbers out of range.
std::optional<WalkerTimeline> parseWalkerTimeline(std::string_view json, std::string& error);
// The same from a file, a regular one of at most kMaxWalkerBytes. The error starts with the
// file's name as given.
std::optional<WalkerTimeline> loadWalkerTimeline(const std::string& path, std::string& error);
// "" when every waypoint lies on a plan of `width` x `height` pixels, else the first that
// does not: "walk[3].x: 812 is off the plan (0 to 800 pixels, its width)".
std::string walkOffPlan(const WalkerTimeline& walk, int32_t width, int32_t height);

} // namespace walkmere::sim
