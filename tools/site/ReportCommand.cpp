#include "coverage/CoverageReport.h"
#include "tools/site/FileAppendStream.h"
#include "tools/site/HeatmapCommand.h"
#include "tools/site/MapOptions.h"
#include "tools/site/OutputFile.h"
#include "tools/site/PlanUnits.h"
#include "tools/site/ReportInfo.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/SiteReading.h"

#include <ctime>
#include <memory>
#include <optional>

namespace walkmere::sitetool {

namespace {

// Everything the report shows, read from the site before any of the page is written.
ReportData gatherReport(const std::string& path, const ReadOnlySite& site,
                        const HeatmapOptions& options, double radius,
                        const std::optional<std::string>& unit) {
    ReportData report;
    report.path = path;
    report.floor = path;
    report.layout = site.validation.layout;
    report.options = options;
    report.mapScale = mapScale(report.layout.header, unit);
    report.options.radius = radiusPixels(radius, report.mapScale);
    const int fd = site.fd.get();
    report.survey = loadSurvey(fd, report.layout);
    const NetworkFilter everything;
    requireMappablePoints(path, report.survey, everything, Band::Any);
    report.dates = surveyDates(fd);
    report.plan = loadFloorPlan(fd, report.layout, path);

    const SiteHeader& h = report.layout.header;
    report.scale = scaleText(h);
    if (unit)
        report.realSize =
            planRealSize(uint64_t(report.plan.width), uint64_t(report.plan.height), h, *unit);
    report.signature.resize(kSignatureBlockSize);
    const ssize_t got = readFullyAt(fd, report.signature.data(), report.signature.size(),
                                    report.layout.header.signatureOffset());
    report.signature.resize(got > 0 ? size_t(got) : 0);
    return report;
}

// The floors one after another into `body`, each section's maps spooled aside first; only
// one floor is held at a time. Returns what the title page lists of each.
struct FloorsWritten {
    std::vector<FloorSummary> floors;
    size_t points = 0, accessPoints = 0, networks = 0;
};

FloorsWritten writeFloors(std::ostream& body, const std::string& output,
                          const std::vector<std::string>& paths, std::vector<ReadOnlySite>& sites,
                          const ReportInfo& info, const std::vector<std::string>& ssids,
                          const HeatmapOptions& options, double radius,
                          const std::optional<std::string>& unit,
                          const std::optional<RequirementProfile>& profile) {
    FloorsWritten written;
    for (size_t i = 0; i < paths.size(); ++i) {
        ReportData data = gatherReport(paths[i], sites[i], options, radius, unit);
        if (i < info.floors.size() && !info.floors[i].empty()) data.floor = info.floors[i];
        data.mappedSsids = ssids;
        if (profile) data.profile = *profile;
        const auto floor = std::make_unique<CoverageReport>(std::move(data));
        const OwnedFd spool = makeSpoolFile(output);
        FileAppendStream maps(spool.get(), "the report's temporary file");
        floor->writeMaps(maps, [&] { maps.check(); });
        const uint64_t mapBytes = maps.finish();
        floor->writeFront(body);
        appendFileBytes(body, spool.get(), mapBytes);
        floor->writeBack(body);
        written.floors.push_back(floor->summary());
        written.points += floor->surveyPointCount();
        written.accessPoints += floor->accessPointCount();
        written.networks += floor->networkCount();
    }
    return written;
}

int runReport(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args, {{"-o", true},
                           {"--radius", true},
                           {"--threshold", true},
                           {"--units", true},
                           {"--interpolation", true},
                           {"--group", true},
                           {"--profile", true},
                           {"--force", false},
                           {"--ssid", true, true},
                           {"--title", true},
                           {"--client", true},
                           {"--site", true},
                           {"--floor", true, true},
                           {"--surveyor", true},
                           {"--notes", true},
                           {"--info", true}});
    const std::vector<std::string>& paths = parsed.positional();
    if (paths.empty()) throw UsageError("missing SITE.kvs");
    const std::optional<std::string> unit = unitsOption(parsed);
    const std::string& output = parsed.required("-o");
    HeatmapOptions options;
    const double radius = radiusOption(parsed);
    options.interpolation = interpolationOption(parsed);
    options.threshold = thresholdOption(parsed, options.threshold);
    options.group = groupOption(parsed);
    const std::vector<std::string> ssids = parsed.values("--ssid");
    if (parsed.values("--floor").size() > paths.size())
        throw UsageError("more --floor names than site files");
    for (size_t i = 0; i < paths.size(); ++i) {
        // One file twice would be one floor shown as two.
        for (size_t j = i + 1; j < paths.size(); ++j)
            if (sameFile(paths[i], paths[j]))
                throw UsageError(paths[i] + " and " + paths[j] +
                                 " are the same file; give each site once");
    }
    ReportInfo info = reportInfoOptions(parsed);
    info.cover.made = localTime(std::time(nullptr));
    const std::optional<RequirementProfile> profile = profileOption(parsed);

    std::vector<ReadOnlySite> sites;
    for (const std::string& path : paths)
        sites.push_back(openSiteForReading(path));
    for (const std::string& path : paths)
        if (sameFile(path, output))
            throw UsageError("the output would replace the site file itself");
    OutputFile file(output, io.out, plainOutputRules(parsed));

    // The floors are written first, aside: the title page in front of them lists them all.
    uint64_t pageBytes = 0;
    FloorsWritten written;
    try {
        const OwnedFd spool = makeSpoolFile(output);
        FileAppendStream body(spool.get(), "the report's temporary file");
        written =
            writeFloors(body, output, paths, sites, info, ssids, options, radius, unit, profile);
        const uint64_t bodyBytes = body.finish();

        FileAppendStream html(file.descriptor(), output);
        writeReportTop(html, info.cover, written.floors);
        appendFileBytes(html, spool.get(), bodyBytes);
        writeReportEnd(html);
        pageBytes = html.finish();
    } catch (const ReportError& e) {
        throw FileError(e.what());
    }
    file.commit();
    (isStandardOutput(output) ? io.err : io.out)
        << output << ": " << pageBytes << " bytes, " << written.points << " survey points, "
        << written.accessPoints << " access points, " << written.networks << " networks\n";
    return kExitOk;
}

} // namespace

extern const SiteCommand kReportCommand{
    "report",
    "SITE.kvs [SITE.kvs ...] -o REPORT.html [--ssid SSID ...] [--floor NAME ...] "
    "[--title TEXT] [--client TEXT] [--site TEXT] [--surveyor TEXT] [--notes TEXT] "
    "[--info FILE.json] [--radius LENGTH] [--interpolation idw|kriging] [--threshold DBM] "
    "[--group radio|bssid] [--profile data|voice|location|FILE] [--units m|ft] [--force]",
    "write a survey report as one self-contained HTML page",
    "Writes one HTML file that opens in any browser without a network and prints on A4 or\n"
    "Letter. A title page (the title, client, site, surveyor and notes given, when the\n"
    "report was made, and each floor with its file, survey dates, points, access points and\n"
    "surveyed area), then one section per site file (a floor). Each begins with a summary\n"
    "that judges the floor against a requirement profile (--profile, data unless told; see\n"
    "heatmap): each requirement with the share of the surveyed area that meets it, passing\n"
    "when at least 95 % does, the share meeting all of them at once (the profile passes when\n"
    "that is at least 95 %) and the pass/fail map. Then the site's figures and survey\n"
    "dates (the file's own, from the file system, in local time), the surveyed area (the part\n"
    "of the plan within the radius of a point, in m² or ft² on a calibrated plan, pixels on a\n"
    "plan without a scale) and its share meeting the usual design targets (strongest\n"
    "and second strongest access point at -67 dBm or stronger, at most 2 other access\n"
    "points at -85 dBm or stronger on the strongest one's channel), the coverage map of all\n"
    "access points with those the survey located marked (see aps), and for each network\n"
    "named with --ssid one map per band it is heard on, with their shares at -67 and -70 dBm\n"
    "(without --ssid, the 3 networks heard at the most points), the maps of the second\n"
    "strongest access point, of the access point count and of the co-channel overlap (see\n"
    "heatmap --metric), the access points (each radio once: its BSSIDs, networks, band,\n"
    "channel, points that heard it, strongest reading and located position; then those\n"
    "placed on the plan), the networks not mapped (access points, bands, points, strongest\n"
    "reading), the survey points and the signature block as a 200 x 100 picture. The\n"
    "pictures are PNGs inside the page (data: URIs); there are no scripts, fonts or links.\n"
    "Texts are shown as text; control characters and bytes that are not UTF-8 appear as\n"
    "\\xNN. Deleted points are left out.\n"
    "\n"
    "  -o REPORT.html     the file to write (required); an existing file is not\n"
    "                     replaced unless --force is given, and a site file never is;\n"
    "                     '-' for standard output\n"
    "  --ssid SSID        a network to map, per band; may be given again for more\n"
    "  --floor NAME       the floor of each site file, in their order (default the file's\n"
    "                     name); may be given once per file\n"
    "  --title, --client, --site, --surveyor, --notes TEXT\n"
    "                     the title page's texts (--notes keeps its lines)\n"
    "  --info FILE.json   the same from a JSON object: \"title\", \"client\", \"site\",\n"
    "                     \"surveyor\", \"notes\" (text) and \"floors\" (a list of text, one\n"
    "                     per site file); an option given on the command line wins\n"
    "  --radius LENGTH    as for heatmap (default 5 m on a calibrated plan)\n"
    "  --interpolation M  as for heatmap (default kriging)\n"
    "  --threshold DBM    as for heatmap (default -70)\n"
    "  --group radio|bssid  what the maps count as one access point, as for heatmap\n"
    "                     (default radio)\n"
    "  --profile P        data, voice, location or a profile file, as for heatmap\n"
    "                     (default data)\n"
    "  --units m|ft       the unit of the plan's scale, for --radius, the areas and the\n"
    "                     positions (default m); also shows the plan's real size (as for\n"
    "                     info)\n"
    "  --force            replace an existing REPORT.html\n",
    runReport,
};

} // namespace walkmere::sitetool
