#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "survey/PointRecords.h"
#include "survey/PointsReader.h"

namespace walkmere {

// The floor of a point's best RSSI, in dBm.
inline constexpr int16_t kPointRssiFloor = -100;

// The strongest of the readings in whole dBm; kPointRssiFloor when none is stronger.
int16_t strongestRssi(const std::vector<ApReading>& readings);

// A point record as the store's index and the site tool show it: the strongest of the
// readings present and their number; a placed access point has kPointRssiFloor and none.
struct PointSummary {
    int16_t bestRssi = kPointRssiFloor;
    uint16_t readingCount = 0;
};

PointSummary summarizePoint(const PointsEntry& entry);

// The records of a points section by kind, counted as the store counts them when it loads
// the points: locationCount and readingTotal are the status line's two counters.
struct PointCounts {
    uint32_t records = 0;      // every record, deleted ones included
    int32_t locationCount = 0; // survey points
    int32_t readingTotal = 0;  // the readings present of the survey points
    uint32_t placedAps = 0;
    uint32_t deleted = 0;
    uint32_t otherKinds = 0;

    void count(const PointsEntry& entry);
};

// How a walk over the points section ended.
struct PointsWalkEnd {
    // End when the section was read to the end of the file (tail says whether it ends
    // torn); Damaged, ReadError, NoSection or BadSizes as the reader says; Ok when the
    // visitor stopped the walk.
    CPointsReader::Status status = CPointsReader::Status::Ok;
    int error = 0;                      // errno of a ReadError
    PointCounts counts;                 // of the records visited, not the one that stopped it
    PointsTail tail;                    // with End
    std::optional<PointsDamage> damage; // with Damaged
};

// Called for each record in file order, deleted ones included; false stops the walk.
using PointVisitor = std::function<bool(const PointsEntry&, const PointSummary&)>;

// Reads the points section at `pointsOffset` record by record, up to a damaged record if
// there is one, and counts the records. Only reads; `visit` may be empty.
PointsWalkEnd walkPointsSection(int fd, uint64_t pointsOffset, const PointVisitor& visit = {});

// Why a walk that ended so did not read the section: "" when it read it to the end of the
// file, up to a damaged record (the end's damage tells of it) or until its visitor stopped;
// else "cannot read the points: <the system's reason>" or "Damaged Site File: points section
// unreadable." (no section head, or other record sizes).
std::string pointsWalkProblem(const PointsWalkEnd& end);

} // namespace walkmere
