#include "tools/site/HeatmapCommand.h"

#include "coverage/ProfileMap.h"
#include "image/PngWriter.h"
#include "platform/RegularFile.h"
#include "scan/MacAddress.h"
#include "survey/BmpInfo.h"
#include "tools/site/MapOptions.h"
#include "tools/site/OutputFile.h"
#include "tools/site/PlanUnits.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/SiteReading.h"
#include "tools/site/TextEscape.h"
#include "tools/site/ToolArgs.h"

#include <cmath>
#include <cstdio>
#include <optional>

namespace walkmere::sitetool {

double thresholdOption(const ToolArgs& args, double fallback) {
    return args.number("--threshold", fallback, {-200, 0});
}

double radiusOption(const ToolArgs& args) {
    return args.number("--radius", 0, {1, double(kMaxPlanPixels)});
}

OutputRules plainOutputRules(const ToolArgs& args) {
    return {.force = args.has("--force"), .isSiteFile = false};
}

void writeWholeFile(OutputFile& file, const std::vector<uint8_t>& bytes) {
    file.writeAt(0, bytes.data(), bytes.size());
    file.commit();
}

Band bandOption(const ToolArgs& args) {
    const auto text = args.value("--band");
    if (!text) return Band::Any;
    if (*text == "2.4") return Band::Ghz24;
    if (*text == "5") return Band::Ghz5;
    if (*text == "6") return Band::Ghz6;
    throw UsageError("option '--band' takes 2.4, 5 or 6, not '" + *text + "'");
}

Grouping groupOption(const ToolArgs& args) {
    const auto text = args.value("--group");
    if (!text || *text == "radio") return Grouping::Radio;
    if (*text == "bssid") return Grouping::Bssid;
    throw UsageError("option '--group' takes radio or bssid, not '" + *text + "'");
}

MapChoice mapChoiceOptions(const ToolArgs& args) {
    MapChoice choice;
    choice.metric.threshold = thresholdOption(args, choice.metric.threshold);
    choice.metric.band = bandOption(args);
    choice.metric.group = groupOption(args);
    if (const auto name = args.value("--metric")) {
        const auto metric = metricNamed(*name);
        if (!metric)
            throw UsageError("option '--metric' takes best, second, count or overlap, not '" +
                             *name + "'");
        choice.metric.metric = *metric;
    }
    if (const auto mac = args.value("--mac")) {
        choice.filter.mac = parseMac(*mac);
        if (!choice.filter.mac)
            throw UsageError("--mac needs an address like 00-1A-2B-3C-4D-5E, not '" + *mac + "'");
    }
    choice.filter.ssid = args.value("--ssid");
    // One access point has no second strongest and counts only to one.
    const Metric metric = choice.metric.metric;
    if (choice.filter.mac && (metric == Metric::Second || metric == Metric::Count))
        throw UsageError(std::string("--metric ") + metricName(metric) +
                         " compares access points: give it without --mac");
    return choice;
}

std::optional<RequirementProfile> profileOption(const ToolArgs& args) {
    const auto name = args.value("--profile");
    if (!name) return std::nullopt;
    if (auto builtIn = builtInProfile(*name)) return builtIn;
    std::string error;
    auto profile = loadRequirementProfile(*name, error);
    if (!profile) throw FileError(error);
    return profile;
}

std::optional<RequirementProfile> mapProfileOption(const ToolArgs& args) {
    if (!args.has("--profile")) return std::nullopt;
    // A profile judges every metric at its own levels, over every access point.
    for (const char* option : {"--metric", "--threshold", "--mac"})
        if (args.has(option))
            throw UsageError(std::string("--profile sets the metrics and their levels: give it "
                                         "without ") +
                             option);
    return profileOption(args);
}

std::string mappedText(const NetworkFilter& filter, Band band) {
    std::string text;
    if (filter.mac) text = "access point " + macText(filter.mac->data());
    if (filter.ssid)
        text += (text.empty() ? "" : ", ") + std::string("network ") + jsonString(*filter.ssid);
    if (text.empty()) text = "any access point";
    return band == Band::Any ? text : text + " on " + bandName(band);
}

void requireMappablePoints(const std::string& path, const SurveyData& data,
                           const NetworkFilter& filter, Band band) {
    if (data.points.empty()) throw FileError(path + ": The site has no survey points to map.");
    MetricChoice heardAnything;
    heardAnything.band = band;
    if (metricSamples(data, filter, heardAnything).empty())
        throw FileError(path + ": No survey point heard " + mappedText(filter, band) +
                        ", so there is nothing to map.");
}

namespace {

std::string shareOfPlan(uint64_t surveyed, uint64_t planPixels) {
    char text[48];
    std::snprintf(text, sizeof text, " (%.1f %% of the plan)",
                  planPixels ? 100.0 * double(surveyed) / double(planPixels) : 0.0);
    return text;
}

// heatmap --profile: the pass/fail map, and how much of the surveyed area passes.
int writeProfileMap(RgbImage plan, const SurveyData& data, const MapChoice& choice,
                    const HeatmapOptions& options, const RequirementProfile& profile,
                    const std::string& output, OutputFile& file,
                    const std::optional<PlanScale>& scale, ToolStreams& io) {
    const ProfileMap map = renderProfileMap(std::move(plan), data, choice.filter, options, profile);
    std::vector<uint8_t> png;
    const std::string problem = encodePng(map.image, png);
    if (!problem.empty()) throw FileError(output + ": " + problem);
    writeWholeFile(file, png);
    const uint64_t planPixels = uint64_t(map.image.width) * uint64_t(map.image.height);
    (isStandardOutput(output) ? io.err : io.out)
        << output << ": " << profile.name << " profile map, " << map.image.width << " x "
        << map.image.height << " pixels, " << map.mappedPoints << " of " << data.points.size()
        << " survey points mapped, " << interpolationName(options.interpolation) << ", radius "
        << radiusText(map.radius, scale) << ", surveyed area "
        << surveyedAreaText(map.share.surveyedPixels, scale)
        << shareOfPlan(map.share.surveyedPixels, planPixels) << ", "
        << profileShareText(profile, map.share) << "\n";
    return kExitOk;
}

int runHeatmap(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args, {{"-o", true},
                           {"--mac", true},
                           {"--ssid", true},
                           {"--radius", true},
                           {"--threshold", true},
                           {"--metric", true},
                           {"--band", true},
                           {"--units", true},
                           {"--interpolation", true},
                           {"--group", true},
                           {"--profile", true},
                           {"--aps", false},
                           {"--force", false}});
    const std::string& path = parsed.single("SITE.kvs");
    const std::string& output = parsed.required("-o");
    const std::optional<RequirementProfile> profile = mapProfileOption(parsed);
    const std::optional<std::string> unit = unitsOption(parsed);
    HeatmapOptions options;
    const double radius = radiusOption(parsed);
    options.interpolation = interpolationOption(parsed);
    const MapChoice choice = mapChoiceOptions(parsed);
    static_cast<MetricChoice&>(options) = choice.metric;
    const NetworkFilter& filter = choice.filter;

    ReadOnlySite site = openSiteForReading(path);
    if (sameFile(path, output)) throw UsageError("the output would replace the site file itself");
    OutputFile file(output, io.out, plainOutputRules(parsed));
    const SiteLayout& layout = site.validation.layout;
    const SurveyData data = loadSurvey(site.fd.get(), layout);
    requireMappablePoints(path, data, filter, options.band);
    const std::optional<PlanScale> scale = mapScale(layout.header, unit);
    options.radius = radiusPixels(radius, scale);

    RgbImage plan = loadFloorPlan(site.fd.get(), layout, path);
    if (parsed.has("--aps"))
        options.named = locatedAccessPoints(data, layout.header, plan.width, plan.height);
    if (profile)
        return writeProfileMap(std::move(plan), data, choice, options, *profile, output, file,
                               scale, io);
    const Heatmap map = renderHeatmap(std::move(plan), data, filter, options);
    std::vector<uint8_t> png;
    const std::string problem = encodePng(map.image, png);
    if (!problem.empty()) throw FileError(output + ": " + problem);
    writeWholeFile(file, png);

    const CoverageShare& share = map.share;
    const uint64_t planPixels = uint64_t(map.image.width) * uint64_t(map.image.height);
    char shares[96];
    std::snprintf(shares, sizeof shares, " (%.1f %% of the plan), %.1f %% of it meeting the target",
                  planPixels ? 100.0 * double(share.surveyedPixels) / double(planPixels) : 0.0,
                  share.surveyedPixels
                      ? 100.0 * double(share.meetingTarget) / double(share.surveyedPixels)
                      : 0.0);
    (isStandardOutput(output) ? io.err : io.out)
        << output << ": " << metricName(options.metric) << " map, " << map.image.width << " x "
        << map.image.height << " pixels, " << map.mappedPoints << " of " << data.points.size()
        << " survey points mapped, " << interpolationName(options.interpolation) << ", radius "
        << radiusText(map.radius, scale) << ", surveyed area "
        << surveyedAreaText(share.surveyedPixels, scale) << shares << "\n";
    return kExitOk;
}

} // namespace

extern const SiteCommand kHeatmapCommand{
    "heatmap",
    "SITE.kvs -o MAP.png [--metric best|second|count|overlap] [--band 2.4|5|6] "
    "[--group radio|bssid] [--mac MAC | --ssid SSID] [--radius LENGTH] [--units m|ft] "
    "[--interpolation idw|kriging] [--threshold DBM | --profile data|voice|location|FILE] "
    "[--aps] [--force]",
    "draw a coverage map of the survey over the floor plan",
    "Writes a PNG the size of the floor plan: a value of each survey point, interpolated\n"
    "between the points and drawn over the plan. The metric says which value:\n"
    "  best     the strongest access point, in the program's RSSI colours (red -100 dBm,\n"
    "           yellow -80, green -60, cyan -40, white -20); weaker than the threshold is\n"
    "           greyed and hatched as not covered (the default)\n"
    "  second   the second strongest access point, where a client can roam to (-100 where\n"
    "           only one was heard); coloured and hatched as best\n"
    "  count    how many access points are heard at or above the threshold; hatched where\n"
    "           none is\n"
    "  overlap  how many other access points, of any network, are heard at or above\n"
    "           -85 dBm on the channel of the strongest one (the same channel of the\n"
    "           same band: 2.4 GHz channel 1 and 6 GHz channel 1 do not contend);\n"
    "           hatched above 2\n"
    "An access point is a radio, with every network it sends: BSSIDs heard on one channel\n"
    "that differ only in the low 4 bits of the last octet, or that are locally administered\n"
    "variants of one base address (the 0x02 bit of the first octet set, other bits of that\n"
    "octet maybe changed), are one radio; see aps. So second is never another network of\n"
    "the strongest radio.\n"
    "Areas farther than the radius from every point have no value and show the plan as it\n"
    "is; the surveyed area is the rest, given in square units of the plan's scale (pixels\n"
    "on a plan without one) with its share of the plan and the share of it that meets the\n"
    "metric's design target (as report counts it). Survey points are drawn as discs in the\n"
    "colour of their value (a cross for a point without one), placed access points as blue\n"
    "diamonds, and a legend naming the metric and its unit sits in the top left corner.\n"
    "Deleted points are left out.\n"
    "\n"
    "  -o MAP.png         the file to write (required); an existing file is not replaced\n"
    "                     unless --force is given, and a site file never is; '-' for\n"
    "                     standard output\n"
    "  --metric NAME      best, second, count or overlap (default best)\n"
    "  --band 2.4|5|6     only access points on 2.4 GHz (channels 1-14), 5 GHz (32-177) or\n"
    "                     6 GHz (the readings our own boards mark as 6 GHz)\n"
    "  --group radio|bssid  what counts as one access point: a radio (the default) or\n"
    "                     each BSSID on its own, every network as an access point\n"
    "  --mac MAC          map only this access point (00-1A-2B-3C-4D-5E or 00:1a:...);\n"
    "                     not with second or count\n"
    "  --ssid SSID        map only the access points of this network (exact bytes)\n"
    "  --radius LENGTH    how far a point's value reaches, from 1 to 100000000: in the\n"
    "                     unit of the plan's scale (default 5 m, a guess at how far one\n"
    "                     measurement tells of the signal indoors; 16.4 ft with --units\n"
    "                     ft); on a plan without a usable scale in pixels (default twice\n"
    "                     the median distance between neighbouring points). The scale's\n"
    "                     mean of x and y turns it into pixels\n"
    "  --units m|ft       the unit of the plan's scale, for --radius and the area\n"
    "                     (default m)\n"
    "  --interpolation M  kriging (the default: ordinary kriging over the 8 nearest points\n"
    "                     within the radius) or idw (inverse-distance weighting)\n"
    "  --threshold DBM    the weakest level counted as covered, or counted by count, from\n"
    "                     -200 to 0 (default -70)\n"
    "  --profile P        draw instead whether the survey meets what the network must\n"
    "                     carry: each surveyed spot green where every requirement of the\n"
    "                     profile holds, hatched red where one fails; the output line gives\n"
    "                     the share of the surveyed area that passes, and that meeting each\n"
    "                     requirement. Not with --metric, --threshold or --mac. The profiles\n"
    "                     (primary: the strongest access point at or above the level;\n"
    "                     secondary: the second strongest; access points: how many are heard\n"
    "                     at the level; co-channel: how many others at -85 dBm or stronger\n"
    "                     share the strongest one's channel):\n"
    "                       data      primary -70 dBm, no secondary, 1 at -70, at most 3\n"
    "                       voice     primary -67, secondary -67, 2 at -67, at most 2\n"
    "                       location  primary -67, secondary -70, 3 at -75, at most 3\n"
    "                     Any other word names a profile file, JSON such as\n"
    "                     {\"name\": \"voice\", \"primary\": -67, \"secondary\": -67,\n"
    "                      \"accessPoints\": {\"count\": 2, \"at\": -67}, \"coChannel\": 2}\n"
    "                     (\"secondary\": null or left out when not required; levels from\n"
    "                     -120 to 0 dBm, counts up to 32); a damaged file is refused\n"
    "  --aps              also mark each access point located from the survey (see aps)\n"
    "                     with a blue diamond and its networks and channel\n"
    "  --force            replace an existing MAP.png\n"
    "\n"
    "A site without survey points, or without a point that heard what is mapped, is\n"
    "refused (exit code 1): there is nothing to draw.\n",
    runHeatmap,
};

} // namespace walkmere::sitetool
