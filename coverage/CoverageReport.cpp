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

using MetricMap = CoverageReport::MetricMap;

std::string percent(uint64_t part, uint64_t whole) {
    if (whole == 0) return "&ndash;";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f %%", 100.0 * double(part) / double(whole));
    return text;
}

bool later(const struct statx_timestamp& a, const struct statx_timestamp& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

} // namespace

std::string localTime(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm local {};
    char text[64];
    if (!localtime_r(&t, &local) || !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M %Z", &local))
        return "?";
    // A zone without an abbreviation of its own is named by its offset.
    if (std::string(text).back() == ' ' &&
        !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M %z", &local))
        return "?";
    return text;
}

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

// On screen a page; on paper (A4 or Letter, the margins fit both) the title page alone,
// each floor from a new page, and no map or table row split across two.
constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#111}"
    "table{border-collapse:collapse;margin:.5em 0 1.5em}"
    "td,th{border:1px solid #999;padding:.2em .5em;text-align:left;vertical-align:top}"
    "td.n{text-align:right}img.map{max-width:100%;border:1px solid #666}"
    "img.sig{border:1px solid #666;image-rendering:pixelated;width:400px}"
    "figure{margin:0 0 1em;break-inside:avoid;page-break-inside:avoid}"
    "figcaption{font-size:small}tr{break-inside:avoid;page-break-inside:avoid}"
    "section.title{break-after:page;page-break-after:always}"
    "section.title h1{font-size:2.2em;margin-top:2em}"
    "section.floor+section.floor{break-before:page;page-break-before:always}"
    "h2,h3,h4{break-after:avoid;page-break-after:avoid}"
    "@page{size:auto;margin:15mm 14mm}"
    "@media print{body{margin:0;font-size:10pt}img.map{max-height:225mm}}";

// The surveyor's text, its lines kept.
std::string linesText(const std::string& text) {
    std::string html;
    size_t from = 0;
    for (size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
        html += htmlText(text.substr(from, end - from)) + "<br>";
    return html + htmlText(text.substr(from));
}

void writeSiteSection(std::ostream& html, const ReportData& report, size_t apCount,
                      size_t networkCount) {
    const SiteHeader& h = report.layout.header;
    const PointCounts& counts = report.survey.counts;
    const std::vector<SurveyPoint>& points = report.survey.points;
    const auto walked =
        std::count_if(points.begin(), points.end(), [](const SurveyPoint& p) { return p.walked; });
    const auto measured = std::ssize(points) - walked;
    html << "<h3>Site</h3>\n<table>\n"
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
         << "<tr><th>Measured and walked</th><td>" << measured << " measured points, " << walked
         << " walked samples</td></tr>\n"
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
    html << "<h3>Design targets</h3>\n<p>The share of the surveyed area that meets each "
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
    html << "<h3>Coverage</h3>\n<p>The strongest signal of any access point, interpolated "
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
        html << "<h3>" << heading << "</h3>\n<p>The second strongest access point at each "
             << "point, interpolated as above; hatched grey is weaker than " << threshold
             << " dBm, and a point that heard only one access point counts as -100 dBm. " << met
             << " of the surveyed area has a second access point at -67 dBm or "
             << "stronger.</p>\n";
        break;
    case Metric::Count:
        heading = "Access points per spot";
        html << "<h3>" << heading << "</h3>\n<p>How many access points are heard at " << threshold
             << " dBm or stronger; hatched grey where none is. " << met
             << " of the surveyed area hears 2 or more.</p>\n";
        break;
    case Metric::Overlap:
        heading = "Co-channel overlap";
        html << "<h3>" << heading << "</h3>\n<p>How many other access points, of any "
             << "network, are heard at -85 dBm or stronger on the channel of the strongest "
             << "one: they share its air time. Hatched grey above 2. " << met
             << " of the surveyed area has at most 2.</p>\n";
        break;
    case Metric::Best:
        return;
    }
    html << "<figure><img class=map alt=\"" << heading << "\" src=\"";
    writePicture(html, std::move(made.map.image));
    html << "\"></figure>\n";
}

void writePointsSection(std::ostream& html, const ReportData& report) {
    const std::vector<SurveyPoint>& points = report.survey.points;
    html << "<h3>Survey points</h3>\n<table>\n<tr><th>#</th><th>x</th><th>y</th>"
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

void writeSignatureSection(std::ostream& html, const ReportData& report) {
    html << "<h3>Signature</h3>\n<p><img class=sig alt=\"Signature\" width=400 height=200 src=\"";
    writePicture(html, signaturePicture(report.signature));
    html << "\"></p>\n";
}

} // namespace

namespace {

// Whether a network is one the report maps: named, or when none is, among the most heard.
std::vector<const HeardNetwork*> chooseMapped(const std::vector<HeardNetwork>& networks,
                                              const std::vector<std::string>& named) {
    std::vector<const HeardNetwork*> chosen;
    if (!named.empty()) {
        for (const std::string& ssid : named)
            for (const HeardNetwork& n : networks)
                if (n.ssid == ssid && std::find(chosen.begin(), chosen.end(), &n) == chosen.end())
                    chosen.push_back(&n);
        return chosen;
    }
    for (const HeardNetwork& n : networks)
        chosen.push_back(&n);
    std::stable_sort(
        chosen.begin(), chosen.end(),
        [](const HeardNetwork* a, const HeardNetwork* b) { return a->points > b->points; });
    chosen.resize(std::min(chosen.size(), kMostMappedNetworks));
    return chosen;
}

// The bands a network's maps are drawn for: each it was heard on; any band for one heard
// only on channels of no known band.
std::vector<Band> mapBands(const HeardNetwork& network) {
    std::vector<Band> bands;
    const std::pair<ReadingBand, Band> known[] = {{ReadingBand::Ghz24, Band::Ghz24},
                                                  {ReadingBand::Ghz5, Band::Ghz5},
                                                  {ReadingBand::Ghz6, Band::Ghz6}};
    for (const auto& [reading, band] : known)
        if (network.bands.count(reading)) bands.push_back(band);
    if (bands.empty()) bands.push_back(Band::Any);
    return bands;
}

std::string mappedName(const HeardNetwork& network, Band band) {
    return networkName(network.ssid) + (band == Band::Any ? "" : " " + std::string(bandName(band)));
}

} // namespace

CoverageReport::CoverageReport(ReportData report)
    : data(std::move(report)),
      inventory(surveyInventory(data.survey, data.mapScale.value_or(PlanScale{}), data.plan.width,
                                data.plan.height)),
      networks(heardNetworks(data.survey, inventory)),
      mapped(chooseMapped(networks, data.mappedSsids)) {
    for (const HeardNetwork& n : networks)
        if (std::find(mapped.begin(), mapped.end(), &n) == mapped.end()) others.push_back(&n);
}

void CoverageReport::writeMaps(std::ostream& maps, const std::function<void()>& mapWritten) {
    // The main map marks where the survey located each access point.
    HeatmapOptions mainOptions = data.options;
    mainOptions.metric = Metric::Best;
    mainOptions.named = locatedAps(inventory);
    best = {Metric::Best, renderHeatmap(data.plan, data.survey, NetworkFilter{}, mainOptions)};
    maps << "<figure><img class=map alt=\"Coverage of all access points\" src=\"";
    writePicture(maps, std::move(best.map.image));
    maps << "\"><figcaption>All access points"
         << (mainOptions.named.empty() ? "."
                                       : "; the blue marks are where the survey located them.")
         << "</figcaption></figure>\n";
    mapWritten();
    std::ostringstream rows;
    for (const HeardNetwork* network : mapped)
        for (Band band : mapBands(*network)) {
            NetworkFilter filter;
            filter.ssid = network->ssid;
            HeatmapOptions options = data.options;
            options.band = band;
            Heatmap map = renderHeatmap(data.plan, data.survey, filter, options);
            const std::string name = "Network " + mappedName(*network, band);
            writeCoverageRow(rows, name, map, data.mapScale);
            maps << "<h4>" << name << "</h4>\n<figure><img class=map alt=\"Coverage\" src=\"";
            writePicture(maps, std::move(map.image));
            maps << "\"></figure>\n";
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
    html << "<section class=floor>\n<h2>" << htmlText(data.floor) << "</h2>\n";
    writeProfileSummary(html, data.plan, data.survey, data.options, data.profile, data.mapScale);
    writeSiteSection(html, data, inventory.size(), networks.size());
    writeTargetsSection(html, data, best, second, overlap);
    writeCoverageSection(html, data, best, networkRows);
    if (data.mappedSsids.empty())
        html << "<p>No network was named (--ssid): the " << mapped.size()
             << " heard at the most points are mapped, each per band; the others are in the "
                "table of networks.</p>\n";
    for (const std::string& ssid : data.mappedSsids)
        if (std::none_of(mapped.begin(), mapped.end(),
                         [&](const HeardNetwork* n) { return n->ssid == ssid; }))
            html << "<p>Network " << networkName(ssid) << " is not heard on this floor.</p>\n";
}

void CoverageReport::writeBack(std::ostream& html) const {
    html << "<h3>Access points</h3>\n<p>Each access point's radio once, with every network it "
            "sends; located where the fall of its signal over the points that heard it puts "
            "it, within the distance given.</p>\n";
    writeInventoryTable(html, inventory, data.survey.accessPoints, data.mapScale);
    if (!others.empty()) {
        html << "<h3>Other networks</h3>\n<p>Heard, but not mapped.</p>\n";
        writeNetworksTable(html, others);
    }
    writePointsSection(html, data);
    writeSignatureSection(html, data);
    html << "</section>\n";
}

FloorSummary CoverageReport::summary() const {
    return {data.floor,       data.path,
            data.dates,       data.survey.points.size(),
            inventory.size(), surveyedAreaText(best.map.share.surveyedPixels, data.mapScale)};
}

void writeReportTop(std::ostream& html, const ReportCover& cover,
                    const std::vector<FloorSummary>& floors) {
    const std::string title = cover.title.empty() ? "Wi-Fi survey report" : cover.title;
    html << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>" << htmlText(title)
         << "</title>\n<style>" << kStyle << "</style></head><body>\n"
         << "<section class=title>\n<h1>" << htmlText(title) << "</h1>\n<table class=cover>\n";
    const std::pair<const char*, const std::string*> fields[] = {
        {"Client", &cover.client}, {"Site", &cover.site}, {"Surveyor", &cover.surveyor}};
    for (const auto& [name, text] : fields)
        if (!text->empty())
            html << "<tr><th>" << name << "</th><td>" << htmlText(*text) << "</td></tr>\n";
    html << "<tr><th>Report made</th><td>" << htmlText(cover.made) << "</td></tr>\n</table>\n"
         << "<table>\n<tr><th>Floor</th><th>Site file</th><th>Survey dates</th>"
            "<th>Points</th><th>Access points</th><th>Surveyed area</th></tr>\n";
    for (const FloorSummary& f : floors)
        html << "<tr><td>" << htmlText(f.floor) << "</td><td>" << htmlText(f.path) << "</td><td>"
             << htmlText(f.dates) << "</td><td class=n>" << f.points << "</td><td class=n>"
             << f.accessPoints << "</td><td class=n>" << htmlText(f.surveyedArea) << "</td></tr>\n";
    html << "</table>\n";
    if (!cover.notes.empty()) html << "<h2>Notes</h2>\n<p>" << linesText(cover.notes) << "</p>\n";
    html << "</section>\n";
}

void writeReportEnd(std::ostream& html) {
    html << "</body></html>\n";
}

} // namespace walkmere
