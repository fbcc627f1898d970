#pragma once

#include "sim/SimulatedSite.h"

#include <memory>
#include <optional>
#include <string>

namespace walkmere {

struct RgbImage;
struct SiteHeader;

// The plan as the model is laid over it: its pixels' luminance and the site's scales.
sim::PlanGeometry planGeometry(const RgbImage& plan, const SiteHeader& header);

// A site model laid over the plan of the site file it belongs to: the simulated site that
// `walkmere --simulate` and `walkmere-board --simulate` serve.
struct ModelSite {
    std::shared_ptr<const sim::SimulatedSite> site;
    std::string sitePath; // the site file the model names, resolved against the model's folder
};

// Loads the model at `modelPath`, opens the site file it names (read only), decodes its plan
// and binds the model to the plan and the site's scale. Nothing, with one line in `error`
// that starts with the model's name, when any of it fails: the model's own fault names its
// key ("office.json: accessPoints[1].x: 812 is off the plan (0 to 800 pixels)"), the site's
// names the site file. Nothing is served from half a model. The decoded plan is kept in
// `plan` when one is given (a map of the prediction is drawn over it).
std::optional<ModelSite> openModelSite(const std::string& modelPath, std::string& error,
                                       RgbImage* plan = nullptr);

} // namespace walkmere
