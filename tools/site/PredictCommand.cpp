#include "coverage/HeatmapRender.h"
#include "coverage/ModelSite.h"
#include "coverage/PredictedCoverage.h"
#include "coverage/ProfileMap.h"
#include "image/PngWriter.h"
#include "platform/RegularFile.h"
#include "sim/SiteModel.h"
#include "tools/site/HeatmapCommand.h"
#include "tools/site/OutputFile.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/ToolArgs.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace walkmere::sitetool {

namespace {

// The options that shape a map; --truth-at writes none.
constexpr const char* kMapOptions[] = {"-o",     "--metric",    "--band",    "--group", "--mac",
                                       "--ssid", "--threshold", "--profile", "--force"};

struct Spot {
    double x = 0;
    double y = 0;
};

// "X,Y": two numbers of plan pixels.
Spot spotOption(const std::string& text) {
    const auto number = [&](const char* from, char*& end) {
        errno = 0;
        const double v = std::strtod(from, &end);
        return end != from && errno != ERANGE && std::isfinite(v) ? v : NAN;
    };
    char* end = nullptr;
    Spot spot;
    spot.x = number(text.c_str(), end);
    const bool comma = *end == ',';
    if (comma) spot.y = number(end + 1, end);
    if (!comma || *end != '\0' || std::isnan(spot.x) || std::isnan(spot.y))
        throw UsageError("option '--truth-at' needs a spot X,Y in plan pixels, not '" + text + "'");
    return spot;
}

// The model laid over its site's plan, which is kept in `plan` when one is given.
ModelSite openModel(const std::string& modelPath, RgbImage* plan = nullptr) {
    std::string error;
    std::optional<ModelSite> opened = openModelSite(modelPath, error, plan);
    if (!opened) throw FileError(error);
    return std::move(*opened);
}

// Every BSS heard at the spot, strongest first, as JSON.
std::string truthJson(const sim::SimulatedSite& site, Spot spot) {
    nlohmann::ordered_json heard = nlohmann::ordered_json::array();
    for (const sim::HeardBss& h : site.truthAt(spot.x, spot.y)) {
        const sim::ModelAccessPoint& ap = site.model().accessPoints[size_t(h.accessPoint)];
        const sim::ModelRadio& radio = ap.radios[size_t(h.radio)];
        const sim::ModelBss& bss = radio.bss[size_t(h.bss)];
        heard.push_back({{"accessPoint", ap.name},
                         {"band", sim::bandWord(radio.band)},
                         {"channel", radio.channel},
                         {"bssid", sim::bssidText(bss.bssid)},
                         {"ssid", bss.ssid},
                         {"rssi", std::round(h.rssiDbm * 10) / 10},
                         {"walls", site.wallsCrossed(h.accessPoint, spot.x, spot.y)}});
    }
    const nlohmann::ordered_json truth{{"x", spot.x}, {"y", spot.y}, {"heard", std::move(heard)}};
    return truth.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

int printTruth(const std::string& modelPath, const std::string& spotText, ToolStreams& io) {
    const Spot spot = spotOption(spotText);
    const ModelSite opened = openModel(modelPath);
    const sim::SimulatedSite& site = *opened.site;
    if (!(spot.x >= 0 && spot.x < site.width() && spot.y >= 0 && spot.y < site.height()))
        throw UsageError("--truth-at " + spotText + " is off the plan (" +
                         std::to_string(site.width()) + " x " + std::to_string(site.height()) +
                         " pixels)");
    io.out << truthJson(site, spot);
    return kExitOk;
}

// predict --profile: where the model meets every requirement, over the whole plan.
int writePredictedProfile(RgbImage plan, const sim::SimulatedSite& site, const sim::TruthGrid& grid,
                          const MapChoice& mapped, const RequirementProfile& profile,
                          const std::vector<NamedAp>& accessPoints, const std::string& output,
                          OutputFile& file, ToolStreams& io) {
    std::vector<MapRaster> values;
    std::array<const MapRaster*, kRequirementCount> rasters{};
    values.reserve(kRequirementCount);
    for (size_t i = 0; i < kRequirementCount; ++i) {
        const MetricChoice choice = requirementChoice(profile, kRequirements[i], mapped.metric);
        values.emplace_back(site.width(), site.height(),
                            predictedNodes(site, grid, mapped.filter, choice));
        rasters[i] = &values.back();
    }
    const ProfileMap map = renderProfileValueMap(std::move(plan), rasters, profile, accessPoints);
    std::vector<uint8_t> png;
    const std::string problem = encodePng(map.image, png);
    if (!problem.empty()) throw FileError(output + ": " + problem);
    writeWholeFile(file, png);
    (isStandardOutput(output) ? io.err : io.out)
        << output << ": " << profile.name << " profile map, " << map.image.width << " x "
        << map.image.height << " pixels, predicted for " << accessPoints.size()
        << " access points in cells of " << grid.cell() << " x " << grid.cell() << " pixels, "
        << profileShareText(profile, map.share) << "\n";
    return kExitOk;
}

int runPredict(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args, {{"-o", true},
                           {"--truth-at", true},
                           {"--mac", true},
                           {"--ssid", true},
                           {"--threshold", true},
                           {"--metric", true},
                           {"--band", true},
                           {"--group", true},
                           {"--profile", true},
                           {"--force", false}});
    const std::string& modelPath = parsed.single("MODEL.json");
    if (const auto spot = parsed.value("--truth-at")) {
        for (const char* option : kMapOptions)
            if (parsed.has(option))
                throw UsageError(std::string("--truth-at prints the truth and draws no map: give "
                                             "it without ") +
                                 option);
        return printTruth(modelPath, *spot, io);
    }
    const MapChoice choice = mapChoiceOptions(parsed);
    const std::string& output = parsed.required("-o");
    const std::optional<RequirementProfile> profile = mapProfileOption(parsed);

    if (sameFile(modelPath, output)) throw UsageError("the output would replace the model itself");
    RgbImage plan;
    const ModelSite opened = openModel(modelPath, &plan);
    const sim::SimulatedSite& site = *opened.site;
    if (sameFile(opened.sitePath, output))
        throw UsageError("the output would replace the site file itself");
    OutputFile file(output, io.out, plainOutputRules(parsed));
    if (mappedBssCount(site.model(), choice.filter, choice.metric.band) == 0)
        throw FileError(modelPath + ": No access point of the model sends " +
                        mappedText(choice.filter, choice.metric.band) +
                        ", so there is nothing to map.");

    const sim::TruthGrid grid(site, predictionCell(site));
    std::vector<NamedAp> accessPoints;
    for (const sim::ModelAccessPoint& ap : site.model().accessPoints)
        accessPoints.push_back({int32_t(ap.x), int32_t(ap.y), ap.name});
    if (profile)
        return writePredictedProfile(std::move(plan), site, grid, choice, *profile, accessPoints,
                                     output, file, io);
    const MapRaster values(site.width(), site.height(),
                           predictedNodes(site, grid, choice.filter, choice.metric));
    const Heatmap map = renderValueMap(std::move(plan), values, choice.metric, accessPoints);

    std::vector<uint8_t> png;
    const std::string problem = encodePng(map.image, png);
    if (!problem.empty()) throw FileError(output + ": " + problem);
    writeWholeFile(file, png);

    char line[200];
    std::snprintf(line, sizeof line,
                  ": %s map, %d x %d pixels, predicted for %zu access points in cells of "
                  "%d x %d pixels\n",
                  metricName(choice.metric.metric), map.image.width, map.image.height,
                  accessPoints.size(), grid.cell(), grid.cell());
    (isStandardOutput(output) ? io.err : io.out) << output << line;
    return kExitOk;
}

} // namespace

extern const SiteCommand kPredictCommand{
    "predict",
    "MODEL.json (-o MAP.png [--metric best|second|count|overlap] [--band 2.4|5|6] "
    "[--group radio|bssid] [--mac MAC | --ssid SSID] [--threshold DBM | --profile P] "
    "[--force] | "
    "--truth-at X,Y)",
    "draw the coverage a site model predicts over its floor plan",
    "Reads a site model (the access points of a site, where they stand, their radios and\n"
    "networks, and how the signal falls off through distance and walls) and the site file\n"
    "it names, found beside the model unless the model gives a full path, and writes a PNG\n"
    "the size of the floor plan: the coverage the model predicts, in the colours, metrics\n"
    "and legend of heatmap. The prediction covers the whole plan: a BSS counts where it\n"
    "is heard at or above its band's noise floor, and where nothing of what is mapped is\n"
    "heard the map is greyed and hatched as not covered. Each access point of the model is\n"
    "marked with a blue diamond and its name. Metrics count radios, as heatmap does: the\n"
    "BSSIDs of one radio are told by their addresses, as heatmap tells them, not by the\n"
    "model's radios.\n"
    "\n"
    "  -o MAP.png         the file to write (required for a map); an existing file is not\n"
    "                     replaced unless --force is given, and a site file never is; '-'\n"
    "                     for standard output\n"
    "  --metric NAME      best, second, count or overlap, as for heatmap (default best)\n"
    "  --band 2.4|5|6     only radios on 2.4 GHz, 5 GHz or 6 GHz\n"
    "  --group radio|bssid  as for heatmap (default radio)\n"
    "  --mac MAC          map only this BSSID; not with second or count\n"
    "  --ssid SSID        map only the BSSs of this network (exact bytes)\n"
    "  --threshold DBM    as for heatmap (default -70)\n"
    "  --profile P        data, voice, location or a profile file, as for heatmap: where\n"
    "                     the model meets every requirement (green) and where not (hatched\n"
    "                     red, as is where nothing is heard); not with --metric,\n"
    "                     --threshold or --mac\n"
    "  --force            replace an existing MAP.png\n"
    "  --truth-at X,Y     draw no map: print as JSON what the model gives at plan pixel\n"
    "                     X,Y (the spot, then each BSS heard there, strongest first, with\n"
    "                     its access point, band, channel, BSSID, SSID, RSSI in dBm to a\n"
    "                     tenth and the walls between it and the spot); not with the map's\n"
    "                     options\n"
    "\n"
    "A model that is damaged or does not fit its plan (an access point off the plan, a plan\n"
    "without a scale) is refused with the key at fault and the reason (exit code 1), and so\n"
    "is a map of what no access point of the model sends.\n",
    runPredict,
};

} // namespace walkmere::sitetool
