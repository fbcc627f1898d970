#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "survey/PointRecords.h"
#include "survey/PointsWalk.h"

namespace walkmere {

// Lays out what goes into a points section: its head, then whole point records, each
// directly followed by its readings. The bytes gather here so that one write puts whole
// records into the file: the store writes a point with its readings in one piece, merge
// many points at a time.
class PointsAppender {
public:
    // The section's head: pointRecordSize 71 and readingSize 41, the sizes of every record
    // laid out here.
    void addSectionHead();
    // `record` with its readingCount set to the number of `readings`, then the readings.
    void addPoint(PointRecord record, std::span<const ApReading> readings = {});

    const std::vector<uint8_t>& bytes() const { return pending; }
    // The bytes were written: gathering starts again.
    void clear() { pending.clear(); }

private:
    std::vector<uint8_t> pending;
};

// Makes the file end where `tail` says the whole records end, so that the next append
// lands right after them: rewrites the count of a record whose readings were cut to the
// readings present, cuts the partial bytes, and flushes, all through fileOps(). Returns 0,
// or the errno of the failure.
int repairPointsTail(int fd, const PointsTail& tail);

} // namespace walkmere
