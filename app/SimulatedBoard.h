#pragma once

#include "board/WifiBoard.h"
#include "coverage/ModelSite.h"
#include "sim/SurveyorPosition.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace walkmere {

class PointMeasurement;

// `walkmere --simulate`: a board inside the program that hears a simulated site where the
// surveyor stands. Its entries are the 16 strongest BSSs of its latest scan of the site, with
// the model's fluctuation, aged as a real board's; a BSS it no longer hears stays on its list
// aged, as on a real board's, until it is forgotten (RememberingWifiSource). The surveyor
// stands in the middle of the plan until told otherwise.
class SimulatedBoard {
public:
    // Lays the model at `modelPath` over the site it names (openModelSite) and starts the board,
    // scanning every `intervalMs`. A `siteFile` given as well must be that site's file. Nothing,
    // with one line in `error` naming the model, when anything is wrong.
    static std::unique_ptr<SimulatedBoard> start(const std::string& modelPath,
                                                 const std::optional<std::string>& siteFile,
                                                 uint32_t intervalMs, std::string& error);

    // The site file the model belongs to, to be opened at start.
    const std::string& sitePath() const { return model.sitePath; }
    const std::string& slavePath() const { return board->slavePath(); }
    const sim::SimulatedSite& site() const { return *model.site; }

    // The surveyor stands at plan position (x, y) now: the board scans the site there at once,
    // and at every interval after.
    void surveyorAt(double x, double y);
    // Points measured are where the surveyor stands: `measurement` tells the board of each
    // spot as it begins. The board must outlive the measurement.
    void follow(PointMeasurement& measurement);

private:
    SimulatedBoard() = default;

    ModelSite model;
    std::shared_ptr<sim::SurveyorPosition> position;
    std::unique_ptr<WifiBoard> board;
};

} // namespace walkmere
