#pragma once

#include "coverage/HeatmapRender.h"
#include "coverage/PlanScale.h"
#include "coverage/ReportInventory.h"
#include "coverage/RequirementProfile.h"
#include "image/RgbImage.h"
#include "survey/SiteFile.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace walkmere {

// Thrown when a picture of the page cannot be made for a reason of the encoder's own; a
// write that fails is the stream's to tell.
struct ReportError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What the title page says of the survey, each text as the surveyor gave it; empty ones
// are left out.
struct ReportCover {
    std::string title; // "Wi-Fi survey report" when empty
    std::string client;
    std::string site;
    std::string surveyor;
    std::string notes; // its lines kept
    std::string made;  // when the report was made, localTime
};

// One floor's part of the report: the site file's, read before any of it is written.
struct ReportData {
    std::string path;  // the site file as named to the tool
    std::string floor; // its name on the page; the path when not named
    // The networks whose maps the report shows, by SSID; empty: those heard at the most
    // points, up to kMostMappedNetworks.
    std::vector<std::string> mappedSsids;
    SiteLayout layout;
    HeatmapOptions options;                                 // the radius and threshold of every map
    RequirementProfile profile = builtInProfiles().front(); // the summary's; data by default
    std::optional<PlanScale> mapScale;   // lengths and areas, on a calibrated plan
    std::string scale;                   // the plan's scale in words
    std::optional<std::string> realSize; // the plan's real size, when a unit was asked for
    std::string dates;                   // surveyDates
    SurveyData survey;
    RgbImage plan;
    std::vector<uint8_t> signature; // the signature block, as much as the file holds
};

// Networks mapped when none is named.
inline constexpr size_t kMostMappedNetworks = 3;

// "2026-12-09 14:05 CET": a time in the local time zone, named by its abbreviation (its
// offset, "+0530", where the zone has no name).
std::string localTime(int64_t seconds);

// The site file keeps no time per point, so the survey's dates are those the file system
// keeps for the open file `fd`: "2024-05-01 09:12 CEST to 2024-05-01 11:40 CEST", or
// only its last change where the file system records no creation or the file is a copy.
std::string surveyDates(int fd);

// What the title page lists of each floor.
struct FloorSummary {
    std::string floor;
    std::string path;
    std::string dates;
    size_t points = 0;
    size_t accessPoints = 0;
    std::string surveyedArea; // surveyedAreaText of the map of all access points
};

// The survey report is one self-contained HTML page: the title page (writeReportTop), one
// section per floor (CoverageReport) and the end (writeReportEnd). Its pictures are PNGs
// inside the page. The title page lists every floor, so it is written after them: the floors
// go to a file of their own first and are copied in after it.
void writeReportTop(std::ostream& html, const ReportCover& cover,
                    const std::vector<FloorSummary>& floors);
void writeReportEnd(std::ostream& html);

// One floor of the survey report: the site's figures, its coverage maps with the share of
// the surveyed area meeting the usual design targets, the access points, the networks, the
// points and the signature.
//
// The section is written as it is made, in three parts: the maps, which on the page follow
// the figures of every map, are written first to a stream of their own (writeMaps); then the
// section is the front (writeFront), those maps copied in, and the back (writeBack). Only the
// plan, one map and small buffers are held.
class CoverageReport {
public:
    explicit CoverageReport(ReportData data);
    // It points into its own lists.
    CoverageReport(const CoverageReport&) = delete;
    CoverageReport& operator=(const CoverageReport&) = delete;

    // Makes the maps one at a time and writes each to `maps` as soon as it is made: from the
    // map of all access points to the last metric's section. `mapWritten` is called after
    // each, so that a failed write stops the report there.
    void writeMaps(std::ostream& maps, const std::function<void()>& mapWritten);
    // The floor's heading, the profile's summary, the site, the design targets and the
    // coverage table; after writeMaps.
    void writeFront(std::ostream& html) const;
    // The access points, the other networks, the survey points, the signature and the end
    // of the section.
    void writeBack(std::ostream& html) const;
    // After writeMaps.
    FloorSummary summary() const;

    size_t surveyPointCount() const { return data.survey.points.size(); }
    size_t accessPointCount() const { return inventory.size(); }
    size_t networkCount() const { return networks.size(); }

    // One metric's map of every access point.
    struct MetricMap {
        Metric metric;
        Heatmap map; // its picture goes once it is written
    };

private:
    ReportData data;
    std::vector<InventoryAp> inventory;
    std::vector<HeardNetwork> networks;
    std::vector<const HeardNetwork*> mapped; // of networks, in the order mapped
    std::vector<const HeardNetwork*> others; // the rest, by SSID

    // What the page says of the maps besides their pictures; set by writeMaps.
    MetricMap best{Metric::Best, {}};
    MetricMap second{Metric::Second, {}};
    MetricMap count{Metric::Count, {}};
    MetricMap overlap{Metric::Overlap, {}};
    std::string networkRows; // each network's row of the coverage table
};

} // namespace walkmere
