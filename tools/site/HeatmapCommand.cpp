#include "tools/site/HeatmapCommand.h"

#include "platform/RegularFile.h"
#include "scan/MacAddress.h"
#include "tools/site/OutputFile.h"
#include "tools/site/PngImage.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/SiteReading.h"
#include "tools/site/ToolArgs.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace walkmere::sitetool {

double thresholdOption(const ToolArgs& args, double fallback) {
    const auto text = args.value("--threshold");
    if (!text) return fallback;
    char* end = nullptr;
    const double v = std::strtod(text->c_str(), &end);
    if (text->empty() || *end != '\0' || !std::isfinite(v) || v < -200 || v > 0)
        throw UsageError("--threshold needs a level in dBm between -200 and 0, not '" + *text +
                         "'");
    return v;
}

NetworkFilter filterOption(const ToolArgs& args) {
    NetworkFilter filter;
    if (const auto mac = args.value("--mac")) {
        filter.mac = parseMac(*mac);
        if (!filter.mac)
            throw UsageError("--mac needs an address like 00-1A-2B-3C-4D-5E, not '" + *mac + "'");
    }
    filter.ssid = args.value("--ssid");
    return filter;
}

void writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::ostream& standardOutput) {
    OutputFile file(path, standardOutput);
    file.writeAt(0, bytes.data(), bytes.size());
    file.commit();
}

void requireMappablePoints(const std::string& path, const SurveyData& data,
                           const NetworkFilter& filter, size_t mappedPoints) {
    if (data.points.empty()) throw FileError(path + ": The site has no survey points to map.");
    if (mappedPoints == 0)
        throw FileError(path + ": No survey point heard " +
                        (filter.mac || filter.ssid ? filter.describe() : "any access point") +
                        ", so there is nothing to map.");
}

namespace {

int runHeatmap(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args, {{"-o", true},
                           {"--mac", true},
                           {"--ssid", true},
                           {"--radius", true},
                           {"--threshold", true}});
    const std::string& path = parsed.single("SITE.kvs");
    const std::string& output = parsed.required("-o");
    HeatmapOptions options;
    options.radius = parsed.positiveNumber("--radius", 0);
    options.threshold = thresholdOption(parsed, options.threshold);
    const NetworkFilter filter = filterOption(parsed);

    ReadOnlySite site = openSiteForReading(path);
    if (sameFile(path, output)) throw UsageError("the output would replace the site file itself");
    const SiteLayout& layout = site.validation.layout;
    const SurveyData data = readSurvey(site.fd.get(), layout);
    requireMappablePoints(path, data, filter, samplesFor(data, filter).size());

    const Heatmap map =
        renderHeatmap(readFloorPlan(site.fd.get(), layout, path), data, filter, options);
    std::vector<uint8_t> png;
    const std::string problem = encodePng(map.image, png);
    if (!problem.empty()) throw FileError(output + ": " + problem);
    writeWholeFile(output, png, io.out);

    char line[200];
    std::snprintf(line, sizeof line,
                  "%s: %d x %d pixels, %zu of %zu survey points mapped, radius %.0f pixels\n",
                  output.c_str(), map.image.width, map.image.height, map.mappedPoints,
                  data.points.size(), map.radius);
    (isStandardOutput(output) ? io.err : io.out) << line;
    return kExitOk;
}

} // namespace

extern const SiteCommand kHeatmapCommand{
    "heatmap",
    "SITE.kvs -o MAP.png [--mac MAC | --ssid SSID] [--radius PIXELS] [--threshold DBM]",
    "draw a coverage map of the survey over the floor plan",
    "Writes a PNG the size of the floor plan: the signal level between the survey points,\n"
    "interpolated from the strongest reading of each point by inverse-distance weighting,\n"
    "in the program's RSSI colours (red -100 dBm, yellow -80, green -60, cyan -40, white\n"
    "-20) over the plan. Areas weaker than the threshold are greyed and hatched as not\n"
    "covered; areas farther than the radius from every point have no value and show the\n"
    "plan as it is. Survey points are drawn as discs in the colour of their value (a cross\n"
    "for a point that heard nothing that is mapped), placed access points as blue\n"
    "diamonds, and a legend sits in the top left corner. Deleted points are left out.\n"
    "\n"
    "  -o MAP.png         the file to write (required); '-' for standard output\n"
    "  --mac MAC          map only this access point (00-1A-2B-3C-4D-5E or 00:1a:...)\n"
    "  --ssid SSID        map only the access points of this network (exact bytes)\n"
    "  --radius PIXELS    how far a point's value reaches; by default twice the median\n"
    "                     distance between neighbouring points\n"
    "  --threshold DBM    the weakest level counted as covered (default -70)\n"
    "\n"
    "A site without survey points, or without a point that heard what is mapped, is\n"
    "refused (exit code 1): there is nothing to draw.\n",
    runHeatmap,
};

} // namespace walkmere::sitetool
