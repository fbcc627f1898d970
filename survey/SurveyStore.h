#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scan/ApRecord.h"
#include "survey/HeardApList.h"
#include "survey/PointRecords.h"
#include "survey/PointsWalk.h"
#include "survey/SiteHeader.h"
#include "survey/StoreOutcome.h"

namespace walkmere {

// The in-memory summary of one point record of the site file.
struct PointIndexEntry {
    int32_t x = 0;
    int32_t y = 0;
    // The point's summary (PointSummary): its strongest reading in whole dBm, -100 when
    // nothing is stronger and always for a placed AP, and the readings present.
    int16_t bestRssi = kPointRssiFloor;
    uint16_t readingCount = 0;
    uint8_t kind = KIND_SURVEY_POINT;
    uint32_t fileOffset = 0; // of the PointRecord

    // The entry of a record the file holds below 4 GiB, as loaded or just written.
    static PointIndexEntry of(const PointsEntry& point, const PointSummary& summary);
};

// What storing a measured point did.
struct [[nodiscard]] CommitOutcome {
    // 1: at least one reading was stored; 0: the point was stored without any; -1: nothing
    // could be stored (the notices say why; no coverage warning is due).
    int stored = -1;
    Notices notices;
};

// One reading of the found point, or nothing.
struct [[nodiscard]] ReadingOutcome {
    std::optional<ApReading> reading;
    Notices notices;
};

// The survey of the open site. The survey lives in the site file: every point, reading and
// placed access point is written there the moment it is made, and deletions are written in
// place. The store keeps an index of the points for the views, the status-line counters
// and what it needs to find records in the file again.
//
// The file is opened and locked (flock, exclusive) for each operation and closed again, so
// no handle is held while the user works. Every change is written in one piece at the end
// of the file (or in place for a deletion) and flushed to the disk before the operation
// returns; a write that fails is undone and leaves the index and counters as they were.
// The store shows nothing itself: each operation returns what it did with the notices the
// surveyor is to get (a failure, a repair, "Deleted."), and the command that called it
// passes them on. Used on the user-interface thread only.
class CSurveyStore {
public:
    static constexpr int16_t kRssiFloor = kPointRssiFloor;
    static constexpr int64_t kNearestLimit = 1600; // 40 floor-plan pixels, squared

    CSurveyStore() = default;
    ~CSurveyStore();
    CSurveyStore(const CSurveyStore&) = delete;
    CSurveyStore& operator=(const CSurveyStore&) = delete;

    // ---- the site ----
    // The open flow accepted `path`: it becomes the site, with an empty index until the
    // points are loaded or discarded.
    void adoptSite(const std::string& path, const SiteHeader& siteHeader);
    // The site was saved under another name; the index stays.
    void setSitePath(const std::string& path);
    // Zeroes the two cleared flags in the header copy and writes the header back at offset 0
    // through `fd` (the open flow's descriptor): min(headerLength, 152) bytes, flushed.
    // Header bytes beyond 152 stay as they are. Not done (with a notice) when the write fails.
    StoreOutcome clearHeaderFlags(int fd);

    // ---- one operation's hold on the file ----
    // Opens sitePath read-write with an exclusive lock and checks the points section's
    // record sizes. On failure the caller abandons its operation and passes the notice on
    // (a file that cannot be opened: its box, then the REDALERT sound).
    StoreOutcome openSiteFile();
    void closeSiteFile();
    int siteFileDescriptor() const { return siteFile; }

    // ---- the points ----
    // Rebuilds the index and counters from the file. A torn tail left by a crash or a full
    // disk is repaired in the file, after a copy of the file as it was has been kept in the
    // data folder's repaired/, and one notice tells the surveyor. Not done when the file could
    // not be read or is damaged; a damaged file is never changed, and no point can be added
    // to it, since it would land where no load finds it.
    StoreOutcome loadPoints();
    // Removes every point from the file (it ends 8 bytes after pointsOffset) and the index,
    // after copying the file as it was into discarded/ in the data folder; when that copy
    // cannot be made the points stay and are loaded instead (not done, with a notice).
    StoreOutcome discardPoints();
    // The kind of the nearest index entry within 40 pixels, or -1; remembered in found.
    int16_t findNearest(int32_t x, int32_t y);
    StoreOutcome placeAccessPoint(int32_t x, int32_t y);
    // Deletes the point found by the last findNearest; when done, the notice is "Deleted.".
    StoreOutcome deletePoint();
    // Reading i (1-based) of the found point, or nothing.
    ReadingOutcome readReading(int i);

    // ---- measuring a point ----
    void beginPoint(int32_t x, int32_t y, const std::string& label);
    // Stores the measured point with one reading per certified AP (given in the live table's
    // order, copied at one moment by the caller).
    CommitOutcome commitPoint(std::span<const ApRecord> certified);
    // Stores a survey point at (x, y) at once, with one reading per AP of `aps`, in one
    // piece as a measured point is: a sample of a walk. A point being measured (beginPoint)
    // is left as it was; the views' last-point fields tell of this one.
    CommitOutcome writePoint(int32_t x, int32_t y, const std::string& label,
                             std::span<const ApRecord> aps);

    // ---- views ----
    const std::string& sitePath() const { return path; }
    const SiteHeader& header() const { return siteHeader; }
    const std::vector<PointIndexEntry>& index() const { return entries; }
    int32_t locationCount() const { return locations; }
    int32_t readingTotal() const { return readings; }
    int32_t pendingReadings() const { return pending; }
    bool noApHeard() const { return noAp; }
    int16_t bestRssi() const { return best; }
    int32_t pointX() const { return pointXValue; }
    int32_t pointY() const { return pointYValue; }
    const std::string& pointLabel() const { return label; }
    uint32_t pointOffset() const { return pointOffsetValue; }
    int32_t pointRecordSize() const { return recordSize; }
    int32_t readingSize() const { return readingBytes; }
    const PointIndexEntry& found() const { return foundEntry; }
    int foundPosition() const { return foundIndex; } // -1 before anything was found
    const CHeardApList& heardAps() const { return heard; }

private:
    // Writes a survey point with one reading per AP of `list` (the weakest first).
    CommitOutcome storeHeard(int32_t x, int32_t y, const std::string& label,
                             const CHeardApList& list);
    // Appends `point`, its record and readings in one write, at the end of the open file and
    // flushes; returns its index entry. On failure adds the notice `whatFailed` + ": " +
    // reason, cuts the file back and returns nothing.
    std::optional<PointIndexEntry> appendPoint(PointsEntry& point, const std::string& whatFailed,
                                               Notices& notices);
    // Cuts a tail that an earlier failed rollback or repair left behind.
    bool cutDoubtfulTail(Notices& notices);
    // Reads the points of the open file into the index and repairs a torn tail.
    bool loadFromOpenFile(Notices& notices);
    // Keeps a safety copy, cuts the torn tail that loading found, and says what it did.
    void repairTornTail(const PointsTail& tail, Notices& notices);
    // Takes a deleted point out of the counters and marks it deleted in the index.
    void markDeleted(PointIndexEntry& entry);
    void resetPoints();

    int siteFile = -1;
    std::string path;
    SiteHeader siteHeader;

    int32_t locations = 0;
    int32_t readings = 0;
    int32_t pending = 0;
    bool noAp = false;
    int16_t best = kRssiFloor;
    int32_t pointXValue = 0;
    int32_t pointYValue = 0;
    std::string label;
    uint32_t pointOffsetValue = 0;
    int32_t recordSize = 0;
    int32_t readingBytes = 0;

    std::vector<PointIndexEntry> entries;
    PointIndexEntry foundEntry;
    int foundIndex = -1;
    CHeardApList heard;

    // A rollback or repair that could not finish, or was put off: the next write completes
    // it first, so records stay aligned.
    std::optional<PointsTail> doubtfulTail;
    // Loading met a damaged record: appends would land after it, out of every load's reach.
    std::optional<PointsDamage> pointsDamage;
};

} // namespace walkmere
