#include "coverage/CoverageReport.h"

#include "coverage/ProfileSummary.h"
#include "coverage/ReportHtml.h"
#include "image/PngWriter.h"
#include "survey/PointRecords.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <time.h>

namespace walkmere {

namespace {

using HeardAps = std::map<std::array<uint8_t, 6>, CoverageReport::HeardAp>;
using MetricMap = CoverageReport::MetricMap;

HeardAps heardAccessPoints(const SurveyData& data) {
    HeardAps aps;
    for (const SurveyPoint& p : data.points) {
        std::map<std::array<uint8_t, 6>, int> bestHere;
        for (const ApReading& r : p.readings) {
            std::array<uint8_t, 6> mac;
            std::copy(r.mac(), r.mac() + 6, mac.begin());
            auto [it, added] = aps.try_emplace(mac);
            if (added) it->second.ssid = r.ssid();
            it->second.channels.try_emplace(channelKey(r), channelText(r));
            auto [best, first] = bestHere.try_emplace(mac, r.rssiDbm());
            if (!first) best->second = std::max(best->second, r.rssiDbm());
        }
        for (const auto& [mac, rssi] : bestHere)
            aps[mac].bestRssi.push_back(rssi);
    }
    return aps;
}

std::string median(std::vector<int> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    if (n == 0) return "";
    if (n % 2) return std::to_string(values[n / 2]);
    const int sum = values[n / 2 - 1] + values[n / 2];
    char text[16];
    std::snprintf(text, sizeof text, sum % 2 ? "%.1f" : "%.0f", sum / 2.0);
    return text;
}

std::string percent(uint64_t part, uint64_t whole) {
    if (whole == 0) return "&ndash;";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f %%", 100.0 * double(part) / double(whole));
    return text;
}

std::string localTime(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm local {};
    char text[40];
    if (!localtime_r(&t, &local) || !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M %z", &local))
        return "?";
    return text;
}

bool later(const struct statx_timestamp& a, const struct statx_timestamp& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

} // namespace

// From when the file was made (where the file system records it) to its last change, which
// is the last point committed. A copy that kept the modification time of its original (cp -p,
// rsync -a, unzip) was made after its last change: its birth is the copy's, not the survey's
// start, so then only the last change is given.
std::string surveyDates(int fd) {
    struct statx times {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &times) != 0) return "unknown";
    const std::string changed = localTime(times.stx_mtime.tv_sec);
    if (!(times.stx_mask & STATX_BTIME)) return "last change " + changed;
    if (later(times.stx_btime, times.stx_mtime))
        return "last change " + changed + " (the file's creation date is that of a copy)";
    return localTime(times.stx_btime.tv_sec) + " to " + changed;
}

namespace {

// Writes the picture as a data: URI, its PNG made and encoded as it goes, and lets it go:
// one picture of the plan's size at a time is all the report holds.
void writePicture(std::ostream& html, RgbImage picture) {
    html << "data:image/png;base64,";
    Base64Writer text(html);
    const std::string problem = encodePng(picture, text, 3);
    // A failed write is the stream's to tell.
    if (!problem.empty() && html) throw ReportError("cannot make a picture: " + problem);
    text.finish();
}

std::string networkName(const std::string& ssid) {
    return ssid.empty() ? "<i>(no SSID)</i>" : htmlText(ssid);
}

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#111}"
    "table{border-collapse:collapse;margin:.5em 0 1.5em}"
    "td,th{border:1px solid #999;padding:.2em .5em;text-align:left}"
    "td.n{text-align:right}img.map{max-width:100%;border:1px solid #666}"
    "img.sig{border:1px solid #666;image-rendering:pixelated;width:400px}";

void writeHead(std::ostream& html, const ReportData& report) {
    html << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>Survey report: "
         << htmlText(report.path) << "</title>\n<style>" << kStyle << "</style></head><body>\n"
         << "<h1>Survey report</h1>\n";
}

void writeSiteSection(std::ostream& html, const ReportData& report, size_t apCount,
                      size_t networkCount) {
    const SiteHeader& h = report.layout.header;
    const PointCounts& counts = report.survey.counts;
    html << "<h2>Site</h2>\n<table>\n"
         << "<tr><th>File</th><td>" << htmlText(report.path) << "</td></tr>\n"
         << "<tr><th>File size</th><td>" << report.layout.fileSize << " bytes</td></tr>\n"
         << "<tr><th>Format version</th><td>" << h.version() << "</td></tr>\n"
         << "<tr><th>Scale</th><td>" << htmlText(report.scale) << "</td></tr>\n"
         << "<tr><th>Floor plan</th><td>" << report.plan.width << " x " << report.plan.height
         << " pixels</td></tr>\n";
    if (report.realSize)
        html << "<tr><th>Real size</th><td>" << htmlText(*report.realSize) << "</td></tr>\n";
    html << "<tr><th>Survey dates</th><td>" << htmlText(report.dates)
         << " <small>(from the file system: the site file keeps no time per point)</small>"
            "</td></tr>\n"
         << "<tr><th>Survey points</th><td>" << counts.locationCount << " with "
         << counts.readingTotal << " readings</td></tr>\n"
         << "<tr><th>Placed access points</th><td>" << counts.placedAps << "</td></tr>\n"
         << "<tr><th>Deleted points</th><td>" << counts.deleted << "</td></tr>\n"
         << "<tr><th>Access points heard</th><td>" << apCount << "</td></tr>\n"
         << "<tr><th>Networks heard</th><td>" << networkCount << "</td></tr>\n"
         << "</table>\n";
}

void writeCoverageRow(std::ostream& html, const std::string& what, const Heatmap& map,
                      const std::optional<PlanScale>& scale) {
    html << "<tr><td>" << what << "</td><td class=n>" << map.mappedPoints << "</td><td class=n>"
         << htmlText(surveyedAreaText(map.share.surveyedPixels, scale)) << "</td><td class=n>"
         << percent(map.share.atLeast67, map.share.surveyedPixels) << "</td><td class=n>"
         << percent(map.share.atLeast70, map.share.surveyedPixels) << "</td></tr>\n";
}

MetricMap metricMap(const ReportData& report, Metric metric) {
    HeatmapOptions options = report.options;
    options.metric = metric;
    return {metric, renderHeatmap(report.plan, report.survey, NetworkFilter{}, options)};
}

void writeTargetsSection(std::ostream& html, const ReportData& report, const MetricMap& best,
                         const MetricMap& second, const MetricMap& overlap) {
    const auto row = [&](const char* what, const CoverageShare& share) {
        html << "<tr><td>" << what << "</td><td class=n>"
             << percent(share.meetingTarget, share.surveyedPixels) << "</td></tr>\n";
    };
    const uint64_t planPixels = uint64_t(report.plan.width) * uint64_t(report.plan.height);
    html << "<h2>Design targets</h2>\n<p>The share of the surveyed area that meets each "
            "target, over all access points and bands. The surveyed area is the part of the "
            "plan within "
         << htmlText(radiusText(best.map.radius, report.mapScale)) << " of a survey point: "
         << htmlText(surveyedAreaText(best.map.share.surveyedPixels, report.mapScale))
         << " of the plan's " << htmlText(surveyedAreaText(planPixels, report.mapScale)) << " ("
         << percent(best.map.share.surveyedPixels, planPixels)
         << ").</p>\n<table>\n"
            "<tr><th>Target</th><th>Met</th></tr>\n";
    row("Primary coverage: the strongest access point at -67 dBm or stronger", best.map.share);
    row("Secondary coverage: a second access point at -67 dBm or stronger, to roam to",
        second.map.share);
    row("Co-channel overlap: at most 2 other access points at -85 dBm or stronger on the "
        "channel of the strongest",
        overlap.map.share);
    html << "</table>\n";
}

// The coverage table; the maps of the section follow it (writeMaps).
void writeCoverageSection(std::ostream& html, const ReportData& report, const MetricMap& best,
                          const std::string& networkRows) {
    html << "<h2>Coverage</h2>\n<p>The strongest signal of any access point, interpolated "
            "between the survey points ("
         << (report.options.interpolation == Interpolation::Kriging
                 ? "ordinary kriging over the nearest points"
                 : "inverse-distance weighting")
         << ") within " << htmlText(radiusText(best.map.radius, report.mapScale))
         << " of a point; hatched grey is weaker than " << report.options.threshold
         << " dBm. The surveyed area is the part of the plan with a value.</p>\n"
         << "<table>\n<tr><th>Mapped</th><th>Points</th><th>Surveyed area</th>"
            "<th>-67 dBm or stronger</th><th>-70 dBm or stronger</th></tr>\n";
    writeCoverageRow(html, "All access points", best.map, report.mapScale);
    html << networkRows << "</table>\n";
}

// The maps of the other metrics over all access points, each with what it shows.
void writeMetricSection(std::ostream& html, const ReportData& report, MetricMap& made) {
    const CoverageShare& share = made.map.share;
    const std::string met = percent(share.meetingTarget, share.surveyedPixels);
    const long threshold = std::lround(report.options.threshold);
    std::string heading;
    switch (made.metric) {
    case Metric::Second:
        heading = "Secondary coverage";
        html << "<h2>" << heading << "</h2>\n<p>The second strongest access point at each "
             << "point, interpolated as above; hatched grey is weaker than " << threshold
             << " dBm, and a point that heard only one access point counts as -100 dBm. " << met
             << " of the surveyed area has a second access point at -67 dBm or "
             << "stronger.</p>\n";
        break;
    case Metric::Count:
        heading = "Access points per spot";
        html << "<h2>" << heading << "</h2>\n<p>How many access points are heard at " << threshold
             << " dBm or stronger; hatched grey where none is. " << met
             << " of the surveyed area hears 2 or more.</p>\n";
        break;
    case Metric::Overlap:
        heading = "Co-channel overlap";
        html << "<h2>" << heading << "</h2>\n<p>How many other access points, of any "
             << "network, are heard at -85 dBm or stronger on the channel of the strongest "
             << "one: they share its air time. Hatched grey above 2. " << met
             << " of the surveyed area has at most 2.</p>\n";
        break;
    case Metric::Best:
        return;
    }
    html << "<p><img class=map alt=\"" << heading << "\" src=\"";
    writePicture(html, std::move(made.map.image));
    html << "\"></p>\n";
}

void writeHeardSection(std::ostream& html, const HeardAps& aps) {
    html << "<h2>Access points heard</h2>\n<table>\n<tr><th>MAC</th><th>SSID</th>"
            "<th>Channel</th><th>Points</th><th>Best dBm</th><th>Median dBm</th></tr>\n";
    for (const auto& [mac, ap] : aps) {
        std::string channels;
        for (const auto& [key, text] : ap.channels)
            channels += (channels.empty() ? "" : ", ") + text;
        html << "<tr><td>" << macText(mac.data()) << "</td><td>" << networkName(ap.ssid)
             << "</td><td class=n>" << channels << "</td><td class=n>" << ap.bestRssi.size()
             << "</td><td class=n>" << *std::max_element(ap.bestRssi.begin(), ap.bestRssi.end())
             << "</td><td class=n>" << median(ap.bestRssi) << "</td></tr>\n";
    }
    html << "</table>\n";
}

void writePointsSection(std::ostream& html, const ReportData& report) {
    const std::vector<SurveyPoint>& points = report.survey.points;
    html << "<h2>Survey points</h2>\n<table>\n<tr><th>#</th><th>x</th><th>y</th>"
            "<th>Readings</th><th>Best dBm</th><th>Strongest access point</th></tr>\n";
    for (size_t i = 0; i < points.size(); ++i) {
        const SurveyPoint& p = points[i];
        const ApReading* strongest = nullptr;
        for (const ApReading& r : p.readings)
            if (!strongest || r.rssiDbm() > strongest->rssiDbm()) strongest = &r;
        html << "<tr><td class=n>" << i + 1 << "</td><td class=n>" << p.x << "</td><td class=n>"
             << p.y << "</td><td class=n>" << p.readings.size() << "</td><td class=n>";
        if (strongest)
            html << strongest->rssiDbm() << "</td><td>" << macText(strongest->mac()) << " "
                 << networkName(strongest->ssid());
        else
            html << "</td><td>none heard";
        html << "</td></tr>\n";
    }
    html << "</table>\n";
}

// Left out when no access point was placed by hand.
void writePlacedSection(std::ostream& html, const ReportData& report) {
    const auto& placed = report.survey.accessPoints;
    if (placed.empty()) return;
    html << "<h2>Placed access points</h2>\n<table>\n<tr><th>#</th><th>x</th><th>y</th>"
            "</tr>\n";
    for (size_t i = 0; i < placed.size(); ++i)
        html << "<tr><td class=n>" << i + 1 << "</td><td class=n>" << placed[i].x
             << "</td><td class=n>" << placed[i].y << "</td></tr>\n";
    html << "</table>\n";
}

void writeSignatureSection(std::ostream& html, const ReportData& report) {
    html << "<h2>Signature</h2>\n<p><img class=sig alt=\"Signature\" width=400 height=200 src=\"";
    writePicture(html, signaturePicture(report.signature));
    html << "\"></p>\n";
}

} // namespace

CoverageReport::CoverageReport(ReportData report)
    : data(std::move(report)), aps(heardAccessPoints(data.survey)) {
    for (const auto& [mac, ap] : aps)
        ssids.insert(ap.ssid);
    // Networks are named by what every reading says, not only the first SSID of an AP.
    for (const SurveyPoint& p : data.survey.points)
        for (const ApReading& r : p.readings)
            ssids.insert(r.ssid());
}

void CoverageReport::writeMaps(std::ostream& maps, const std::function<void()>& mapWritten) {
    best = metricMap(data, Metric::Best);
    maps << "<p><img class=map alt=\"Coverage of all access points\" src=\"";
    writePicture(maps, std::move(best.map.image));
    maps << "\"></p>\n";
    mapWritten();
    std::ostringstream rows;
    for (const std::string& ssid : ssids) {
        NetworkFilter filter;
        filter.ssid = ssid;
        Heatmap map = renderHeatmap(data.plan, data.survey, filter, data.options);
        writeCoverageRow(rows, "Network " + networkName(ssid), map, data.mapScale);
        maps << "<h3>Network " << networkName(ssid)
             << "</h3>\n<p><img class=map alt=\"Coverage\" src=\"";
        writePicture(maps, std::move(map.image));
        maps << "\"></p>\n";
        mapWritten();
    }
    networkRows = rows.str();
    for (MetricMap* other : {&second, &count, &overlap}) {
        *other = metricMap(data, other->metric);
        writeMetricSection(maps, data, *other);
        mapWritten();
    }
}

void CoverageReport::writeFront(std::ostream& html) const {
    writeHead(html, data);
    writeProfileSummary(html, data.plan, data.survey, data.options, data.profile, data.mapScale);
    writeSiteSection(html, data, aps.size(), ssids.size());
    writeTargetsSection(html, data, best, second, overlap);
    writeCoverageSection(html, data, best, networkRows);
}

void CoverageReport::writeBack(std::ostream& html) const {
    writeHeardSection(html, aps);
    writePointsSection(html, data);
    writePlacedSection(html, data);
    writeSignatureSection(html, data);
    html << "</body></html>\n";
}

} // namespace walkmere
