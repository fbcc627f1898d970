#pragma once

#include "coverage/CoverageGrid.h"
#include "image/RgbImage.h"
#include "survey/PointRecords.h"
#include "survey/PointsWalk.h"
#include "survey/SiteFile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace walkmere {

// A survey point as the maps use it. Deleted points are never part of a survey.
struct SurveyPoint {
    int32_t x = 0;
    int32_t y = 0;
    uint64_t fileOffset = 0;
    std::vector<ApReading> readings; // the readings present in the file
    bool walked = false;             // a sample taken walking (label "WALK"), not a measured spot
};

struct PlacedAp {
    int32_t x = 0;
    int32_t y = 0;
};

struct SurveyData {
    std::vector<SurveyPoint> points;    // kind 0, in file order
    std::vector<PlacedAp> accessPoints; // kind 1
    PointCounts counts;                 // every record read, deleted ones included
};

// Reads the live survey points and placed access points of an open site into `data` (deleted
// records and unknown kinds are left out, but counted; points after a damaged record are
// not read). Returns "" or why the points cannot be read (pointsWalkProblem).
std::string readSurvey(int fd, const SiteLayout& layout, SurveyData& data);

// Decodes the floor plan of an open site into pixels. Returns "" or why there is no readable
// picture.
std::string readFloorPlan(int fd, const SiteLayout& layout, RgbImage& plan);

// What a map shows: every reading, or those of one access point (MAC) or one network
// (SSID, compared byte for byte).
struct NetworkFilter {
    std::optional<std::array<uint8_t, 6>> mac;
    std::optional<std::string> ssid;
    bool matches(const ApReading& reading) const;
    bool matches(const uint8_t* mac, std::string_view ssid) const;
};

// The value of a point for the map: its strongest matching reading in dBm, or nothing when
// it heard nothing that matches (such a point is not a -100 measurement).
std::optional<double> pointValue(const SurveyPoint& point, const NetworkFilter& filter);

std::vector<SampleValue> samplesFor(const SurveyData& data, const NetworkFilter& filter);

} // namespace walkmere
