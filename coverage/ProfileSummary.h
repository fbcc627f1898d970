#pragma once

#include "coverage/HeatmapData.h"
#include "coverage/HeatmapRender.h"
#include "coverage/PlanScale.h"
#include "coverage/ProfileMap.h"
#include "coverage/RequirementProfile.h"
#include "image/RgbImage.h"

#include <cstdint>
#include <optional>
#include <ostream>

namespace walkmere {

// A requirement passes when at least this share of the surveyed area meets it, and the
// profile when this share meets every requirement at once: a survey is never perfect at its
// edges, but a twentieth is as much as a design may leave uncovered.
inline constexpr double kPassingShare = 0.95;
bool sharePasses(uint64_t part, uint64_t whole);

// The report's summary at the top of the page: the profile, each requirement with the share
// of the surveyed area meeting it and whether it passes, the whole profile's share and
// result, and the pass/fail map (renderProfileMap) of every access point. Throws
// ReportError when the map's picture cannot be made.
void writeProfileSummary(std::ostream& html, const RgbImage& plan, const SurveyData& survey,
                         const HeatmapOptions& options, const RequirementProfile& profile,
                         const std::optional<PlanScale>& scale);

} // namespace walkmere
