#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "survey/PointRecords.h"

namespace walkmere {

// The floor of a point's best RSSI, in dBm.
inline constexpr int16_t kPointRssiFloor = -100;

// One point record of the points section as found in the file.
struct PointsEntry {
    uint64_t fileOffset = 0; // of the PointRecord
    PointRecord record;
    // The readings that follow the record, in file order; fewer than
    // record.readingCount() only when the file ends inside them.
    std::vector<ApReading> readings;

    uint16_t readingsPresent() const { return static_cast<uint16_t>(readings.size()); }
    bool readingsCut() const { return readings.size() < record.readingCount(); }
};

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

// How the points section ends. A section written whole ends right after the last reading
// of its last record; a write cut short (a crash, a full disk) can leave part of a record
// or fewer readings than the last record announces.
struct PointsTail {
    bool torn = false;     // anything after wholeEnd, or a record announcing missing readings
    uint64_t wholeEnd = 0; // end of the last whole record or reading: where the file should end
    uint64_t fileEnd = 0;  // where the file ends
    // The last record announces more readings than the file holds.
    bool readingsCut = false;
    uint64_t cutRecordOffset = 0;
    PointRecord cutRecord; // as the file holds it
    uint16_t announced = 0;
    uint16_t present = 0;

    uint64_t tornBytes() const { return fileEnd - wholeEnd; } // partial record or reading
    uint16_t missingReadings() const {
        return readingsCut ? static_cast<uint16_t>(announced - present) : uint16_t{0};
    }
};

// A point record that announces more readings than any commit writes: a bad sector or a
// flipped bit, not an interrupted write. What follows it cannot be told apart from its
// readings, so nothing after it is read and nothing may be cut or rewritten.
struct PointsDamage {
    uint64_t recordOffset = 0;
    uint16_t announced = 0;

    // "the point record at byte 12345 announces 65535 readings (at most 32)."
    std::string describe() const;
};

// How a walk over the points section ended.
struct PointsWalkEnd {
    enum class Status {
        Stopped,   // the visitor stopped the walk
        End,       // the section was read to the end of the file; tail says how it ends
        NoSection, // the file ends before the 8 bytes of the section's head
        BadSizes,  // the stored sizes are not 71 and 41; no record is read
        ReadError, // the system refused a read; error holds its errno
        Damaged,   // a record announces more than kMaxReadingsPerPoint; see damage
    };
    Status status = Status::Stopped;
    int error = 0;                      // with ReadError
    PointCounts counts;                 // of the records visited, not the one that stopped it
    PointsTail tail;                    // with End
    std::optional<PointsDamage> damage; // with Damaged
};

// Called for each record in file order, deleted ones included, with the readings present;
// false stops the walk.
using PointVisitor = std::function<bool(const PointsEntry&, const PointSummary&)>;

inline constexpr size_t kPointsWalkBuffer = 64 * 1024;

// Reads the points section at `pointsOffset` record by record, up to a damaged record if
// there is one, and counts the records. A record whose readings are cut short by the end
// of the file is visited with the readings present, and ends the walk. The file is read
// forward through a buffer of `bufferSize` bytes, so a large survey loads with few system
// calls, and through fileOps(), so that reads can be made to fail in tests. Only reads;
// `visit` may be empty.
PointsWalkEnd walkPointsSection(int fd, uint64_t pointsOffset, const PointVisitor& visit = {},
                                size_t bufferSize = kPointsWalkBuffer);

// Why a walk that ended so did not read the section: "" when it read it to the end of the
// file, up to a damaged record (the end's damage tells of it) or until its visitor stopped;
// else "cannot read the points: <the system's reason>" or "Damaged Site File: points section
// unreadable." (no section head, or other record sizes).
std::string pointsWalkProblem(const PointsWalkEnd& end);

} // namespace walkmere
