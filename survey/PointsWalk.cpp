#include "survey/PointsWalk.h"

#include <cstring>

namespace walkmere {

int16_t strongestRssi(const std::vector<ApReading>& readings) {
    int16_t best = kPointRssiFloor;
    for (const ApReading& r : readings) {
        const int dbm = r.rssiDbm();
        if (dbm > best) best = static_cast<int16_t>(dbm);
    }
    return best;
}

PointSummary summarizePoint(const PointsEntry& entry) {
    if (entry.record.kind() == KIND_DYNAMIC_AP) return {};
    return {strongestRssi(entry.readings), entry.readingsPresent()};
}

void PointCounts::count(const PointsEntry& entry) {
    ++records;
    switch (entry.record.kind()) {
    case KIND_SURVEY_POINT:
        ++locationCount;
        readingTotal += entry.readingsPresent();
        break;
    case KIND_DYNAMIC_AP:
        ++placedAps;
        break;
    case KIND_DELETED:
        ++deleted;
        break;
    default:
        ++otherKinds;
    }
}

PointsWalkEnd walkPointsSection(int fd, uint64_t pointsOffset, const PointVisitor& visit) {
    CPointsReader reader(fd, pointsOffset);
    PointsEntry entry;
    PointsWalkEnd end;
    while (reader.next(entry)) {
        if (visit && !visit(entry, summarizePoint(entry))) return end;
        end.counts.count(entry);
    }
    end.status = reader.status();
    end.error = reader.error();
    if (end.status == CPointsReader::Status::End) end.tail = reader.tail();
    if (end.status == CPointsReader::Status::Damaged) end.damage = reader.damage();
    return end;
}

std::string pointsWalkProblem(const PointsWalkEnd& end) {
    switch (end.status) {
    case CPointsReader::Status::Ok:
    case CPointsReader::Status::End:
    case CPointsReader::Status::Damaged:
        return {};
    case CPointsReader::Status::ReadError:
        return std::string("cannot read the points: ") + std::strerror(end.error);
    case CPointsReader::Status::NoSection:
    case CPointsReader::Status::BadSizes:
        break;
    }
    return "Damaged Site File: points section unreadable.";
}

} // namespace walkmere
