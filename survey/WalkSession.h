#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "survey/StoreOutcome.h"
#include "survey/WalkSampler.h"

namespace walkmere {

class CSurveyStore;

// What the surveyor sees of a walk.
inline constexpr const char* kWalkBannerText = "WALKING: TAP AT EACH TURN";
// "WALK: 12 SAMPLES IN THIS SEGMENT": the status line while walking.
std::string walkSegmentText(int samples);
// "Walk ended: 7 samples after the last tap dropped", or "Walk ended." when none were.
std::string walkEndedText(int dropped);
// Told after a failed write: the samples of the segment that are not in the site file.
std::string walkSamplesLostText(int lost);

// A tap of the walk: where the surveyor said they were, and when.
struct WalkTap {
    int32_t x = 0;
    int32_t y = 0;
    WalkTime at{};
};

// What one tap did.
struct [[nodiscard]] WalkTapOutcome {
    bool started = false; // the tap began the walk: the clock of a scripted walker starts now
    int written = 0;      // samples of the segment it closed, now in the site file
    int lost = 0;         // samples of that segment that could not be written
    Notices notices;      // why they could not be (tellSurveyor), then how many are lost
};

// A walking survey: the surveyor taps where they start and at every turn, walking at an even
// pace between taps. The samples taken since the previous tap are placed along the straight
// segment between the two taps in proportion to their times, and written as survey points
// labelled "WALK", each in one piece as a measured point is. A segment's samples are held in
// memory until its closing tap, so a crash loses at most the segment being walked.
//
//   off --arm--> armed --tap--> walking --tap: write the segment--> walking
//   armed, walking --end: drop the samples after the last tap--> off
//
// UI thread only; fed at every board update and every tap of the plan while walking.
class WalkSession {
public:
    WalkSession(CSurveyStore& store, const CLiveApTable& table);
    WalkSession(const WalkSession&) = delete;
    WalkSession& operator=(const WalkSession&) = delete;

    // Told when a tap starts a walk, before its sampling starts: a scripted walker (the
    // simulated site's) sets off then.
    void setStartSink(std::function<void()> sink) { started = std::move(sink); }

    // The Walk command: the next tap starts a walk there. Nothing while a walk is on.
    void arm();
    // A tap at plan point (x, y) at `now`. Armed: the walk starts here, its first segment
    // empty. Walking: the segment ends here and its samples are written. Off: nothing.
    WalkTapOutcome tap(int32_t x, int32_t y, WalkTime now);
    // A board update at `now`: takes a sample into the current segment when one is due.
    // True when one was taken (the segment's count changed).
    bool update(WalkTime now);
    // The Walk command again, or Escape: the walk ends; the samples after the last tap are
    // dropped. Returns how many were.
    int end();

    bool armed() const { return state == State::Armed; }
    bool walking() const { return state == State::Walking; }
    // Armed or walking: the banner shows and taps belong to the walk.
    bool active() const { return state != State::Off; }
    // The taps of this walk in order, for the path drawn as the surveyor taps.
    const std::vector<WalkTap>& taps() const { return tapped; }
    // Samples taken since the last tap, not yet written.
    int segmentSamples() const { return static_cast<int>(pending.size()); }

private:
    enum class State { Off, Armed, Walking };

    // Places the pending samples between the last tap and `to`, and writes them.
    WalkTapOutcome closeSegment(const WalkTap& to);

    CSurveyStore& store;
    WalkSampler sampler;
    std::function<void()> started;
    State state = State::Off;
    std::vector<WalkTap> tapped;
    std::vector<WalkSample> pending;
};

// Where a sample taken at `at` lies on the segment from `from` to `to`, walked at an even
// pace: in proportion to its time, rounded to the nearest plan pixel. A segment of no
// duration puts it at `to`.
WalkTap placeOnSegment(const WalkTap& from, const WalkTap& to, WalkTime at);

} // namespace walkmere
