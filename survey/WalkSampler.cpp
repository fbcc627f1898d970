#include "survey/WalkSampler.h"

#include "scan/LiveApTable.h"

namespace walkmere {

WalkTime walkClockNow() {
    return std::chrono::duration_cast<WalkTime>(
        std::chrono::steady_clock::now().time_since_epoch());
}

void WalkSampler::restart(WalkTime now) {
    sweep = table.sweepsMerged();
    last = now;
}

std::optional<WalkSample> WalkSampler::update(WalkTime now) {
    if (now - last < kSpacing || table.sweepsMerged() == sweep) return std::nullopt;
    FreshSightings fresh = table.heardAfter(sweep);
    if (fresh.records.empty() && fresh.liveEntries > 0) return std::nullopt;
    sweep = fresh.sweep;
    last = now;
    return WalkSample{now, std::move(fresh.records)};
}

} // namespace walkmere
