#include "coverage/ApLocation.h"
#include "coverage/SurveyRadios.h"
#include "tools/site/HeatmapCommand.h"
#include "tools/site/PlanUnits.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/SiteReading.h"
#include "tools/site/TextEscape.h"
#include "tools/site/ToolArgs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace walkmere::sitetool {

namespace {

// One radio as the listing shows it.
struct ListedAp {
    const SurveyRadio& radio;
    double bestRssi;
    std::optional<ApFix> fix;
};

// A fitted figure to the places that mean something: a tenth of a pixel, a hundredth of a
// unit or dB.
std::string rounded(double value, double places) {
    const double unit = std::pow(10.0, places);
    return jsonNumber(std::round(value * unit) / unit);
}

// Whole dBm, as the other listings show RSSI.
int wholeDbm(double rssi) {
    return static_cast<int>(rssi);
}

void printJsonAp(const ListedAp& ap, bool first, double pixelsPerUnit, std::ostream& out) {
    out << (first ? "\n" : ",\n") << "  {\"channel\": " << ap.radio.channel << ", \"band\": \""
        << bandWord(ap.radio.band) << "\", \"points\": " << ap.radio.heard.size()
        << ", \"bestRssi\": " << wholeDbm(ap.bestRssi) << ", \"bssids\": [";
    for (size_t i = 0; i < ap.radio.bssids.size(); ++i) {
        const RadioBssid& b = ap.radio.bssids[i];
        out << (i ? ", " : "") << "{\"mac\": \"" << macText(b.mac.data())
            << "\", \"ssid\": " << jsonString(b.ssid) << ", \"ssidHex\": \"" << hexBytes(b.ssid)
            << "\"}";
    }
    out << "], \"ssids\": [";
    const std::vector<std::string> ssids = radioSsids(ap.radio);
    for (size_t i = 0; i < ssids.size(); ++i)
        out << (i ? ", " : "") << jsonString(ssids[i]);
    out << "], \"position\": ";
    if (!ap.fix) {
        out << "null}";
        return;
    }
    const ApFix& f = *ap.fix;
    out << "{\"x\": " << rounded(f.x, 1) << ", \"y\": " << rounded(f.y, 1)
        << ", \"uncertainty\": " << rounded(f.radius, 2)
        << ", \"uncertaintyPixels\": " << rounded(f.radius * pixelsPerUnit, 1)
        << ", \"referenceRssi\": " << rounded(f.referenceDbm, 2)
        << ", \"exponent\": " << rounded(f.exponent, 2) << ", \"rmsDb\": " << rounded(f.rmsDb, 2)
        << "}}";
}

constexpr const char* kCsvHeader =
    "ap,channel,band,points,bestRssi,x,y,uncertainty,uncertaintyPixels,mac,ssid\n";

void printCsvAp(const ListedAp& ap, size_t number, double pixelsPerUnit, std::ostream& out) {
    std::string fields = std::to_string(number) + ',' + std::to_string(ap.radio.channel) + ',' +
                         bandWord(ap.radio.band) + ',' + std::to_string(ap.radio.heard.size()) +
                         ',' + std::to_string(wholeDbm(ap.bestRssi)) + ',';
    if (ap.fix)
        fields += rounded(ap.fix->x, 1) + ',' + rounded(ap.fix->y, 1) + ',' +
                  rounded(ap.fix->radius, 2) + ',' + rounded(ap.fix->radius * pixelsPerUnit, 1);
    else
        fields += ",,,";
    for (const RadioBssid& b : ap.radio.bssids)
        out << fields << ',' << macText(b.mac.data()) << ',' << csvField(b.ssid) << '\n';
}

void printTextAp(const ListedAp& ap, size_t number, double pixelsPerUnit, const std::string& unit,
                 std::ostream& out) {
    const std::string word = bandWord(ap.radio.band);
    const std::string band = word.empty() ? "?" : word + " GHz";
    char line[200];
    std::snprintf(line, sizeof line, "%4zu  ch %3d  %-7s  heard at %zu points, best %4d dBm, ",
                  number, ap.radio.channel, band.c_str(), ap.radio.heard.size(),
                  wholeDbm(ap.bestRssi));
    out << line;
    if (ap.fix) {
        const ApFix& f = *ap.fix;
        if (unit.empty())
            std::snprintf(line, sizeof line, "at x=%.0f y=%.0f +- %.0f pixels\n", f.x, f.y,
                          f.radius);
        else
            std::snprintf(line, sizeof line, "at x=%.0f y=%.0f +- %.1f %s (%.0f pixels)\n", f.x,
                          f.y, f.radius, unit.c_str(), f.radius * pixelsPerUnit);
        out << line;
    } else {
        out << "not located (heard at fewer than " << kLeastHearings << " points)\n";
    }
    for (const RadioBssid& b : ap.radio.bssids)
        out << "        " << macText(b.mac.data()) << "  " << jsonString(b.ssid) << '\n';
}

int runAps(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args, {{"--json", false}, {"--csv", false}, {"--units", true}});
    const bool json = parsed.has("--json");
    const bool csv = parsed.has("--csv");
    if (json && csv) throw UsageError("--json and --csv cannot be used together");
    const std::string& path = parsed.single("SITE.kvs");
    const std::optional<std::string> unit = unitsOption(parsed);
    ReadOnlySite site = openSiteForReading(path);
    const SiteLayout& layout = site.validation.layout;
    const SurveyData data = loadSurvey(site.fd.get(), layout);
    const RgbImage plan = loadFloorPlan(site.fd.get(), layout, path);

    const SiteHeader& header = layout.header;
    const bool calibrated = sitetool::calibrated(header);
    const PlanScale scale = fitScale(header);
    // The uncertainty in pixels, taken along the plan's x axis where the scales differ.
    const double pixelsPerUnit = scale.pixelsPerUnitX;
    const std::vector<SurveyRadio> radios = surveyRadios(data);
    std::vector<ListedAp> listed;
    for (const SurveyRadio& radio : radios) {
        double best = -1e9;
        for (const RadioHearing& h : radio.heard)
            best = std::max(best, h.rssi);
        listed.push_back({radio, best, locateAp(radio.heard, scale, plan.width, plan.height)});
    }

    std::ostream& out = io.out;
    if (json) {
        out << "{\"surveyPoints\": " << data.points.size() << ", \"accessPoints\": [";
        for (size_t i = 0; i < listed.size(); ++i)
            printJsonAp(listed[i], i == 0, pixelsPerUnit, out);
        out << (listed.empty() ? "" : "\n") << "]}\n";
    } else if (csv) {
        out << kCsvHeader;
        for (size_t i = 0; i < listed.size(); ++i)
            printCsvAp(listed[i], i + 1, pixelsPerUnit, out);
    } else {
        out << listed.size() << " access points (radios) heard at " << data.points.size()
            << " survey points\n";
        // No unit on a plan without a scale: the fit was in pixels.
        const std::string unitName = calibrated ? unit.value_or("units") : "";
        for (size_t i = 0; i < listed.size(); ++i)
            printTextAp(listed[i], i + 1, pixelsPerUnit, unitName, out);
    }
    return kExitOk;
}

} // namespace

extern const SiteCommand kApsCommand{
    "aps",
    "SITE.kvs [--json | --csv] [--units m|ft]",
    "list the access points the survey heard, each radio once, with where it stands",
    "Lists each access point the survey points heard once: a radio, with every network it\n"
    "sends. BSSIDs heard on one channel are one radio when they differ only in the low 4\n"
    "bits of the last octet (00-1A-1E-01-24-00, ...-01, ...-02), or when they are locally\n"
    "administered variants of one base address (the 0x02 bit of the first octet set, other\n"
    "bits of that octet maybe changed, the rest equal); the channel keeps a box's 2.4 and\n"
    "5 GHz radios apart. For each: its channel and band, how many points heard it, its\n"
    "strongest reading (whole dBm), its BSSIDs with the network each named first, and\n"
    "where it stands: the position on the plan, in pixels, that best fits how its signal\n"
    "falls off over every point that heard it (rssi = A - 10 n log10(d), n from 1.5 to 5),\n"
    "and how far from there it may stand (the positions whose fit is as good within what\n"
    "the readings' spread explains, at 95 %), in the site's units (pixels on a plan without\n"
    "a scale). A radio heard at fewer than 5 points is not located. Walls between a point\n"
    "and the access point weaken it as distance does, and draw the position away from\n"
    "them. Deleted points are left out.\n"
    "\n"
    "  --json        {\"surveyPoints\", \"accessPoints\": [{\"channel\", \"band\", \"points\",\n"
    "                \"bestRssi\", \"bssids\": [{\"mac\", \"ssid\", \"ssidHex\"}], \"ssids\",\n"
    "                \"position\": {\"x\", \"y\", \"uncertainty\", \"uncertaintyPixels\",\n"
    "                \"referenceRssi\", \"exponent\", \"rmsDb\"} or null}]}\n"
    "  --csv         one row per BSSID under a header row, the access point's number and\n"
    "                fields repeated; the position's fields are empty when not located\n"
    "  --units m|ft  names the site's unit in the plain listing\n",
    runAps,
};

} // namespace walkmere::sitetool
