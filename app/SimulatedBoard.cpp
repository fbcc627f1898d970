#include "app/SimulatedBoard.h"

#include <algorithm>

#include "platform/RegularFile.h"
#include "scan/LiveApTable.h"
#include "sim/SimulatedWifiSource.h"
#include "survey/PointMeasurement.h"
#include "survey/WalkSession.h"

namespace walkmere {

std::unique_ptr<SimulatedBoard> SimulatedBoard::start(const std::string& modelPath,
                                                      const std::optional<std::string>& siteFile,
                                                      uint32_t intervalMs, std::string& error,
                                                      const std::optional<std::string>& walkerPath,
                                                      sim::SecondsClock clock) {
    std::optional<ModelSite> opened = openModelSite(modelPath, error);
    if (!opened) return nullptr;
    std::optional<sim::WalkerTimeline> walk;
    if (walkerPath) {
        walk = sim::loadWalkerTimeline(*walkerPath, error);
        if (!walk) return nullptr;
        if (std::string off =
                sim::walkOffPlan(*walk, opened->site->width(), opened->site->height());
            !off.empty()) {
            error = *walkerPath + ": " + off;
            return nullptr;
        }
    }
    if (siteFile && !sameFile(*siteFile, opened->sitePath)) {
        error = modelPath + " is the model of the site " + opened->sitePath + ", not of " +
                *siteFile + ": give that site, or none";
        return nullptr;
    }
    std::unique_ptr<SimulatedBoard> simulated(new SimulatedBoard);
    simulated->model = std::move(*opened);
    const sim::SimulatedSite& site = *simulated->model.site;
    simulated->position = std::make_shared<sim::SurveyorPosition>(
        sim::PlanSpot{site.width() / 2.0, site.height() / 2.0});
    if (walk) simulated->position->follow(std::move(*walk), std::move(clock));
    auto source = std::make_unique<sim::SimulatedWifiSource>(simulated->model.site,
                                                             simulated->position, modelPath);
    simulated->board = WifiBoard::start(std::move(source), intervalMs, error);
    if (!simulated->board) return nullptr;
    return simulated;
}

void SimulatedBoard::surveyorAt(double x, double y) {
    position->set({x, y});
    scanNow();
}

void SimulatedBoard::startWalker() {
    position->startWalk();
}

void SimulatedBoard::followWalk(WalkSession& walk) {
    walk.setStartSink([this] { startWalker(); });
}

void SimulatedBoard::follow(PointMeasurement& measurement, CLiveApTable& table) {
    measurement.setSurveyorSink([this, &table](double x, double y) {
        surveyorAt(x, y);
        const std::vector<ApRecord> listed = board->wifiFeed().entries();
        table.removeWhere([&](const ApRecord& record) {
            return std::none_of(listed.begin(), listed.end(),
                                [&](const ApRecord& r) { return r.sameMac(record); });
        });
    });
}

} // namespace walkmere
