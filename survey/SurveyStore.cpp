#include "survey/SurveyStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/ByteOrder.h"
#include "platform/RegularFile.h"
#include "survey/FileOps.h"
#include "survey/PointsAppender.h"
#include "survey/SafetyCopy.h"
#include "survey/SiteFile.h"

namespace walkmere {

namespace {

// Closes the site file when an operation ends, whichever way it ends.
class SiteFileScope {
public:
    explicit SiteFileScope(CSurveyStore& store) : store(store) {}
    ~SiteFileScope() { store.closeSiteFile(); }
    SiteFileScope(const SiteFileScope&) = delete;
    SiteFileScope& operator=(const SiteFileScope&) = delete;

private:
    CSurveyStore& store;
};

Notice failureNotice(const std::string& whatFailed, int error) {
    return warningNotice(whatFailed + ": " + std::strerror(error));
}

StoreOutcome notDone(Notices notices) {
    return {false, std::move(notices)};
}

} // namespace

PointIndexEntry PointIndexEntry::of(const PointsEntry& point, const PointSummary& summary) {
    return {point.record.x(),     point.record.y(),    summary.bestRssi,
            summary.readingCount, point.record.kind(), static_cast<uint32_t>(point.fileOffset)};
}

CSurveyStore::~CSurveyStore() {
    closeSiteFile();
}

void CSurveyStore::resetPoints() {
    entries.clear();
    locations = 0;
    readings = 0;
    pending = 0;
    best = kRssiFloor;
    foundEntry = PointIndexEntry{};
    foundIndex = -1;
}

// ---- the site ----

void CSurveyStore::adoptSite(const std::string& sitePath, const SiteHeader& header) {
    closeSiteFile();
    path = sitePath;
    siteHeader = header;
    resetPoints();
    // noApHeard stays: it tells of the last commit until the next one begins, whatever
    // site is open meanwhile.
    doubtfulTail.reset();
    pointsDamage.reset();
}

void CSurveyStore::setSitePath(const std::string& sitePath) {
    path = sitePath;
}

StoreOutcome CSurveyStore::clearHeaderFlags(int fd) {
    siteHeader.clearFlags();
    uint32_t length = siteHeader.headerLength();
    if (length > SiteHeader::kHeldLength) length = SiteHeader::kHeldLength;
    int error = writeAllAt(fd, siteHeader.bytes.data(), length, 0);
    if (error == 0 && fileOps().fdatasync(fd) != 0) error = errno;
    if (error != 0) return notDone({failureNotice("Could not write the site header", error)});
    return {true, {}};
}

// ---- one operation's hold on the file ----

StoreOutcome CSurveyStore::openSiteFile() {
    closeSiteFile();
    int error = 0;
    RegularFileOpening opened = openRegularFile(path, O_RDWR);
    std::string reason = opened.problem;
    if (opened.fd.valid() && ::flock(opened.fd.get(), LOCK_EX | LOCK_NB) != 0) {
        reason = errno == EWOULDBLOCK ? kFileInUseText : std::strerror(errno);
        opened.fd.reset();
    }
    if (!opened.fd.valid())
        return notDone({{"<<<" + reason + "<" + path + ">", {}, MessageIcon::None, "REDALERT"}});
    const int fd = opened.fd.release();

    // Records of other sizes would not fit the record layouts; such a file is never read
    // or written.
    uint8_t head[kPointsSectionHead];
    ssize_t got = readUpTo(fd, head, sizeof head, siteHeader.pointsOffset());
    if (got < 0) {
        error = errno;
        ::close(fd);
        return notDone({failureNotice("Could not read the points section of " + path, error)});
    }
    if (got < static_cast<ssize_t>(sizeof head)) {
        ::close(fd);
        return notDone(
            {warningNotice("The site file " + path + " ends before its points section.")});
    }
    uint32_t storedRecordSize = readLe32(head);
    uint32_t storedReadingSize = readLe32(head + 4);
    if (storedRecordSize != kPointRecordSize || storedReadingSize != kReadingSize) {
        ::close(fd);
        return notDone({warningNotice("The points section of " + path + " holds records of " +
                                      std::to_string(storedRecordSize) + " and " +
                                      std::to_string(storedReadingSize) +
                                      " bytes; only records of 71 and 41 bytes can be used.")});
    }
    recordSize = static_cast<int32_t>(storedRecordSize);
    readingBytes = static_cast<int32_t>(storedReadingSize);
    siteFile = fd;
    return {true, {}};
}

void CSurveyStore::closeSiteFile() {
    if (siteFile >= 0) {
        ::close(siteFile); // releases the lock
        siteFile = -1;
    }
}

// ---- keeping the end of the file aligned ----

bool CSurveyStore::cutDoubtfulTail(Notices& notices) {
    if (!doubtfulTail) return true;
    if (int error = repairPointsTail(siteFile, *doubtfulTail)) {
        notices.push_back(failureNotice("Could not repair the end of the survey points", error));
        return false;
    }
    doubtfulTail.reset();
    return true;
}

std::optional<PointIndexEntry>
CSurveyStore::appendPoint(PointsEntry& point, const std::string& whatFailed, Notices& notices) {
    if (pointsDamage) {
        notices.push_back({whatFailed + ". " + damagedPointsText(*pointsDamage),
                           kFileErrorCaption,
                           MessageIcon::Stop,
                           {}});
        return std::nullopt;
    }
    if (!cutDoubtfulTail(notices)) return std::nullopt;
    struct stat st;
    if (::fstat(siteFile, &st) != 0) {
        notices.push_back(failureNotice(whatFailed, errno));
        return std::nullopt;
    }
    const uint64_t end = static_cast<uint64_t>(st.st_size);
    PointsAppender appended;
    appended.addPoint(point.record, point.readings);
    const std::vector<uint8_t>& bytes = appended.bytes();
    // Index entries hold 32-bit offsets.
    if (end + bytes.size() > std::numeric_limits<uint32_t>::max()) {
        notices.push_back(failureNotice(whatFailed, EFBIG));
        return std::nullopt;
    }
    int error = writeAllAt(siteFile, bytes.data(), bytes.size(), end);
    if (error == 0 && fileOps().fdatasync(siteFile) != 0) error = errno;
    if (error != 0) {
        // Take back whatever part of the write reached the file.
        PointsTail back;
        back.torn = true;
        back.wholeEnd = end;
        if (repairPointsTail(siteFile, back) != 0) doubtfulTail = back;
        notices.push_back(failureNotice(whatFailed, error));
        return std::nullopt;
    }
    point.fileOffset = end;
    return PointIndexEntry::of(point, summarizePoint(point));
}

// ---- the points ----

bool CSurveyStore::loadFromOpenFile(Notices& notices) {
    resetPoints();
    doubtfulTail.reset(); // the file itself is the truth from here on
    pointsDamage.reset();
    bool beyondIndex = false;
    const PointsWalkEnd end = walkPointsSection(
        siteFile, siteHeader.pointsOffset(), [&](const PointsEntry& e, const PointSummary& point) {
            if (e.fileOffset > std::numeric_limits<uint32_t>::max()) {
                beyondIndex = true;
                return false;
            }
            pointOffsetValue = static_cast<uint32_t>(e.fileOffset);
            // pendingReadings() and bestRssi() give the last record read, whatever its kind.
            pending = e.readingsPresent();
            best = strongestRssi(e.readings);
            const uint8_t kind = e.record.kind();
            if (kind == KIND_SURVEY_POINT || kind == KIND_DYNAMIC_AP)
                entries.push_back(PointIndexEntry::of(e, point));
            return true;
        });
    locations = end.counts.locationCount;
    readings = end.counts.readingTotal;

    if (beyondIndex) {
        notices.push_back(
            warningNotice("The survey points of " + path +
                          " reach beyond 4 GiB; the points after that are not shown."));
        return false;
    }
    switch (end.status) {
    case PointsWalkEnd::Status::End:
        break;
    case PointsWalkEnd::Status::ReadError:
        // Never cut anything on a read error: the rest of the file may be whole.
        notices.push_back(failureNotice("Could not read the survey points", end.error));
        return false;
    case PointsWalkEnd::Status::Damaged:
        // Opening refuses such a file; it was damaged since. The points before the damage
        // are shown, and the file is left exactly as it is.
        pointsDamage = end.damage;
        notices.push_back({damagedPointsText(*end.damage) +
                               " Only the points before it are shown, and no point can be "
                               "added to this file.",
                           kFileErrorCaption,
                           MessageIcon::Stop,
                           {}});
        return false;
    default: // openSiteFile has checked the section's head
        notices.push_back(warningNotice("The points section of " + path + " cannot be read."));
        return false;
    }

    if (end.tail.torn) repairTornTail(end.tail, notices);
    return true;
}

StoreOutcome CSurveyStore::loadPoints() {
    resetPoints();
    if (StoreOutcome opened = openSiteFile(); !opened) return opened;
    SiteFileScope scope(*this);
    Notices notices;
    const bool loaded = loadFromOpenFile(notices);
    return {loaded, std::move(notices)};
}

StoreOutcome CSurveyStore::discardPoints() {
    if (StoreOutcome opened = openSiteFile(); !opened) return opened;
    SiteFileScope scope(*this);
    Notices notices;
    const uint64_t length = static_cast<uint64_t>(siteHeader.pointsOffset()) + kPointsSectionHead;
    // No is one tap from losing a day's work: the file as it was goes into discarded/
    // first, and without that copy nothing is cut.
    struct stat st {};
    if (::fstat(siteFile, &st) == 0 && static_cast<uint64_t>(st.st_size) > length) {
        const SafetyCopy copy = keepSafetyCopy(siteFile, path, kDiscardedFolder);
        if (!copy.made()) {
            notices.push_back(warningNotice("The survey points were kept: a copy of the site file "
                                            "could not be made before removing them (" +
                                            copy.error + ")."));
            loadFromOpenFile(notices);
            return notDone(std::move(notices));
        }
    }
    if (fileOps().ftruncate(siteFile, static_cast<off_t>(length)) != 0) {
        notices.push_back(failureNotice("Could not remove the survey points", errno));
        loadFromOpenFile(notices); // the points are still in the file: show them
        return notDone(std::move(notices));
    }
    resetPoints();
    doubtfulTail.reset();
    pointsDamage.reset();
    if (fileOps().fdatasync(siteFile) != 0) {
        notices.push_back(failureNotice("Could not remove the survey points", errno));
        return notDone(std::move(notices));
    }
    return {true, std::move(notices)};
}

int16_t CSurveyStore::findNearest(int32_t x, int32_t y) {
    if (entries.empty()) return -1;
    int64_t bestDistance = kNearestLimit + 1;
    for (size_t i = 0; i < entries.size(); ++i) {
        const PointIndexEntry& e = entries[i];
        const int64_t dx = e.x > x ? int64_t{e.x} - x : int64_t{x} - e.x;
        const int64_t dy = e.y > y ? int64_t{e.y} - y : int64_t{y} - e.y;
        // Farther than 40 on either axis can never be near enough; skipping it also keeps
        // the squares far from overflowing.
        if (dx > 40 || dy > 40) continue;
        const int64_t d = dx * dx + dy * dy;
        if (d < bestDistance) {
            foundEntry = e;
            foundIndex = static_cast<int>(i);
            bestDistance = d;
        }
    }
    return bestDistance <= kNearestLimit ? static_cast<int16_t>(foundEntry.kind) : int16_t{-1};
}

StoreOutcome CSurveyStore::placeAccessPoint(int32_t x, int32_t y) {
    pointXValue = x;
    pointYValue = y;
    if (StoreOutcome opened = openSiteFile(); !opened) return opened;
    SiteFileScope scope(*this);
    PointsEntry point;
    point.record.setX(x);
    point.record.setY(y);
    point.record.setLabel("AP");
    point.record.setKind(KIND_DYNAMIC_AP);
    Notices notices;
    const std::optional<PointIndexEntry> entry =
        appendPoint(point, "Could not place the access point", notices);
    if (!entry) return notDone(std::move(notices));
    pointOffsetValue = entry->fileOffset;
    entries.push_back(*entry);
    return {true, std::move(notices)};
}

StoreOutcome CSurveyStore::deletePoint() {
    if (foundIndex < 0 || static_cast<size_t>(foundIndex) >= entries.size()) return {};
    PointIndexEntry& entry = entries[static_cast<size_t>(foundIndex)];
    if (entry.kind == KIND_DELETED) return {}; // already gone; nothing to count twice

    if (StoreOutcome opened = openSiteFile(); !opened) return opened;
    SiteFileScope scope(*this);
    PointRecord original;
    ssize_t got = readUpTo(siteFile, original.bytes.data(), kPointRecordSize, entry.fileOffset);
    if (got < 0) return notDone({failureNotice("Could not read the point to delete it", errno)});
    if (got < static_cast<ssize_t>(kPointRecordSize))
        return notDone({warningNotice("Could not read the point to delete it: the site file ends "
                                      "before its record.")});
    // The index mirrors the file; if the record there is another one, writing would
    // damage it.
    if (original.x() != entry.x || original.y() != entry.y || original.kind() != entry.kind)
        return notDone({warningNotice("Could not delete the point: the site file holds another "
                                      "record where the point was.")});

    PointRecord deleted = original;
    deleted.setKind(KIND_DELETED);
    int error = writeAllAt(siteFile, deleted.bytes.data(), kPointRecordSize, entry.fileOffset);
    const bool markWritten = error == 0;
    if (error == 0 && fileOps().fdatasync(siteFile) != 0) error = errno;
    if (error != 0) {
        // Put the record back as it was; only its kind byte can differ. A write that failed
        // never reached the kind byte, the record's last, so the record is still whole then.
        bool putBack = !markWritten;
        if (writeAllAt(siteFile, original.bytes.data(), kPointRecordSize, entry.fileOffset) == 0) {
            fileOps().fdatasync(siteFile);
            putBack = true;
        }
        // The file keeps the point marked deleted: the index follows the file, so that
        // the views and counters do not show a point that the next load will not find.
        if (!putBack) markDeleted(entry);
        return notDone({failureNotice("Could not delete the point", error)});
    }
    closeSiteFile();

    markDeleted(entry);
    return {true, {Notice{"Deleted.", {}, MessageIcon::None, {}}}};
}

void CSurveyStore::markDeleted(PointIndexEntry& entry) {
    if (entry.kind == KIND_SURVEY_POINT) {
        locations -= 1;
        readings -= entry.readingCount;
    }
    entry.kind = KIND_DELETED;
    foundEntry.kind = KIND_DELETED;
}

ReadingOutcome CSurveyStore::readReading(int i) {
    // Only the found point's own readings: past them lies the next record.
    if (foundIndex < 0 || i < 1 || i > foundEntry.readingCount) return {};
    if (StoreOutcome opened = openSiteFile(); !opened)
        return {std::nullopt, std::move(opened.notices)};
    SiteFileScope scope(*this);
    const uint64_t offset = uint64_t{foundEntry.fileOffset} + kPointRecordSize +
                            static_cast<uint64_t>(i - 1) * kReadingSize;
    ApReading reading;
    ssize_t got = readUpTo(siteFile, reading.bytes.data(), kReadingSize, offset);
    if (got < 0)
        return {std::nullopt, {failureNotice("Could not read the point's readings", errno)}};
    if (got < static_cast<ssize_t>(kReadingSize)) return {};
    return {reading, {}};
}

} // namespace walkmere
