#pragma once

#include "board/WifiBoard.h"
#include "coverage/ModelSite.h"
#include "sim/SurveyorPosition.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace walkmere {

class CLiveApTable;
class PointMeasurement;
class WalkSession;

// `walkmere --simulate`: a board inside the program that hears a simulated site where the
// surveyor stands. Its entries are the 16 strongest BSSs of its latest scan of the site, with
// the model's fluctuation, aged since that scan as a real board's. The surveyor stands in the
// middle of the plan until told otherwise, or walks a scripted walk (--walker).
class SimulatedBoard {
public:
    // Lays the model at `modelPath` over the site it names (openModelSite) and starts the board,
    // scanning every `intervalMs`. A `siteFile` given as well must be that site's file. With a
    // `walkerPath` the surveyor walks the walk it holds, timed by `clock` (startWalker).
    // Nothing, with one line in `error` naming the model or the walk, when anything is wrong.
    static std::unique_ptr<SimulatedBoard>
    start(const std::string& modelPath, const std::optional<std::string>& siteFile,
          uint32_t intervalMs, std::string& error,
          const std::optional<std::string>& walkerPath = std::nullopt,
          sim::SecondsClock clock = sim::steadySeconds);

    // The site file the model belongs to, to be opened at start.
    const std::string& sitePath() const { return model.sitePath; }
    const std::string& slavePath() const { return board->slavePath(); }
    const sim::SimulatedSite& site() const { return *model.site; }

    // The surveyor stands at plan position (x, y) now: the board scans the site there, and
    // serves that scan from the return on; then at every interval. Not while walking a script.
    void surveyorAt(double x, double y);
    // A scripted walker sets off from its first waypoint, where they have stood until now;
    // called at the first tap of a walk. Only the first call starts the walk: it is walked
    // once. Nothing without a walker.
    void startWalker();
    // Where the surveyor is now.
    sim::PlanSpot surveyorSpot() const { return position->get(); }
    // The board scans the site at once, where the surveyor is, and serves that scan from the
    // return on.
    void scanNow() { board->readNow(); }
    // Points measured are where the surveyor stands: `measurement` tells the board of each
    // spot as it begins, and the surveyor is there at once. That jump stands in for the walk
    // from the last spot, in which the APs heard there and no longer on the board's list would
    // have left `table`: the board stops listing an AP without ever reporting it aged, so the
    // table would keep its last reading from far away for every point after. They leave it
    // at the jump instead. The board must outlive the measurement and the table.
    void follow(PointMeasurement& measurement, CLiveApTable& table);
    // The scripted walker sets off at the tap that starts a walk of `walk` (startWalker). The
    // board must outlive the session.
    void followWalk(WalkSession& walk);

private:
    SimulatedBoard() = default;

    ModelSite model;
    std::shared_ptr<sim::SurveyorPosition> position;
    std::unique_ptr<WifiBoard> board;
};

} // namespace walkmere
