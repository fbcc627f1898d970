// walkmere --simulate's board: refused whole at start when its model, its site, their fit or
// its scripted walk is wrong, with a message naming the file and what is wrong.
#include "app/SimulatedBoard.h"
#include "testkit/SimulatedOffice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

namespace walkmere {
namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(SimulatedBoard, StartsOnlyFromAWholeModelOfTheSiteGiven) {
    testkit::TempDir dir;
    const std::string model = dir.file("office.json").string();
    const std::string site = dir.file("office.kvs").string();
    const std::string other = dir.file("other.kvs").string();
    struct Case {
        std::string modelJson;
        std::optional<std::string> siteFile;
        std::string error; // the start of what is said; "" when the board starts
    };
    const std::string corridor = simtest::kCorridorModel;
    const Case cases[] = {
        {corridor, std::nullopt, ""},
        {corridor, dir.path().string() + "/./office.kvs", ""},
        {replaced(corridor, "\"channel\": 1,", "\"channel\": 15,"), std::nullopt,
         model + ": accessPoints[0].radios[0].channel: "},
        {replaced(corridor, "\"x\": 740", "\"x\": 812"), site,
         model + ": accessPoints[1].x: 812 is off the plan"},
        {replaced(corridor, "\"ssid\": \"Guest\"", "\"ssid\": \"Guest\", \"colour\": 1"),
         std::nullopt, model + ": accessPoints[0].radios[0].bss[1].colour: "},
        {replaced(corridor, "office.kvs", "elsewhere.kvs"), std::nullopt,
         model + ": its site " + dir.file("elsewhere.kvs").string() + ": "},
        {corridor, other,
         model + " is the model of the site " + site + ", not of " + other +
             ": give that site, or none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        simtest::makeSimulatedOffice(dir.path(), c.modelJson);
        std::filesystem::copy_file(site, other, std::filesystem::copy_options::overwrite_existing);
        std::string error;
        const std::unique_ptr<SimulatedBoard> board =
            SimulatedBoard::start(model, c.siteFile, 100, error);
        EXPECT_EQ(error.substr(0, c.error.size()), c.error) << error;
        EXPECT_EQ(bool(board), c.error.empty()) << error;
        if (board) {
            EXPECT_EQ(board->sitePath(), site);
            EXPECT_EQ(board->site().model().accessPoints.size(), 2u);
        }
    }
}

// --walker: the surveyor stands at the walk's first waypoint until the walk starts, then is
// where the walk is on the board's clock; a walk that cannot be used is refused whole.
TEST(SimulatedBoard, WalksAScriptedWalkOnceStartedAndRefusesOneItCannotUse) {
    testkit::TempDir dir;
    const simtest::SimulatedOffice office = simtest::makeSimulatedOffice(dir.path());
    const std::string walk = dir.file("walk.json").string();
    const std::string good = R"({"version": 1, "walk": [{"t": 0, "x": 100, "y": 300},
        {"t": 10, "x": 300, "y": 300}, {"t": 15, "x": 300, "y": 400}]})";
    const std::pair<std::string, std::string> cases[] = {
        {good, ""},
        {replaced(good, "\"x\": 300, \"y\": 400", "\"x\": 812, \"y\": 400"),
         walk + ": walk[2].x: 812 is off the plan (0 to 800 pixels, its width)"},
        {replaced(good, "\"t\": 10", "\"t\": 15"),
         walk + ": walk[2].t: 15 s is not after the waypoint before (15 s)"},
        {replaced(good, "\"t\": 0", "\"t\": 1"), walk + ": walk[0].t: 1: the walk starts at 0 s"},
        {replaced(good, "\"y\": 300}", "\"y\": 300, \"z\": 0}"),
         walk + ": walk[0].z: not a key of a waypoint (t, x, y)"},
        {R"({"walk": []})", walk + ": walk: a walk needs at least one waypoint"},
        {"[", walk + ": not JSON: "},
    };
    std::atomic<double> now{50};
    for (const auto& [json, refusal] : cases) {
        SCOPED_TRACE(json);
        std::ofstream(walk, std::ios::trunc) << json;
        std::string error;
        const std::unique_ptr<SimulatedBoard> board = SimulatedBoard::start(
            office.model.string(), std::nullopt, 100, error, walk, [&] { return now.load(); });
        EXPECT_EQ(error.substr(0, refusal.size()), refusal);
        ASSERT_EQ(bool(board), refusal.empty()) << error;
        if (!board) continue;
        const auto at = [&](double seconds) {
            now = seconds;
            const sim::PlanSpot spot = board->surveyorSpot();
            return std::make_pair(spot.x, spot.y);
        };
        EXPECT_EQ(at(60), std::make_pair(100.0, 300.0)); // not started: at the first waypoint
        board->surveyorAt(500, 500);                     // a tap moves no walker
        board->startWalker();
        EXPECT_EQ(at(65), std::make_pair(200.0, 300.0));
        board->startWalker(); // walked once: the clock runs on
        EXPECT_EQ(at(72.5), std::make_pair(300.0, 350.0));
        EXPECT_EQ(at(99), std::make_pair(300.0, 400.0));
    }
}

} // namespace
} // namespace walkmere
