#include "survey/WalkSession.h"

#include <algorithm>
#include <cmath>

#include "survey/PointRecords.h"
#include "survey/SurveyStore.h"

namespace walkmere {

namespace {

std::string samples(int n) {
    return std::to_string(n) + (n == 1 ? " sample" : " samples");
}

int32_t between(int32_t a, int32_t b, double share) {
    return static_cast<int32_t>(std::lround(a + share * (double(b) - double(a))));
}

} // namespace

std::string walkSegmentText(int n) {
    return "WALK: " + std::to_string(n) + (n == 1 ? " SAMPLE" : " SAMPLES") + " IN THIS SEGMENT";
}

std::string walkEndedText(int dropped) {
    if (dropped == 0) return "Walk ended.";
    return "Walk ended: " + samples(dropped) + " after the last tap dropped";
}

std::string walkSamplesLostText(int lost) {
    return samples(lost) + " of this walk segment could not be written and are lost.";
}

WalkTap placeOnSegment(const WalkTap& from, const WalkTap& to, WalkTime at) {
    const auto span = (to.at - from.at).count();
    const double share =
        span <= 0 ? 1.0 : std::clamp(double((at - from.at).count()) / double(span), 0.0, 1.0);
    return {between(from.x, to.x, share), between(from.y, to.y, share), at};
}

WalkSession::WalkSession(CSurveyStore& store, const CLiveApTable& table)
    : store(store), sampler(table) {}

void WalkSession::arm() {
    if (state == State::Off) state = State::Armed;
}

WalkTapOutcome WalkSession::tap(int32_t x, int32_t y, WalkTime now) {
    const WalkTap here{x, y, now};
    switch (state) {
    case State::Off:
        return {};
    case State::Armed:
        if (started) started();
        state = State::Walking;
        tapped.assign(1, here);
        pending.clear();
        sampler.restart(now);
        return {true, 0, 0, {}};
    case State::Walking:
        break;
    }
    WalkTapOutcome outcome = closeSegment(here);
    tapped.push_back(here);
    return outcome;
}

WalkTapOutcome WalkSession::closeSegment(const WalkTap& to) {
    WalkTapOutcome outcome;
    const WalkTap& from = tapped.back();
    for (size_t i = 0; i < pending.size(); ++i) {
        const WalkTap spot = placeOnSegment(from, to, pending[i].at);
        CommitOutcome stored =
            store.writePoint(spot.x, spot.y, kWalkedSampleLabel, pending[i].heard);
        outcome.notices.insert(outcome.notices.end(), stored.notices.begin(), stored.notices.end());
        if (stored.stored < 0) {
            // The store has undone the write and says why. A full disk or a lost file fails
            // every sample after it alike: one telling is enough.
            outcome.lost = static_cast<int>(pending.size() - i);
            outcome.notices.push_back(warningNotice(walkSamplesLostText(outcome.lost)));
            break;
        }
        ++outcome.written;
    }
    pending.clear();
    return outcome;
}

bool WalkSession::update(WalkTime now) {
    if (state != State::Walking) return false;
    std::optional<WalkSample> sample = sampler.update(now);
    if (!sample) return false;
    pending.push_back(std::move(*sample));
    return true;
}

int WalkSession::end() {
    const int dropped = segmentSamples();
    state = State::Off;
    pending.clear();
    tapped.clear();
    return dropped;
}

} // namespace walkmere
