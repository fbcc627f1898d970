#pragma once

#include "platform/Clock.h"
#include "sim/SimulatedSite.h"
#include "sim/SurveyorPosition.h"
#include "wifi/WifiSource.h"

#include <memory>
#include <random>
#include <string>

namespace walkmere::sim {

// A Wi-Fi source that hears the simulated site where the surveyor stands: each dump is one
// scan of the site at the position of that moment (SimulatedSite::scanAt), strongest first,
// each BSS with its channel's frequency, its RSSI rounded to a whole dBm and seen just now.
// The dump has no netlink bytes. The fluctuation's draws start from the model's seed, so a
// source replays the same scans for the same walk.
class SimulatedWifiSource final : public IWifiSource {
public:
    // `modelPath` names the model file: the serial number is the first 6 characters of its
    // name up to its extension, as a replayed capture's is.
    SimulatedWifiSource(std::shared_ptr<const SimulatedSite> site,
                        std::shared_ptr<const SurveyorPosition> position,
                        const std::string& modelPath, IClock& clock = systemClock());

    // Never fails.
    std::optional<ScanDump> next(std::string& error) override;
    std::string firmware() const override { return "simulated site"; }
    std::string serial() const override { return serialText; }

private:
    std::shared_ptr<const SimulatedSite> site;
    std::shared_ptr<const SurveyorPosition> position;
    std::string serialText;
    IClock& clock;
    std::mt19937_64 random; // the feed's thread alone draws
};

} // namespace walkmere::sim
