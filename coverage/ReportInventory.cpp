#include "coverage/ReportInventory.h"

#include "coverage/ReportHtml.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace walkmere {

std::vector<InventoryAp> surveyInventory(const SurveyData& data, const PlanScale& fit,
                                         int32_t width, int32_t height) {
    std::vector<InventoryAp> inventory;
    for (SurveyRadio& radio : surveyRadios(data)) {
        InventoryAp ap{std::move(radio), -1e9, std::nullopt};
        for (const RadioHearing& h : ap.radio.heard)
            ap.bestRssi = std::max(ap.bestRssi, h.rssi);
        ap.fix = locateAp(ap.radio.heard, fit, width, height);
        inventory.push_back(std::move(ap));
    }
    return inventory;
}

namespace {

std::string radioLabel(const SurveyRadio& radio) {
    std::string name;
    for (const std::string& ssid : radioSsids(radio))
        if (!ssid.empty()) name += (name.empty() ? "" : "/") + ssid;
    return name + (name.empty() ? "ch " : " ch ") + std::to_string(radio.channel);
}

// "12.3, 4.5 m" on a calibrated plan, "246, 90 pixels" without a scale.
std::string positionText(double x, double y, const std::optional<PlanScale>& scale) {
    char text[96];
    if (scale)
        std::snprintf(text, sizeof text, "%.1f, %.1f %s", x / scale->pixelsPerUnitX,
                      y / scale->pixelsPerUnitY, scale->unit.c_str());
    else
        std::snprintf(text, sizeof text, "%.0f, %.0f pixels", x, y);
    return text;
}

std::string bandText(ReadingBand band) {
    const std::string word = bandWord(band);
    return word.empty() ? "?" : word + " GHz";
}

} // namespace

std::vector<NamedAp> locatedAps(const std::vector<InventoryAp>& inventory) {
    std::vector<NamedAp> named;
    for (const InventoryAp& ap : inventory)
        if (ap.fix)
            named.push_back({int32_t(std::lround(ap.fix->x)), int32_t(std::lround(ap.fix->y)),
                             radioLabel(ap.radio)});
    return named;
}

std::vector<HeardNetwork> heardNetworks(const SurveyData& data,
                                        const std::vector<InventoryAp>& inventory) {
    std::map<std::string, HeardNetwork> bySsid;
    for (const SurveyPoint& p : data.points) {
        std::set<std::string> here;
        for (const ApReading& r : p.readings) {
            HeardNetwork& n = bySsid[r.ssid()];
            n.bands.insert(r.band());
            n.bestRssi = std::max(n.bestRssi, r.rssiDbm());
            if (here.insert(r.ssid()).second) ++n.points;
        }
    }
    for (const InventoryAp& ap : inventory)
        for (const std::string& ssid : radioSsids(ap.radio))
            ++bySsid[ssid].accessPoints;
    std::vector<HeardNetwork> networks;
    for (auto& [ssid, n] : bySsid) {
        n.ssid = ssid;
        networks.push_back(std::move(n));
    }
    return networks;
}

std::string networkName(const std::string& ssid) {
    return ssid.empty() ? "<i>(no SSID)</i>" : htmlText(ssid);
}

void writeInventoryTable(std::ostream& html, const std::vector<InventoryAp>& inventory,
                         const std::vector<PlacedAp>& placed,
                         const std::optional<PlanScale>& scale) {
    html << "<table class=inventory>\n<tr><th>#</th><th>BSSIDs</th><th>SSIDs</th><th>Band</th>"
            "<th>Channel</th><th>Points</th><th>Best dBm</th><th>Position</th></tr>\n";
    size_t number = 0;
    for (const InventoryAp& ap : inventory) {
        html << "<tr><td class=n>" << ++number << "</td><td>";
        for (size_t i = 0; i < ap.radio.bssids.size(); ++i)
            html << (i ? "<br>" : "") << macText(ap.radio.bssids[i].mac.data());
        html << "</td><td>";
        const std::vector<std::string> ssids = radioSsids(ap.radio);
        for (size_t i = 0; i < ssids.size(); ++i)
            html << (i ? "<br>" : "") << networkName(ssids[i]);
        html << "</td><td>" << bandText(ap.radio.band) << "</td><td class=n>" << ap.radio.channel
             << "</td><td class=n>" << ap.radio.heard.size() << "</td><td class=n>"
             << int(ap.bestRssi) << "</td><td>";
        if (ap.fix) {
            char within[64];
            std::snprintf(within, sizeof within, " &plusmn; %.1f %s", ap.fix->radius,
                          scale ? scale->unit.c_str() : "pixels");
            html << "located at " << htmlText(positionText(ap.fix->x, ap.fix->y, scale)) << within;
        } else {
            html << "not located (heard at fewer than " << kLeastHearings << " points)";
        }
        html << "</td></tr>\n";
    }
    for (const PlacedAp& ap : placed)
        html << "<tr><td class=n>" << ++number
             << "</td><td colspan=6><i>placed on the plan by hand</i></td><td>placed at "
             << htmlText(positionText(ap.x, ap.y, scale)) << "</td></tr>\n";
    html << "</table>\n";
}

void writeNetworksTable(std::ostream& html, const std::vector<const HeardNetwork*>& networks) {
    html << "<table>\n<tr><th>SSID</th><th>Access points</th><th>Bands</th><th>Points</th>"
            "<th>Best dBm</th></tr>\n";
    for (const HeardNetwork* n : networks) {
        std::string bands;
        for (ReadingBand band : n->bands)
            bands += (bands.empty() ? "" : ", ") + bandText(band);
        html << "<tr><td>" << networkName(n->ssid) << "</td><td class=n>" << n->accessPoints
             << "</td><td>" << bands << "</td><td class=n>" << n->points << "</td><td class=n>"
             << n->bestRssi << "</td></tr>\n";
    }
    html << "</table>\n";
}

} // namespace walkmere
