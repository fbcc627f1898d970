#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "scan/ApRecord.h"

namespace walkmere {

class CLiveApTable;

// The times of a walk: milliseconds on one monotonic scale. The program reads walkClockNow();
// tests give any times they like, so nothing waits.
using WalkTime = std::chrono::milliseconds;
WalkTime walkClockNow();

// What the board heard during one stretch of a walk.
struct WalkSample {
    WalkTime at{};
    // Each AP heard afresh since the previous sample, with its latest record, certified or
    // not. Empty only when the live table held no AP at all: a spot where nothing is heard.
    std::vector<ApRecord> heard;
};

// Takes the samples of a walk from the live table, fed at every board update on the UI
// thread. A sample is due once a sweep has been merged since the previous one and at least
// kSpacing has passed: one a second while the board sweeps faster, one a sweep when it is
// slower. Nothing waits for certification: the surveyor does not stand still for it. The
// table's own ageing still drops what is no longer heard.
//
// An update in which nothing was heard afresh yields no sample while the table still holds
// APs (the board has not reported anything new yet: writing "nothing heard" there would be
// false); the sample comes with the next update that brings something.
class WalkSampler {
public:
    static constexpr WalkTime kSpacing{1000};

    explicit WalkSampler(const CLiveApTable& table) : table(table) {}

    // Sampling starts over at `now`: what was heard before is in no sample.
    void restart(WalkTime now);
    // A board update arrived at `now`: the sample, when one is due.
    std::optional<WalkSample> update(WalkTime now);

private:
    const CLiveApTable& table;
    uint32_t sweep = 0; // the last merge the previous sample covered
    WalkTime last{};    // when the previous sample (or the start) was taken
};

} // namespace walkmere
