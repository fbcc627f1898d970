#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "survey/PointRecords.h"

namespace walkmere {

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

// Walks a points section record by record through a buffer, so a large survey loads with
// few system calls. Reads go through fileOps(), so they can be made to fail in tests.
//
//     CPointsReader reader(fd, header.pointsOffset());
//     if (reader.open() != CPointsReader::Status::Ok) ...
//     PointsEntry e;
//     while (reader.next(e)) ...
//     if (reader.status() == CPointsReader::Status::ReadError) ...
//     reader.tail() says whether the section ends torn.
class CPointsReader {
public:
    enum class Status {
        Ok,        // open() succeeded, or next() delivered a record
        End,       // the section has been read to the end of the file
        NoSection, // the file ends before the 8 bytes of the section's head
        BadSizes,  // the stored sizes are not 71 and 41; no record is read
        ReadError, // the system refused a read; error() holds its errno
        Damaged,   // a record announces more than kMaxReadingsPerPoint; see damage()
    };

    static constexpr size_t kDefaultBuffer = 64 * 1024;

    CPointsReader(int fd, uint64_t pointsOffset, size_t bufferSize = kDefaultBuffer);

    // Reads the section's head (pointRecordSize, readingSize).
    Status open();
    uint32_t pointRecordSize() const { return recordSize; }
    uint32_t readingSize() const { return readingBytes; }

    // Delivers the next record with its readings; false at the end of the section, on an
    // error or at a damaged record (see status()). A record whose readings are cut short by
    // the end of the file is delivered with the readings present, and the next call returns
    // false. A damaged record is not delivered; the records before it were.
    bool next(PointsEntry& entry);

    Status status() const { return state; }
    int error() const { return errorNumber; }
    // Complete once next() has returned false with status End. A torn tail always lies
    // within what one commit writes (a record and at most kMaxReadingsPerPoint readings):
    // at a record announcing more, the walk ends Damaged instead.
    const PointsTail& tail() const { return tailInfo; }
    // Set once next() has returned false with status Damaged.
    const PointsDamage& damage() const { return damageInfo; }

private:
    // Copies up to n bytes from the current position; fewer only at the end of the file or
    // on a read error (state says which).
    size_t take(uint8_t* out, size_t n);
    bool fill();
    void finish(uint64_t wholeEnd, uint64_t fileEnd);

    int fd;
    uint64_t sectionOffset;
    std::vector<uint8_t> buffer;
    uint64_t bufferStart = 0; // file offset of buffer[0]
    size_t bufferUsed = 0;    // bytes valid in buffer
    size_t bufferPos = 0;     // next byte to deliver
    bool atEof = false;
    uint32_t recordSize = 0;
    uint32_t readingBytes = 0;
    Status state = Status::Ok;
    int errorNumber = 0;
    bool opened = false;
    bool done = false;
    PointsTail tailInfo;
    PointsDamage damageInfo;
};

// Makes the file end where `tail` says the whole records end: rewrites the count of a
// record whose readings were cut to the readings present, cuts the partial bytes, and
// flushes, all through fileOps(). Returns 0, or the errno of the failure.
int repairPointsTail(int fd, const PointsTail& tail);

} // namespace walkmere
