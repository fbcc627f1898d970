#include "scan/LiveApTable.h"

#include <limits>

namespace walkmere {

void CLiveApTable::processSweep(const SweepSlots& slots) {
    // The settings are read once, so one sweep is merged under one set of rules even if the
    // Options dialog closes in the middle of it.
    const Limits limits = currentLimits();
    std::lock_guard<std::mutex> g(lock);
    ++merged;
    for (int i = 1; i <= kSweepSlots; ++i) {
        const ApRecord& record = slots[i];
        if (record.empty()) continue;
        int k = findLocked(record);
        if (k == 0)
            addLocked(record, limits); // a full table drops the AP
        else
            updateLocked(k, record, limits);
    }
}

int CLiveApTable::findEntry(const ApRecord& record) const {
    std::lock_guard<std::mutex> g(lock);
    return findLocked(record);
}

int CLiveApTable::addEntry(const ApRecord& record) {
    const Limits limits = currentLimits();
    std::lock_guard<std::mutex> g(lock);
    return addLocked(record, limits);
}

int CLiveApTable::updateEntry(int k, const ApRecord& record) {
    const Limits limits = currentLimits();
    std::lock_guard<std::mutex> g(lock);
    return updateLocked(k, record, limits);
}

int CLiveApTable::removeEntry(int k) {
    std::lock_guard<std::mutex> g(lock);
    removeLocked(k);
    return 0;
}

int CLiveApTable::entryCount() const {
    std::lock_guard<std::mutex> g(lock);
    return count;
}

uint8_t CLiveApTable::isCertified(int k) const {
    std::lock_guard<std::mutex> g(lock);
    return validIndex(k) ? entries[k].certified : 0;
}

bool CLiveApTable::copyRecord(int k, ApRecord& out) const {
    std::lock_guard<std::mutex> g(lock);
    if (!validIndex(k)) return false;
    out = entries[k].record;
    return true;
}

int CLiveApTable::removeWhere(const std::function<bool(const ApRecord&)>& drop) {
    std::lock_guard<std::mutex> g(lock);
    int removed = 0;
    for (int k = count; k >= 1; --k)
        if (drop(entries[k].record)) {
            removeLocked(k);
            ++removed;
        }
    return removed;
}

std::vector<ApRecord> CLiveApTable::certifiedRecords() const {
    std::vector<ApRecord> out;
    out.reserve(kMaxEntries); // allocate before taking the lock
    std::lock_guard<std::mutex> g(lock);
    for (int k = 1; k <= count; ++k)
        if (entries[k].certified) out.push_back(entries[k].record);
    return out;
}

std::vector<LiveApEntry> CLiveApTable::snapshot() const {
    std::vector<LiveApEntry> out;
    out.reserve(kMaxEntries);
    std::lock_guard<std::mutex> g(lock);
    out.assign(entries.begin() + 1, entries.begin() + 1 + count);
    return out;
}

uint32_t CLiveApTable::sweepsMerged() const {
    std::lock_guard<std::mutex> g(lock);
    return merged;
}

FreshSightings CLiveApTable::heardAfter(uint32_t sweep) const {
    FreshSightings fresh;
    fresh.records.reserve(kMaxEntries);
    std::lock_guard<std::mutex> g(lock);
    fresh.sweep = merged;
    fresh.liveEntries = count;
    // Unsigned differences, so that the count wrapping around changes nothing.
    for (int k = 1; k <= count; ++k)
        if (entries[k].heardInSweep - sweep - 1 < merged - sweep)
            fresh.records.push_back(entries[k].record);
    return fresh;
}

int CLiveApTable::findLocked(const ApRecord& record) const {
    for (int k = 1; k <= count; ++k)
        if (entries[k].record.sameMac(record)) return k;
    return 0;
}

int CLiveApTable::addLocked(const ApRecord& record, const Limits& limits) {
    if (count >= kMaxEntries) return 0;
    ++count;
    LiveApEntry& e = entries[count];
    e.record = record;
    e.sightings = 1;
    e.certified = (1 >= limits.settleCount) ? 1 : 0;
    e.heardInSweep = merged;
    return count;
}

int CLiveApTable::updateLocked(int k, const ApRecord& record, const Limits& limits) {
    if (!validIndex(k)) return 0;
    LiveApEntry& e = entries[k];
    const int16_t newAge = record.age();
    const int16_t oldAge = e.record.age();
    if (newAge <= oldAge) {
        // Heard since the last report. The count stops at its ceiling instead of wrapping:
        // an AP in range for a day of sweeps must not read as a negative count.
        if (e.sightings < std::numeric_limits<int16_t>::max()) ++e.sightings;
        if (e.sightings >= limits.settleCount) e.certified = 1;
        e.record = record;
        e.heardInSweep = merged;
        return 0;
    }
    const int16_t limit = e.certified ? limits.decertifyTime : limits.deleteTime;
    if (newAge <= limit) {
        e.record = record;
        return 0;
    }
    removeLocked(k);
    return -1;
}

void CLiveApTable::removeLocked(int k) {
    if (!validIndex(k)) return;
    for (int i = k; i < count; ++i)
        entries[i] = entries[i + 1];
    entries[count] = LiveApEntry{};
    --count;
}

} // namespace walkmere
