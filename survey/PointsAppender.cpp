#include "survey/PointsAppender.h"

#include <cerrno>

#include "platform/ByteOrder.h"
#include "survey/FileOps.h"

namespace walkmere {

void PointsAppender::addSectionHead() {
    uint8_t head[kPointsSectionHead];
    writeLe32(head, kPointRecordSize);
    writeLe32(head + 4, kReadingSize);
    pending.insert(pending.end(), head, head + sizeof head);
}

void PointsAppender::addPoint(PointRecord record, std::span<const ApReading> readings) {
    record.setReadingCount(static_cast<uint16_t>(readings.size()));
    pending.insert(pending.end(), record.bytes.begin(), record.bytes.end());
    for (const ApReading& reading : readings)
        pending.insert(pending.end(), reading.bytes.begin(), reading.bytes.end());
}

int repairPointsTail(int fd, const PointsTail& tail) {
    if (tail.readingsCut) {
        uint8_t count[2];
        writeLe16(count, tail.present);
        if (int error = writeAllAt(fd, count, sizeof count, tail.cutRecordOffset + 40))
            return error;
    }
    if (fileOps().ftruncate(fd, static_cast<off_t>(tail.wholeEnd)) != 0) return errno;
    if (fileOps().fdatasync(fd) != 0) return errno;
    return 0;
}

} // namespace walkmere
