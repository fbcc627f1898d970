#include "coverage/ModelSite.h"

#include "coverage/HeatmapData.h"
#include "image/RgbImage.h"
#include "sim/SiteModel.h"
#include "survey/SiteFile.h"

namespace walkmere {

sim::PlanGeometry planGeometry(const RgbImage& plan, const SiteHeader& header) {
    sim::PlanGeometry geometry;
    geometry.width = plan.width;
    geometry.height = plan.height;
    geometry.luminance.resize(size_t(plan.width) * size_t(plan.height));
    const uint8_t* p = plan.pixels.data();
    for (uint8_t& luminance : geometry.luminance) {
        luminance = sim::planLuminance(p[0], p[1], p[2]);
        p += 3;
    }
    geometry.pixelsPerUnitX = header.pixelsPerUnitX();
    geometry.pixelsPerUnitY = header.pixelsPerUnitY();
    return geometry;
}

std::optional<ModelSite> openModelSite(const std::string& modelPath, std::string& error,
                                       RgbImage* planOut) {
    std::optional<sim::SiteModel> model = sim::loadSiteModel(modelPath, error);
    if (!model) return std::nullopt;
    ModelSite opened;
    opened.sitePath = sim::modelSitePath(*model, modelPath);
    const std::string siteNamed = modelPath + ": its site " + opened.sitePath + ": ";

    // Damaged points do not spoil the plan: the program says so when it opens the site.
    const ReadOnlySite site = openSiteReadOnly(opened.sitePath);
    if (!site.fd.valid() || (site.validation.refusal && !site.validation.pointsDamage)) {
        error = siteNamed + (site.validation.refusal ? site.validation.refusal->text
                                                     : std::string("cannot be read"));
        return std::nullopt;
    }
    // Such a site holds the handheld's 10 pixels a unit, which measure nothing.
    if (site.validation.layout.header.markedUncalibrated()) {
        error = siteNamed +
                "the plan is not calibrated (the site was made without a scale): make the site "
                "again with walkmere-site create PLAN -o SITE.kvs --calibrate X1,Y1,X2,Y2,LENGTH "
                "(two points of the plan and the real length between them), --drawing-scale 1:N "
                "(a PDF drawn to scale) or --scale-x N --scale-y N";
        return std::nullopt;
    }
    RgbImage plan;
    if (const std::string why = readFloorPlan(site.fd.get(), site.validation.layout, plan);
        !why.empty()) {
        error = siteNamed + "floor plan: " + why;
        return std::nullopt;
    }
    std::string why;
    std::optional<sim::SimulatedSite> bound = sim::SimulatedSite::bind(
        std::move(*model), planGeometry(plan, site.validation.layout.header), why);
    if (!bound) {
        error = modelPath + ": " + why;
        return std::nullopt;
    }
    opened.site = std::make_shared<const sim::SimulatedSite>(std::move(*bound));
    if (planOut) *planOut = std::move(plan);
    return opened;
}

} // namespace walkmere
