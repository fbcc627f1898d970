#include "survey/PointsWalk.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/ByteOrder.h"
#include "survey/FileOps.h"

namespace walkmere {

namespace {

using Status = PointsWalkEnd::Status;

// Reads a file forward from an offset through a buffer.
class ForwardReader {
public:
    ForwardReader(int fd, uint64_t offset, size_t bufferSize)
        : fd(fd), buffer(std::max<size_t>(bufferSize, 256)), bufferStart(offset) {}

    // Copies up to n bytes from the current position; fewer only at the end of the file or
    // on a read error (failed() then).
    size_t take(uint8_t* out, size_t n) {
        // Mostly the bytes are all in the buffer: one copy of a size the caller knows.
        if (bufferUsed - bufferPos >= n) {
            std::memcpy(out, buffer.data() + bufferPos, n);
            bufferPos += n;
            return n;
        }
        size_t got = 0;
        while (got < n) {
            if (bufferPos == bufferUsed && !fill()) break;
            const size_t piece = std::min(bufferUsed - bufferPos, n - got);
            std::memcpy(out + got, buffer.data() + bufferPos, piece);
            bufferPos += piece;
            got += piece;
        }
        return got;
    }
    uint64_t position() const { return bufferStart + bufferPos; }
    bool failed() const { return readFailed; }
    int error() const { return errorNumber; }

private:
    bool fill() {
        // Keep nothing: take() has already copied out everything before bufferPos.
        bufferStart += bufferUsed;
        bufferUsed = 0;
        bufferPos = 0;
        if (atEof) return false;
        const ssize_t n = readUpTo(fd, buffer.data(), buffer.size(), bufferStart);
        if (n < 0) {
            readFailed = true;
            errorNumber = errno;
            return false;
        }
        bufferUsed = static_cast<size_t>(n);
        if (bufferUsed < buffer.size()) atEof = true;
        return bufferUsed > 0;
    }

    int fd;
    std::vector<uint8_t> buffer;
    uint64_t bufferStart;  // file offset of buffer[0]
    size_t bufferUsed = 0; // bytes valid in buffer
    size_t bufferPos = 0;  // next byte to deliver
    bool atEof = false;
    bool readFailed = false;
    int errorNumber = 0;
};

} // namespace

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

std::string PointsDamage::describe() const {
    return "the point record at byte " + std::to_string(recordOffset) + " announces " +
           std::to_string(announced) + " readings (at most " +
           std::to_string(kMaxReadingsPerPoint) + ").";
}

PointsWalkEnd walkPointsSection(int fd, uint64_t pointsOffset, const PointVisitor& visit,
                                size_t bufferSize) {
    ForwardReader in(fd, pointsOffset, bufferSize);
    PointsWalkEnd end;
    const auto stop = [&](Status status) {
        end.status = status;
        end.error = in.error();
        return end;
    };
    const auto endsAt = [&](uint64_t wholeEnd, uint64_t fileEnd) {
        end.tail.wholeEnd = wholeEnd;
        end.tail.fileEnd = fileEnd;
        end.tail.torn = end.tail.readingsCut || fileEnd != wholeEnd;
        return stop(Status::End);
    };

    uint8_t head[kPointsSectionHead];
    if (in.take(head, sizeof head) < sizeof head)
        return stop(in.failed() ? Status::ReadError : Status::NoSection);
    if (readLe32(head) != kPointRecordSize || readLe32(head + 4) != kReadingSize)
        return stop(Status::BadSizes);

    PointsEntry entry;
    for (;;) {
        entry.fileOffset = in.position();
        const size_t got = in.take(entry.record.bytes.data(), kPointRecordSize);
        if (in.failed()) return stop(Status::ReadError);
        // Nothing more is the clean end; part of a record, a write cut short.
        if (got < kPointRecordSize) return endsAt(entry.fileOffset, entry.fileOffset + got);

        // More readings than a commit writes is damage, never the trace of a write cut
        // short: a torn tail always lies within what one commit writes.
        const uint16_t announced = entry.record.readingCount();
        if (announced > kMaxReadingsPerPoint) {
            end.damage = PointsDamage{entry.fileOffset, announced};
            return stop(Status::Damaged);
        }
        entry.readings.resize(announced);
        uint16_t present = 0;
        size_t partial = 0;
        for (; present < announced; ++present) {
            partial = in.take(entry.readings[present].bytes.data(), kReadingSize);
            if (partial < kReadingSize) break;
        }
        if (in.failed()) return stop(Status::ReadError);
        entry.readings.resize(present);

        if (visit && !visit(entry, summarizePoint(entry))) return stop(Status::Stopped);
        end.counts.count(entry);

        if (present < announced) { // the file ends inside the readings
            end.tail.readingsCut = true;
            end.tail.cutRecordOffset = entry.fileOffset;
            end.tail.cutRecord = entry.record;
            end.tail.announced = announced;
            end.tail.present = present;
            const uint64_t wholeEnd =
                entry.fileOffset + kPointRecordSize + uint64_t{present} * kReadingSize;
            return endsAt(wholeEnd, wholeEnd + partial);
        }
    }
}

std::string pointsWalkProblem(const PointsWalkEnd& end) {
    switch (end.status) {
    case Status::Stopped:
    case Status::End:
    case Status::Damaged:
        return {};
    case Status::ReadError:
        return std::string("cannot read the points: ") + std::strerror(end.error);
    case Status::NoSection:
    case Status::BadSizes:
        break;
    }
    return "Damaged Site File: points section unreadable.";
}

} // namespace walkmere
