#pragma once

#include "coverage/HeatmapRender.h"
#include "coverage/PlanScale.h"
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

// Everything the report shows, read from the site before any of the page is written.
struct ReportData {
    std::string path; // the site file as named to the tool
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

// The site file keeps no time per point, so the survey's dates are those the file system
// keeps for the open file `fd`: "2024-05-01 09:12 +0200 to 2024-05-01 11:40 +0200", or
// only its last change where the file system records no creation or the file is a copy.
std::string surveyDates(int fd);

// The survey report: one self-contained HTML page of the site's figures, its coverage maps
// with the share of the surveyed area meeting the usual design targets, the access points
// heard, the points and the signature; its pictures are PNGs inside the page.
//
// The page is written as it is made, in three parts: the maps, which on the page follow the
// figures of every map, are written first to a stream of their own (writeMaps); then the page
// is the front (writeFront), those maps copied in, and the back (writeBack). Only the plan,
// one map and small buffers are held.
class CoverageReport {
public:
    explicit CoverageReport(ReportData data);

    // Makes the maps one at a time and writes each to `maps` as soon as it is made: from the
    // map of all access points to the last metric's section. `mapWritten` is called after
    // each, so that a failed write stops the report there.
    void writeMaps(std::ostream& maps, const std::function<void()>& mapWritten);
    // The head, the profile's summary, the site, the design targets and the coverage table;
    // after writeMaps.
    void writeFront(std::ostream& html) const;
    // The access points heard, the survey points, the placed access points, the signature
    // and the end of the page.
    void writeBack(std::ostream& html) const;

    size_t surveyPointCount() const { return data.survey.points.size(); }
    size_t accessPointCount() const { return aps.size(); }
    size_t networkCount() const { return ssids.size(); }

    // One access point heard during the survey, keyed by its MAC.
    struct HeardAp {
        std::string ssid; // as first heard
        // Every channel it was heard on, as shown, in the order of their frequencies.
        std::map<int32_t, std::string> channels;
        std::vector<int> bestRssi; // its strongest reading at each point that heard it
    };

    // One metric's map of every access point.
    struct MetricMap {
        Metric metric;
        Heatmap map; // its picture goes once it is written
    };

private:
    ReportData data;
    std::map<std::array<uint8_t, 6>, HeardAp> aps;
    std::set<std::string> ssids; // every network named by any reading

    // What the page says of the maps besides their pictures; set by writeMaps.
    MetricMap best{Metric::Best, {}};
    MetricMap second{Metric::Second, {}};
    MetricMap count{Metric::Count, {}};
    MetricMap overlap{Metric::Overlap, {}};
    std::string networkRows; // each network's row of the coverage table
};

} // namespace walkmere
