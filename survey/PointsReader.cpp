#include "survey/PointsReader.h"

#include <cerrno>
#include <cstring>

#include "platform/ByteOrder.h"
#include "survey/FileOps.h"

namespace walkmere {

CPointsReader::CPointsReader(int fd, uint64_t pointsOffset, size_t bufferSize)
    : fd(fd), sectionOffset(pointsOffset), buffer(bufferSize < 256 ? 256 : bufferSize),
      bufferStart(pointsOffset) {}

bool CPointsReader::fill() {
    // Keep nothing: take() has already copied out everything before bufferPos.
    bufferStart += bufferUsed;
    bufferUsed = 0;
    bufferPos = 0;
    if (atEof) return false;
    ssize_t n = readUpTo(fd, buffer.data(), buffer.size(), bufferStart);
    if (n < 0) {
        state = Status::ReadError;
        errorNumber = errno;
        return false;
    }
    bufferUsed = static_cast<size_t>(n);
    if (bufferUsed < buffer.size()) atEof = true;
    return bufferUsed > 0;
}

size_t CPointsReader::take(uint8_t* out, size_t n) {
    size_t got = 0;
    while (got < n) {
        if (bufferPos == bufferUsed && !fill()) break;
        size_t piece = bufferUsed - bufferPos;
        if (piece > n - got) piece = n - got;
        std::memcpy(out + got, buffer.data() + bufferPos, piece);
        bufferPos += piece;
        got += piece;
    }
    return got;
}

CPointsReader::Status CPointsReader::open() {
    uint8_t head[kPointsSectionHead];
    size_t got = take(head, sizeof head);
    if (state == Status::ReadError) return state;
    if (got < sizeof head) {
        done = true;
        return state = Status::NoSection;
    }
    recordSize = readLe32(head);
    readingBytes = readLe32(head + 4);
    if (recordSize != kPointRecordSize || readingBytes != kReadingSize) {
        done = true;
        return state = Status::BadSizes;
    }
    opened = true;
    tailInfo.wholeEnd = tailInfo.fileEnd = sectionOffset + kPointsSectionHead;
    return state = Status::Ok;
}

void CPointsReader::finish(uint64_t wholeEnd, uint64_t fileEnd) {
    done = true;
    state = Status::End;
    tailInfo.wholeEnd = wholeEnd;
    tailInfo.fileEnd = fileEnd;
    tailInfo.torn = tailInfo.readingsCut || fileEnd != wholeEnd;
}

bool CPointsReader::next(PointsEntry& entry) {
    if (!opened && !done && open() != Status::Ok) return false;
    if (done) {
        if (state == Status::Ok) state = Status::End;
        return false;
    }

    const uint64_t recordOffset = bufferStart + bufferPos;
    size_t got = take(entry.record.bytes.data(), kPointRecordSize);
    if (state == Status::ReadError) {
        done = true;
        return false;
    }
    if (got < kPointRecordSize) {
        finish(recordOffset, recordOffset + got); // got == 0 is the clean end
        return false;
    }

    entry.fileOffset = recordOffset;
    const uint16_t announced = entry.record.readingCount();
    if (announced > kMaxReadingsPerPoint) {
        damageInfo = PointsDamage{recordOffset, announced};
        done = true;
        state = Status::Damaged;
        return false;
    }
    entry.readings.resize(announced);
    uint16_t present = 0;
    size_t partial = 0;
    while (present < announced) {
        got = take(entry.readings[present].bytes.data(), kReadingSize);
        if (got < kReadingSize) {
            partial = got;
            break;
        }
        ++present;
    }
    entry.readings.resize(present);
    if (state == Status::ReadError) {
        done = true;
        return false;
    }
    if (present < announced) {
        const uint64_t wholeEnd =
            recordOffset + kPointRecordSize + static_cast<uint64_t>(present) * kReadingSize;
        tailInfo.readingsCut = true;
        tailInfo.cutRecordOffset = recordOffset;
        tailInfo.cutRecord = entry.record;
        tailInfo.announced = announced;
        tailInfo.present = present;
        finish(wholeEnd, wholeEnd + partial);
        state = Status::Ok; // this record is delivered; the next call reports the end
        return true;
    }
    state = Status::Ok;
    return true;
}

std::string PointsDamage::describe() const {
    return "the point record at byte " + std::to_string(recordOffset) + " announces " +
           std::to_string(announced) + " readings (at most " +
           std::to_string(kMaxReadingsPerPoint) + ").";
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
