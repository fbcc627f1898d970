#pragma once

#include "coverage/ApLocation.h"
#include "coverage/HeatmapData.h"
#include "coverage/HeatmapRender.h"
#include "coverage/RequirementProfile.h"
#include "coverage/SurveyRadios.h"
#include "survey/SiteHeader.h"
#include "tools/site/OutputFile.h"
#include "tools/site/ToolArgs.h"

#include <optional>
#include <string>
#include <vector>

namespace walkmere::sitetool {

// Option handling shared by the heatmap and report commands.
double thresholdOption(const ToolArgs& args, double fallback);
// --radius LENGTH as given, 0 (the default radius) when absent: from 1 to 100000000, in the
// plan's unit on a calibrated plan and in pixels on one without a scale (radiusPixels).
double radiusOption(const ToolArgs& args);
// --band 2.4|5|6, Band::Any when absent.
Band bandOption(const ToolArgs& args);
// --group radio|bssid, Grouping::Radio when absent.
Grouping groupOption(const ToolArgs& args);

// What a coverage map shows: --metric, --band, --group and --threshold, and --mac or --ssid (--mac
// is a usage error with a metric that compares access points).
struct MapChoice {
    MetricChoice metric;
    NetworkFilter filter;
};
MapChoice mapChoiceOptions(const ToolArgs& args);
// "network \"office\" on 5 GHz", "any access point": what a map is of, for messages.
std::string mappedText(const NetworkFilter& filter, Band band);
// Throws FileError "The site has no survey points to map." (or that no point heard the
// filter's access point or network in the band) when there is nothing to map.
void requireMappablePoints(const std::string& path, const SurveyData& data,
                           const NetworkFilter& filter, Band band);
// --profile data|voice|location|FILE: a built-in profile by its name, anything else a profile
// file (FileError when it cannot be read or is damaged); nothing when absent.
std::optional<RequirementProfile> profileOption(const ToolArgs& args);
// The same, refused (UsageError) with the options that choose a single metric: --metric,
// --threshold and --mac.
std::optional<RequirementProfile> mapProfileOption(const ToolArgs& args);
// The rules of a map's or page's output: an existing file is replaced only with --force,
// and a site file never.
OutputRules plainOutputRules(const ToolArgs& args);
// Writes the bytes to `file` and puts it in place.
void writeWholeFile(OutputFile& file, const std::vector<uint8_t>& bytes);

} // namespace walkmere::sitetool
