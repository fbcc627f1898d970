#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "scan/ApRecord.h"

namespace walkmere {

// The 16 records of one sweep of the board's list. Index 0 is unused so that slot i holds
// board entry i, 1 to 16.
inline constexpr int kSweepSlots = 16;
using SweepSlots = std::array<ApRecord, kSweepSlots + 1>;

struct LiveApEntry {
    int16_t sightings = 0; // reports that found the AP heard afresh, the adding one included
    uint8_t certified = 0; // set once sightings reaches settleCount; never cleared
    ApRecord record;       // the latest record reported for this AP
    // The number of the merge (sweepsMerged) that last found the AP heard afresh. Unlike
    // sightings it neither stops at a ceiling nor starts again when the entry is re-added,
    // so "heard since merge n" is always heardInSweep > n.
    uint32_t heardInSweep = 0;
};

// The APs heard afresh after a given merge, and the number of the last merge they cover.
struct FreshSightings {
    uint32_t sweep = 0;
    std::vector<ApRecord> records; // in table order, certified or not
    int liveEntries = 0;           // the table's entries then, heard afresh or not
};

// The running picture of the APs around the handheld. Every completed sweep is merged in;
// an entry is certified after settleCount fresh sightings and removed once the board
// reports its age beyond deleteTime (uncertified) or decertifyTime (certified).
//
// The link worker merges sweeps while the UI thread reads. One mutex is held for a whole
// processSweep and for every reader call, so a reader never sees an entry half moved or
// half copied. Readers that need several entries consistent with each other (the scan
// view, the point measurement) take them in one call: certifiedRecords() or snapshot().
// The three settings are atomics: the Options dialog writes them on the UI thread.
//
// Entries are indexed 1 to entryCount(), in order of arrival.
class CLiveApTable {
public:
    static constexpr int kMaxEntries = 32;
    static constexpr int16_t kDefaultSettleCount = 5;
    static constexpr int16_t kDefaultDeleteTime = 60;
    static constexpr int16_t kDefaultDecertifyTime = 30;

    CLiveApTable() = default;
    CLiveApTable(const CLiveApTable&) = delete;
    CLiveApTable& operator=(const CLiveApTable&) = delete;

    int16_t settleCount() const { return settle.load(); }
    int16_t deleteTime() const { return deleteAfter.load(); }
    int16_t decertifyTime() const { return decertifyAfter.load(); }
    void setSettleCount(int16_t v) { settle.store(v); }
    void setDeleteTime(int16_t v) { deleteAfter.store(v); }
    void setDecertifyTime(int16_t v) { decertifyAfter.store(v); }

    // Merges one sweep: slots 1 to 16 in order, skipping empty ones (channelCode 0); a known
    // MAC updates its entry, an unknown one is added. slots[0] is not read.
    void processSweep(const SweepSlots& slots);

    // Index 1..count of the first entry with the record's MAC, or 0.
    int findEntry(const ApRecord& record) const;
    // Appends an uncertified entry with one sighting (certified at once when settleCount
    // is 1 or less); returns the new count, or 0 when the table is full.
    int addEntry(const ApRecord& record);
    // Merges a new report into entry k: 0, or -1 when the entry was removed because its age
    // grew beyond its limit. An index outside 1..count changes nothing and returns 0.
    int updateEntry(int k, const ApRecord& record);
    // Removes entry k, closing the gap; returns 0. An index outside 1..count is ignored.
    int removeEntry(int k);
    // Removes, in one step, every entry whose record `drop` picks; returns how many went.
    // One step, because the link worker may merge a sweep between two single removals and
    // move the entries under their indexes.
    int removeWhere(const std::function<bool(const ApRecord&)>& drop);

    int entryCount() const;
    // The entry's certified flag; 0 for an index outside 1..count.
    uint8_t isCertified(int k) const;
    // Copies entry k's record into out; false (out untouched) for an index outside 1..count.
    bool copyRecord(int k, ApRecord& out) const;

    // The records of all certified entries, in table order, as they stood at one moment.
    std::vector<ApRecord> certifiedRecords() const;
    // Every live entry, in table order, as it stood at one moment.
    std::vector<LiveApEntry> snapshot() const;
    // How many sweeps have been merged so far; wraps after 2^32 of them.
    uint32_t sweepsMerged() const;
    // The records of the entries heard afresh in a merge after merge number `sweep`, with
    // the number of the latest merge, as they stood at one moment: a walk's sample.
    FreshSightings heardAfter(uint32_t sweep) const;

private:
    struct Limits {
        int16_t settleCount;
        int16_t deleteTime;
        int16_t decertifyTime;
    };
    Limits currentLimits() const {
        return {settle.load(), deleteAfter.load(), decertifyAfter.load()};
    }

    // The *Locked helpers expect `lock` to be held.
    bool validIndex(int k) const { return k >= 1 && k <= count; }
    int findLocked(const ApRecord& record) const;
    int addLocked(const ApRecord& record, const Limits& limits);
    int updateLocked(int k, const ApRecord& record, const Limits& limits);
    void removeLocked(int k);

    std::atomic<int16_t> settle{kDefaultSettleCount};
    std::atomic<int16_t> deleteAfter{kDefaultDeleteTime};
    std::atomic<int16_t> decertifyAfter{kDefaultDecertifyTime};

    mutable std::mutex lock;
    uint32_t merged = 0; // processSweep calls
    int16_t count = 0;
    std::array<LiveApEntry, kMaxEntries + 1> entries{}; // index 0 unused
};

} // namespace walkmere
