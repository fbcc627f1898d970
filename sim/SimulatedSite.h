#pragma once

#include "sim/ShadowingField.h"
#include "sim/SiteModel.h"

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace walkmere::sim {

// The plan a model is laid over: its pixels' luminance (walls are the dark ones), and how
// many pixels make one unit of the site's length across and down (the site header's scales;
// the model says whether the unit is the metre or the foot).
struct PlanGeometry {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> luminance; // width * height, row by row from the top
    double pixelsPerUnitX = 0;
    double pixelsPerUnitY = 0;
};

// The luminance a plan's pixel is compared with the wall threshold in: Rec. 601 luma of its
// red, green and blue, rounded (a grey pixel keeps its value).
uint8_t planLuminance(uint8_t red, uint8_t green, uint8_t blue);

// The scales a plan may have, in pixels per unit: 0.001 to 1,000,000, the site tool's range.
bool usableScale(double pixelsPerUnit);

// One BSS heard at a spot.
struct HeardBss {
    int accessPoint = 0; // index into the model's accessPoints
    int radio = 0;       // index into its radios
    int bss = 0;         // index into the radio's bss
    double rssiDbm = 0;
};

// A model laid over its plan: the true signal of every BSS at every spot of the plan.
// Positions are plan pixels as in the model (pixel (i, j) covers i <= x < i + 1); a position
// off the plan, or not a number, is taken at the nearest spot of the plan. Nothing changes
// once made, so several threads may ask at once.
class SimulatedSite {
public:
    // Nothing, with the reason in `error`, when the plan has no usable scale (the message
    // says how to set one), its pixels do not match its size, or an access point stands off
    // the plan ("accessPoints[1].x: 812 is off the plan (0 to 800 pixels, its width)"). The
    // model is one parseSiteModel accepts (one made in code is checked only for what would
    // break the propagation: a radio without networks, no shadowing distance).
    static std::optional<SimulatedSite> bind(SiteModel model, PlanGeometry plan,
                                             std::string& error);

    const SiteModel& model() const { return siteModel; }
    int32_t width() const { return planWidth; }
    int32_t height() const { return planHeight; }
    // Whether plan pixel (px, py) is part of a wall; nothing off the plan is.
    bool isWall(int32_t px, int32_t py) const {
        if (px < 0 || py < 0 || px >= planWidth || py >= planHeight) return false;
        return dark[static_cast<size_t>(py) * static_cast<size_t>(planWidth) +
                    static_cast<size_t>(px)] != 0;
    }
    // The distance in metres between two plan positions.
    double distanceM(double x0, double y0, double x1, double y1) const;

    // Every BSS at (x, y) without the per-scan fluctuation, at or above its band's noise
    // floor, strongest first (ties in model order).
    std::vector<HeardBss> truthAt(double x, double y) const;
    // One scan at (x, y): the truth with each BSS's fluctuation drawn from `random`, then
    // the noise floor applied; strongest first.
    std::vector<HeardBss> scanAt(double x, double y, std::mt19937_64& random) const;

    // The mean RSSI of one radio (all its BSSs share it) at (x, y), before the noise floor.
    double radioRssi(int accessPoint, int radio, double x, double y) const;
    // The walls the straight line from the access point to (x, y) enters: every pixel the
    // line passes through is visited, so a wall one pixel thin, even drawn on a slant, is
    // never stepped over, and a thick one counts once (a slanted one too, where the line
    // clips a corner of its pixels). A wall the access point stands in is not counted.
    int wallsCrossed(int accessPoint, double x, double y) const;
    // The radio's shadowing at (x, y) in dB.
    double shadowingDb(int accessPoint, int radio, double x, double y) const;

private:
    friend class CellRays;
    friend class TruthGrid;

    // What the propagation needs of one radio, flattened in model order.
    struct RadioTerms {
        int accessPoint = 0;
        int radio = 0;
        double powerLessReference = 0; // power - referenceLoss[band]
        double noiseFloorDbm = 0;
        ShadowingField shadowing;
    };

    SimulatedSite() = default;
    const RadioTerms& terms(int accessPoint, int radio) const;
    // The loss common to every radio of the access point at (x, y): distance and walls.
    double pathLossDb(int accessPoint, double x, double y) const;
    void clampToPlan(double& x, double& y) const;
    // The walls entered from (x0, y0) to (x1, y1), both on the plan, and whether the last
    // pixel is part of a wall.
    int walkWalls(double x0, double y0, double x1, double y1, bool& endsInWall) const;
    // Each radio's mean RSSI at (x, y) in model order.
    std::vector<double> radioRssis(double x, double y) const;

    SiteModel siteModel;
    int32_t planWidth = 0;
    int32_t planHeight = 0;
    std::vector<uint8_t> dark; // 1 for a wall pixel, row by row
    double metresPerPixelX = 0;
    double metresPerPixelY = 0;
    std::vector<RadioTerms> radios;
    std::vector<size_t> firstRadio; // of each access point, into `radios`
};

} // namespace walkmere::sim
