#include "coverage/CoverageReport.h"
#include "tools/site/FileAppendStream.h"
#include "tools/site/HeatmapCommand.h"
#include "tools/site/MapOptions.h"
#include "tools/site/OutputFile.h"
#include "tools/site/PlanUnits.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/SiteReading.h"

#include <optional>

namespace walkmere::sitetool {

namespace {

// Everything the report shows, read from the site before any of the page is written.
ReportData gatherReport(const std::string& path, const ReadOnlySite& site,
                        const HeatmapOptions& options, double radius,
                        const std::optional<std::string>& unit) {
    ReportData report;
    report.path = path;
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

int runReport(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args, {{"-o", true},
                           {"--radius", true},
                           {"--threshold", true},
                           {"--units", true},
                           {"--interpolation", true},
                           {"--group", true},
                           {"--force", false}});
    const std::string& path = parsed.single("SITE.kvs");
    const std::optional<std::string> unit = unitsOption(parsed);
    const std::string& output = parsed.required("-o");
    HeatmapOptions options;
    const double radius = radiusOption(parsed);
    options.interpolation = interpolationOption(parsed);
    options.threshold = thresholdOption(parsed, options.threshold);
    options.group = groupOption(parsed);

    ReadOnlySite site = openSiteForReading(path);
    if (sameFile(path, output)) throw UsageError("the output would replace the site file itself");
    OutputFile file(output, io.out, plainOutputRules(parsed));
    CoverageReport report(gatherReport(path, site, options, radius, unit));

    // The page is written as it is made: the maps aside first, then the page around them.
    uint64_t pageBytes = 0;
    try {
        const OwnedFd spool = makeSpoolFile(output);
        FileAppendStream maps(spool.get(), "the report's temporary file");
        report.writeMaps(maps, [&] { maps.check(); });
        const uint64_t mapBytes = maps.finish();

        FileAppendStream html(file.descriptor(), output);
        report.writeFront(html);
        appendFileBytes(html, spool.get(), mapBytes);
        report.writeBack(html);
        pageBytes = html.finish();
    } catch (const ReportError& e) {
        throw FileError(e.what());
    }
    file.commit();
    (isStandardOutput(output) ? io.err : io.out)
        << output << ": " << pageBytes << " bytes, " << report.surveyPointCount()
        << " survey points, " << report.accessPointCount() << " access points, "
        << report.networkCount() << " networks\n";
    return kExitOk;
}

} // namespace

extern const SiteCommand kReportCommand{
    "report",
    "SITE.kvs -o REPORT.html [--radius LENGTH] [--interpolation idw|kriging] [--threshold DBM] "
    "[--group radio|bssid] [--units m|ft] [--force]",
    "write a survey report as one self-contained HTML page",
    "Writes one HTML file that opens in any browser without a network: the site's figures\n"
    "and survey dates (the file's own, from the file system), the surveyed area (the part\n"
    "of the plan within the radius of a point, in square units of the plan's scale, or\n"
    "pixels on a plan without one) and its share meeting the usual design targets (strongest\n"
    "and second strongest access point at -67 dBm or stronger, at most 2 other access\n"
    "points at -85 dBm or stronger on the strongest one's channel), the coverage map of all\n"
    "access points and one per network (SSID) with their shares at -67 and -70 dBm, the\n"
    "maps of the second strongest access point, of the access point count and of the\n"
    "co-channel overlap (see heatmap --metric),\n"
    "a table of the access points heard (MAC, SSID, channel, how many points heard it,\n"
    "best and median of its strongest reading per point), the survey points and the\n"
    "placed access points, and the signature block as a 200 x 100 picture. The pictures\n"
    "are PNGs inside the page (data: URIs); there are no scripts, fonts or links. SSIDs are\n"
    "shown as text; control characters and bytes that are not UTF-8 appear as \\xNN.\n"
    "Deleted points are left out.\n"
    "\n"
    "  -o REPORT.html     the file to write (required); an existing file is not\n"
    "                     replaced unless --force is given, and a site file never is;\n"
    "                     '-' for standard output\n"
    "  --radius LENGTH    as for heatmap (default 5 m on a calibrated plan)\n"
    "  --interpolation M  as for heatmap (default kriging)\n"
    "  --threshold DBM    as for heatmap (default -70)\n"
    "  --group radio|bssid  what the maps count as one access point, as for heatmap\n"
    "                     (default radio; the table of access points heard lists BSSIDs)\n"
    "  --units m|ft       the unit of the plan's scale, for --radius and the areas\n"
    "                     (default m); also shows the plan's real size (as for info)\n"
    "  --force            replace an existing REPORT.html\n",
    runReport,
};

} // namespace walkmere::sitetool
