#include "sim/SimulatedSite.h"

#include "sim/WallWalk.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace walkmere::sim {

uint8_t planLuminance(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint8_t>((299 * red + 587 * green + 114 * blue + 500) / 1000);
}

bool usableScale(double pixelsPerUnit) {
    return pixelsPerUnit >= 0.001 && pixelsPerUnit <= 1'000'000;
}

namespace {

std::string shortNumber(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// The owner of a radio's shadowing: its first BSSID, so that reordering the access points
// of a model does not move their fields.
uint64_t radioOwner(const ModelRadio& radio) {
    uint64_t owner = 0;
    for (uint8_t b : radio.bss.front().bssid)
        owner = owner << 8 | b;
    return owner;
}

// A draw from [-1, 1] from 53 bits of the generator (the same on every standard library).
double symmetricUnit(std::mt19937_64& random) {
    return 2.0 * (static_cast<double>(random() >> 11) * 0x1.0p-53) - 1.0;
}

} // namespace

std::optional<SimulatedSite> SimulatedSite::bind(SiteModel model, PlanGeometry plan,
                                                 std::string& error) {
    if (plan.width <= 0 || plan.height <= 0 ||
        plan.luminance.size() !=
            static_cast<size_t>(plan.width) * static_cast<size_t>(plan.height)) {
        error = "the plan's pixels (" + std::to_string(plan.luminance.size()) +
                ") do not match its size (" + std::to_string(plan.width) + " x " +
                std::to_string(plan.height) + ")";
        return std::nullopt;
    }
    const char* unit = model.unit == LengthUnit::Feet ? "foot" : "metre";
    if (!usableScale(plan.pixelsPerUnitX) || !usableScale(plan.pixelsPerUnitY)) {
        error = "the site's plan has no usable scale (" + shortNumber(plan.pixelsPerUnitX) + " x " +
                shortNumber(plan.pixelsPerUnitY) + " pixels per " + unit +
                "): make the site again with walkmere-site create PLAN -o SITE.kvs "
                "--calibrate X1,Y1,X2,Y2,LENGTH (two points of the plan and the real length "
                "between them) or --scale-x N --scale-y N (pixels per " +
                unit + ")";
        return std::nullopt;
    }
    for (size_t i = 0; i < model.accessPoints.size(); ++i) {
        const ModelAccessPoint& ap = model.accessPoints[i];
        const std::string key = "accessPoints[" + std::to_string(i) + "].";
        if (!(ap.x >= 0 && ap.x < plan.width)) {
            error = key + "x: " + shortNumber(ap.x) + " is off the plan (0 to " +
                    std::to_string(plan.width) + " pixels, its width)";
            return std::nullopt;
        }
        if (!(ap.y >= 0 && ap.y < plan.height)) {
            error = key + "y: " + shortNumber(ap.y) + " is off the plan (0 to " +
                    std::to_string(plan.height) + " pixels, its height)";
            return std::nullopt;
        }
        // A model made in code rather than read has not been checked for these.
        for (size_t r = 0; r < ap.radios.size(); ++r) {
            if (ap.radios[r].bss.empty()) {
                error = key + "radios[" + std::to_string(r) +
                        "].bss: a radio needs at least one network";
                return std::nullopt;
            }
        }
    }
    if (!(model.propagation.shadowingDistanceM > 0)) {
        error = "propagation.shadowing.distance: must be more than 0";
        return std::nullopt;
    }

    SimulatedSite site;
    const Propagation& p = model.propagation;
    site.planWidth = plan.width;
    site.planHeight = plan.height;
    site.dark.resize(plan.luminance.size());
    for (size_t i = 0; i < plan.luminance.size(); ++i)
        site.dark[i] = plan.luminance[i] < p.wallThreshold ? 1 : 0;
    const double metresPerUnit = model.unit == LengthUnit::Feet ? kMetresPerFoot : 1.0;
    site.metresPerPixelX = metresPerUnit / plan.pixelsPerUnitX;
    site.metresPerPixelY = metresPerUnit / plan.pixelsPerUnitY;
    for (size_t a = 0; a < model.accessPoints.size(); ++a) {
        site.firstRadio.push_back(site.radios.size());
        const ModelAccessPoint& ap = model.accessPoints[a];
        for (size_t r = 0; r < ap.radios.size(); ++r) {
            const ModelRadio& radio = ap.radios[r];
            RadioTerms t;
            t.accessPoint = static_cast<int>(a);
            t.radio = static_cast<int>(r);
            t.powerLessReference = radio.powerDbm - p.referenceLossDb[radio.band];
            t.noiseFloorDbm = p.noiseFloorDbm[radio.band];
            t.shadowing = ShadowingField(ShadowingField::keyOf(p.seed, radioOwner(radio)),
                                         p.shadowingSigmaDb, p.shadowingDistanceM);
            site.radios.push_back(t);
        }
    }
    site.siteModel = std::move(model);
    return site;
}

double SimulatedSite::distanceM(double x0, double y0, double x1, double y1) const {
    return std::hypot((x1 - x0) * metresPerPixelX, (y1 - y0) * metresPerPixelY);
}

void SimulatedSite::clampToPlan(double& x, double& y) const {
    // Written so that a NaN fails the first test of each.
    if (!(x >= 0)) x = 0;
    if (!(x < planWidth)) x = std::nextafter(static_cast<double>(planWidth), 0.0);
    if (!(y >= 0)) y = 0;
    if (!(y < planHeight)) y = std::nextafter(static_cast<double>(planHeight), 0.0);
}

int SimulatedSite::walkWalls(double x0, double y0, double x1, double y1, bool& endsInWall) const {
    const auto i0 = static_cast<int32_t>(std::floor(x0)), j0 = static_cast<int32_t>(std::floor(y0));
    WallCounter walls(i0, j0, isWall(i0, j0));
    walkPixels(x0, y0, x1, y1, 0, planWidth - 1, 0, planHeight - 1,
               [&](int32_t i, int32_t j) { walls.visit(i, j, isWall(i, j)); });
    endsInWall = walls.inWall();
    return walls.count();
}

int SimulatedSite::wallsCrossed(int accessPoint, double x, double y) const {
    clampToPlan(x, y);
    const ModelAccessPoint& ap = siteModel.accessPoints[static_cast<size_t>(accessPoint)];
    bool endsInWall = false;
    return walkWalls(ap.x, ap.y, x, y, endsInWall);
}

double SimulatedSite::pathLossDb(int accessPoint, double x, double y) const {
    const ModelAccessPoint& ap = siteModel.accessPoints[static_cast<size_t>(accessPoint)];
    const Propagation& p = siteModel.propagation;
    const double d = std::max(distanceM(ap.x, ap.y, x, y), 1.0);
    return 10 * p.exponent * std::log10(d) + wallsCrossed(accessPoint, x, y) * p.wallLossDb;
}

const SimulatedSite::RadioTerms& SimulatedSite::terms(int accessPoint, int radio) const {
    return radios[firstRadio[static_cast<size_t>(accessPoint)] + static_cast<size_t>(radio)];
}

double SimulatedSite::shadowingDb(int accessPoint, int radio, double x, double y) const {
    clampToPlan(x, y);
    return terms(accessPoint, radio).shadowing.at(x * metresPerPixelX, y * metresPerPixelY);
}

double SimulatedSite::radioRssi(int accessPoint, int radio, double x, double y) const {
    clampToPlan(x, y);
    return terms(accessPoint, radio).powerLessReference - pathLossDb(accessPoint, x, y) +
           shadowingDb(accessPoint, radio, x, y);
}

std::vector<double> SimulatedSite::radioRssis(double x, double y) const {
    clampToPlan(x, y);
    std::vector<double> out;
    out.reserve(radios.size());
    double loss = 0;
    for (const RadioTerms& t : radios) {
        if (t.radio == 0) loss = pathLossDb(t.accessPoint, x, y); // once for all its radios
        out.push_back(t.powerLessReference - loss +
                      t.shadowing.at(x * metresPerPixelX, y * metresPerPixelY));
    }
    return out;
}

namespace {

void strongestFirst(std::vector<HeardBss>& heard) {
    std::stable_sort(heard.begin(), heard.end(),
                     [](const HeardBss& a, const HeardBss& b) { return a.rssiDbm > b.rssiDbm; });
}

} // namespace

std::vector<HeardBss> SimulatedSite::truthAt(double x, double y) const {
    const std::vector<double> rssi = radioRssis(x, y);
    std::vector<HeardBss> heard;
    for (size_t i = 0; i < radios.size(); ++i) {
        const RadioTerms& t = radios[i];
        if (rssi[i] < t.noiseFloorDbm) continue;
        const ModelRadio& radio = siteModel.accessPoints[static_cast<size_t>(t.accessPoint)]
                                      .radios[static_cast<size_t>(t.radio)];
        for (size_t b = 0; b < radio.bss.size(); ++b)
            heard.push_back({t.accessPoint, t.radio, static_cast<int>(b), rssi[i]});
    }
    strongestFirst(heard);
    return heard;
}

std::vector<HeardBss> SimulatedSite::scanAt(double x, double y, std::mt19937_64& random) const {
    const std::vector<double> rssi = radioRssis(x, y);
    const double fluctuation = siteModel.propagation.fluctuationDb;
    std::vector<HeardBss> heard;
    for (size_t i = 0; i < radios.size(); ++i) {
        const RadioTerms& t = radios[i];
        const ModelRadio& radio = siteModel.accessPoints[static_cast<size_t>(t.accessPoint)]
                                      .radios[static_cast<size_t>(t.radio)];
        for (size_t b = 0; b < radio.bss.size(); ++b) {
            const double scanned = rssi[i] + fluctuation * symmetricUnit(random);
            if (scanned >= t.noiseFloorDbm)
                heard.push_back({t.accessPoint, t.radio, static_cast<int>(b), scanned});
        }
    }
    strongestFirst(heard);
    return heard;
}

} // namespace walkmere::sim
