#include "sim/WalkerTimeline.h"

#include "platform/StrictJson.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace walkmere::sim {

namespace {

using Json = nlohmann::json;

// A day of walking; positions as wide as a site model's.
constexpr double kLongestWalkSeconds = 86400;
constexpr double kFarthestPixel = 1e9;

WalkerTimeline readWalk(const Json& root) {
    if (!root.is_object())
        refuseJson("", std::string("a walk is a JSON object, not ") + jsonKind(root));
    JsonObjectReader top(root, "", "a walk", {"version", "walk"});
    if (const Json* v = top.optional("version"); v && !(v->is_number_integer() && *v == 1))
        refuseJson("version", v->dump() + " is not a version read here (1)");
    const Json& list = jsonArray(top.required("walk"), "walk");
    if (list.empty()) refuseJson("walk", "a walk needs at least one waypoint");
    if (list.size() > kMaxWaypoints)
        refuseJson("walk", std::to_string(list.size()) + " waypoints, more than the " +
                               std::to_string(kMaxWaypoints) + " a walk may have");
    std::vector<Waypoint> stops;
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string path = jsonElementPath("walk", i);
        JsonObjectReader stop(list[i], path, "a waypoint", {"t", "x", "y"});
        Waypoint w;
        w.seconds = jsonNumber(stop.required("t"), stop.at("t"), 0, kLongestWalkSeconds, "s");
        if (i == 0 && w.seconds != 0)
            refuseJson(stop.at("t"), jsonLimitText(w.seconds) + ": the walk starts at 0 s");
        if (i > 0 && !(w.seconds > stops.back().seconds))
            refuseJson(stop.at("t"), jsonLimitText(w.seconds) +
                                         " s is not after the waypoint "
                                         "before (" +
                                         jsonLimitText(stops.back().seconds) + " s)");
        w.x =
            jsonNumber(stop.required("x"), stop.at("x"), -kFarthestPixel, kFarthestPixel, "pixels");
        w.y =
            jsonNumber(stop.required("y"), stop.at("y"), -kFarthestPixel, kFarthestPixel, "pixels");
        stops.push_back(w);
    }
    return WalkerTimeline(std::move(stops));
}

} // namespace

PlanSpot WalkerTimeline::at(double seconds) const {
    // The first waypoint after `seconds`; the walker is on the leg that ends there.
    const auto next = std::upper_bound(stops.begin(), stops.end(), seconds,
                                       [](double t, const Waypoint& w) { return t < w.seconds; });
    if (next == stops.begin()) return {stops.front().x, stops.front().y};
    if (next == stops.end()) return {stops.back().x, stops.back().y};
    const Waypoint& a = *(next - 1);
    const Waypoint& b = *next;
    const double share = (seconds - a.seconds) / (b.seconds - a.seconds);
    return {a.x + share * (b.x - a.x), a.y + share * (b.y - a.y)};
}

std::optional<WalkerTimeline> parseWalkerTimeline(std::string_view json, std::string& error) {
    try {
        return readWalk(parseStrictJson(json));
    } catch (const JsonRefusal& r) {
        error = r.text;
    } catch (const std::bad_alloc&) {
        error = "not enough memory to read the walk";
    }
    return std::nullopt;
}

std::optional<WalkerTimeline> loadWalkerTimeline(const std::string& path, std::string& error) {
    const SmallFileRead file = readSmallRegularFile(path, kMaxWalkerBytes, "the walk");
    if (file.fault == SmallFileRead::Fault::TooLarge)
        error = path + ": " + std::to_string(file.size) + " bytes, more than the " +
                std::to_string(kMaxWalkerBytes) + " a walk may have";
    else if (file.fault != SmallFileRead::Fault::None)
        error = path + ": " + file.problem;
    if (file.fault != SmallFileRead::Fault::None) return std::nullopt;
    std::string why;
    std::optional<WalkerTimeline> walk = parseWalkerTimeline(file.text, why);
    if (!walk) error = path + ": " + why;
    return walk;
}

std::string walkOffPlan(const WalkerTimeline& walk, int32_t width, int32_t height) {
    const std::vector<Waypoint>& stops = walk.waypoints();
    for (size_t i = 0; i < stops.size(); ++i) {
        const std::string key = jsonElementPath("walk", i) + ".";
        if (!(stops[i].x >= 0 && stops[i].x < width))
            return key + "x: " + jsonLimitText(stops[i].x) + " is off the plan (0 to " +
                   std::to_string(width) + " pixels, its width)";
        if (!(stops[i].y >= 0 && stops[i].y < height))
            return key + "y: " + jsonLimitText(stops[i].y) + " is off the plan (0 to " +
                   std::to_string(height) + " pixels, its height)";
    }
    return {};
}

} // namespace walkmere::sim
