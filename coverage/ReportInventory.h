#pragma once

#include "coverage/ApLocation.h"
#include "coverage/HeatmapRender.h"
#include "coverage/PlanScale.h"
#include "coverage/SurveyRadios.h"

#include <cstddef>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace walkmere {

// One access point of the report's inventory: a radio the survey heard, its strongest
// reading, and where the survey located it.
struct InventoryAp {
    SurveyRadio radio;
    double bestRssi = 0;
    std::optional<ApFix> fix;
};

// Every radio of the survey (surveyRadios' order), located on the width x height plan in
// the units of `fit` (a scale of 1 and 1 on a plan without one).
std::vector<InventoryAp> surveyInventory(const SurveyData& data, const PlanScale& fit,
                                         int32_t width, int32_t height);
// The located ones as the main map marks them: "Corp/Guest ch 36".
std::vector<NamedAp> locatedAps(const std::vector<InventoryAp>& inventory);

// One network (SSID) as the survey heard it.
struct HeardNetwork {
    std::string ssid;
    size_t points = 0;       // survey points that heard it
    size_t accessPoints = 0; // radios that send it
    std::set<ReadingBand> bands;
    int bestRssi = -128;
};

// Every network the survey heard, by SSID.
std::vector<HeardNetwork> heardNetworks(const SurveyData& data,
                                        const std::vector<InventoryAp>& inventory);

// The inventory table: one row per radio, then one per access point placed on the plan;
// positions in the plan's unit where `scale` is given, else in pixels.
void writeInventoryTable(std::ostream& html, const std::vector<InventoryAp>& inventory,
                         const std::vector<PlacedAp>& placed,
                         const std::optional<PlanScale>& scale);
// The table of networks: SSID, access points, bands, strongest reading.
void writeNetworksTable(std::ostream& html, const std::vector<const HeardNetwork*>& networks);
// "Corp", or "(no SSID)" in italics, as the page shows a network.
std::string networkName(const std::string& ssid);

} // namespace walkmere
