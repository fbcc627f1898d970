#include "survey/PointsAppender.h"

#include "platform/ByteOrder.h"

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

} // namespace walkmere
