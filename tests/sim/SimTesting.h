#pragma once

#include "image/BmpReader.h"
#include "sim/SimulatedSite.h"
#include "testkit/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace walkmere::simtest {

using namespace walkmere::sim;

inline std::filesystem::path sourceDir() {
    const char* dir = std::getenv("WALKMERE_SOURCE_DIR");
    if (!dir || !*dir) throw std::runtime_error("WALKMERE_SOURCE_DIR is not set");
    return dir;
}

// A white plan of `width` x `height` pixels at `scale` pixels per unit, with the pixels
// `wall` says are walls drawn in the demo's wall grey.
inline PlanGeometry drawnPlan(int32_t width, int32_t height, double scale,
                              const std::function<bool(int32_t, int32_t)>& wall = nullptr) {
    PlanGeometry plan{width, height, std::vector<uint8_t>(size_t(width) * size_t(height), 255),
                      scale, scale};
    for (int32_t y = 0; wall && y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            if (wall(x, y)) plan.luminance[size_t(y) * size_t(width) + size_t(x)] = 40;
    return plan;
}

// The demo office's plan (res/demo/office.bmp, 20 pixels a metre).
inline PlanGeometry officePlan() {
    const std::vector<unsigned char> bytes =
        testkit::readFileBytes(sourceDir() / "res" / "demo" / "office.bmp");
    RgbImage image;
    const std::string problem = readBmpPixels(bytes.data(), bytes.size(), image);
    if (!problem.empty()) throw std::runtime_error(problem);
    PlanGeometry plan{image.width, image.height, {}, 20, 20};
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x) {
            const uint8_t* p = image.at(x, y);
            plan.luminance.push_back(planLuminance(p[0], p[1], p[2]));
        }
    return plan;
}

inline SiteModel officeModel() {
    std::string error;
    std::optional<SiteModel> model =
        loadSiteModel((sourceDir() / "res" / "demo" / "office.json").string(), error);
    if (!model) throw std::runtime_error(error);
    return *model;
}

// One access point at (x, y) with one 2.4 GHz radio of 20 dBm sending one network, with a
// reference loss of 40 dB and an exponent of 2 (free space), no shadowing, no fluctuation.
inline SiteModel oneRadio(double x, double y) {
    SiteModel model;
    model.sitePath = "test.kvs";
    ModelRadio radio{RadioBand::Ghz24, 6, 20, {{{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, "Corp"}}};
    model.accessPoints.push_back({"AP", x, y, {radio}});
    model.propagation.exponent = 2;
    model.propagation.fluctuationDb = 0;
    return model;
}

inline SimulatedSite bound(SiteModel model, PlanGeometry plan) {
    std::string error;
    std::optional<SimulatedSite> site =
        SimulatedSite::bind(std::move(model), std::move(plan), error);
    if (!site) throw std::runtime_error(error);
    return std::move(*site);
}

} // namespace walkmere::simtest
