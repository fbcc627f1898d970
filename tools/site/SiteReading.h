#pragma once

#include "coverage/HeatmapData.h"
#include "image/RgbImage.h"
#include "survey/BitmapExpander.h"
#include "survey/BmpInfo.h"
#include "survey/PointsWalk.h"
#include "survey/SiteFile.h"

#include <cstdint>
#include <string>

namespace walkmere::sitetool {

// Opens a site file read-only and validates it; throws FileError "PATH: reason" when the
// file cannot be opened or is refused.
ReadOnlySite openSiteForReading(const std::string& path);
// The same, except that a file refused only for damaged points is returned too (its
// validation then holds the refusal and pointsDamage): for the commands that show what
// stands before the damage, and then report it.
ReadOnlySite openSiteForListing(const std::string& path);

// What the floor-plan block decodes to.
struct PlanSummary {
    ExpandResult expanded;
    BmpCheck check; // of the decoded bytes
    bool isPicture() const { return expanded.status == ExpandStatus::Ok && check.loadable; }
    // Why there is no picture ("" when there is one).
    std::string problem() const;
};

// Decodes the floor plan of an open site without keeping it: only the bitmap headers
// are held, the rest is counted.
PlanSummary inspectPlan(int fd, const SiteLayout& layout);

// Walks the points of an open site (walkPointsSection). A damage that opening found is
// reported too when the walk no longer meets it (the file changed since). Throws FileError
// when the points cannot be read.
PointsWalkEnd walkSitePoints(const ReadOnlySite& site, const PointVisitor& visit = {});

// The survey of an open site (readSurvey); throws FileError when its points cannot be read.
SurveyData loadSurvey(int fd, const SiteLayout& layout);
// The floor plan of an open site (readFloorPlan); throws FileError "PATH: floor plan: why"
// when there is no readable picture.
RgbImage loadFloorPlan(int fd, const SiteLayout& layout, const std::string& path);

const char* kindName(uint8_t kind);

// {"offset": N, "announced": M, "text": "Damaged Site File: ..."}
std::string damageJson(const PointsDamage& damage);

} // namespace walkmere::sitetool
