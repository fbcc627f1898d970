#pragma once

#include "tools/site/HeatmapData.h"
#include "tools/site/HeatmapRender.h"
#include "tools/site/ToolArgs.h"

#include <ostream>
#include <string>
#include <vector>

namespace walkmere::sitetool {

// Option handling shared by the heatmap and report commands.
double thresholdOption(const ToolArgs& args, double fallback);
NetworkFilter filterOption(const ToolArgs& args);
// --band 2.4|5, Band::Any when absent.
Band bandOption(const ToolArgs& args);
// Throws FileError "The site has no survey points to map." (or that no point heard the
// filter's access point or network in the band) when there is nothing to map.
void requireMappablePoints(const std::string& path, const SurveyData& data,
                           const NetworkFilter& filter, Band band);
// Writes the bytes under a temporary name and renames them into place ("-": to
// standardOutput).
void writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::ostream& standardOutput);

} // namespace walkmere::sitetool
