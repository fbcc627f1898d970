#pragma once

#include "coverage/HeatmapData.h"
#include "image/RgbImage.h"
#include "survey/BitmapExpander.h"
#include "survey/BmpInfo.h"
#include "survey/PointsReader.h"
#include "survey/PointsWalk.h"
#include "survey/SiteFile.h"

#include <cstdint>
#include <functional>
#include <optional>
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

// A point record with what the survey store's index holds for it (summarizePoint): the
// best RSSI in whole dBm over the readings present (-100 floor, always -100 for a placed
// access point) and the readings present (0 for a placed access point).
struct PointView {
    const PointsEntry& entry;
    int16_t bestRssi;
    uint16_t readingCount;
};

struct PointsTotals {
    uint32_t recordCount = 0;
    int32_t locationCount = 0; // survey points (kind 0)
    int32_t readingTotal = 0;  // their readings present
    uint32_t placedApCount = 0;
    uint32_t deletedCount = 0;
    uint32_t otherKindCount = 0;
    uint64_t tornTail = 0;        // bytes of a partial record or reading at the end
    uint32_t readingsMissing = 0; // readings the last record announces but the file lacks
    // The walk stopped at a damaged record; the numbers above count the records before it.
    std::optional<PointsDamage> damage;
};

// Walks every point record in file order, deleted ones included, up to a damaged record if
// there is one. Throws FileError when the file cannot be read.
PointsTotals walkPoints(int fd, const SiteLayout& layout,
                        const std::function<void(const PointView&)>& visit = {});

// The survey of an open site (readSurvey); throws FileError when its points cannot be read.
SurveyData loadSurvey(int fd, const SiteLayout& layout);
// The floor plan of an open site (readFloorPlan); throws FileError "PATH: floor plan: why"
// when there is no readable picture.
RgbImage loadFloorPlan(int fd, const SiteLayout& layout, const std::string& path);

const char* kindName(uint8_t kind);

// {"offset": N, "announced": M, "text": "Damaged Site File: ..."}
std::string damageJson(const PointsDamage& damage);

} // namespace walkmere::sitetool
