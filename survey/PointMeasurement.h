#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scan/ApRecord.h"

namespace walkmere {

class CBoardProtocol;
class CLiveApTable;
class CSurveyStore;

// A survey point measured where the surveyor stands. Begun at a spot, it counts the board's
// completed sweeps on the 750 ms timer until the live table's decertify time of them have
// passed; the next board update then hands the APs the live table holds as certified over
// for the commit, once. Escape on the scan view gives it up.
//
//   idle --begin--> measuring --tick counting the last sweep--> done --takeFinished--> idle
//
// The timer tick is also the sweep's watchdog: every second tick without a completed sweep
// asks the board for entry 1 again, whether a point is being measured or not.
//
// UI thread only. The link worker never reads this state: the two meet only at the
// protocol's sweepComplete (set by the worker, taken by the tick) and entryIndex.
class PointMeasurement {
public:
    // How the board's sweep goes on when a measurement begins.
    enum class SweepStart {
        AsItRuns,     // a tap on the plan
        FromEntryOne, // the action key: the next entry packet is stored in slot 1
    };

    // Told that the surveyor stands at plan position (x, y) now, in plan pixels: a board that
    // hears the site where the surveyor is (the simulated site) follows it.
    using SurveyorSink = std::function<void(double x, double y)>;

    PointMeasurement(CSurveyStore& store, CBoardProtocol& board, const CLiveApTable& table);
    PointMeasurement(const PointMeasurement&) = delete;
    PointMeasurement& operator=(const PointMeasurement&) = delete;

    void setSurveyorSink(SurveyorSink sink) { surveyorAt = std::move(sink); }

    // Starts measuring at plan point (x, y): the surveyor sink hears of the spot (the middle
    // of its pixel) before anything else, the store takes the spot and the label, then the
    // progress shows 0 again. A measurement under way is taken over by the new one.
    void begin(int32_t x, int32_t y, const std::string& label,
               SweepStart sweep = SweepStart::AsItRuns);
    // Gives the measurement up: nothing is handed over, and the next one counts its sweeps
    // from the start.
    void cancel();
    // One tick of the 750 ms timer. At most one completed sweep is counted per tick; the
    // measurement is done once decertifyTime sweeps have been counted (at once when the
    // Options dialog lowered it below the count).
    void tick();
    // A board update arrived. When the measurement is done it ends here, and the certified
    // APs of the live table, copied at this moment in its order, are handed over for the
    // commit; otherwise nothing.
    std::optional<std::vector<ApRecord>> takeFinished();

    bool running() const { return state != State::Idle; } // measuring or done
    bool done() const { return state == State::Done; }
    // What the scan view shows: settled sweeps x 100 / decertifyTime as of the last count.
    int16_t progressPercent() const { return percent; }
    int16_t settledSweeps() const { return settled; }
    int16_t staleTicks() const { return stale; }

private:
    enum class State { Idle, Measuring, Done };

    void countSweep();
    void restartStalledSweep();

    CSurveyStore& store;
    CBoardProtocol& board;
    const CLiveApTable& table;
    SurveyorSink surveyorAt;

    State state = State::Idle;
    int16_t percent = 0;
    int16_t settled = 0; // completed sweeps counted for the current measurement
    int16_t stale = 0;   // ticks without a completed sweep since the last restart
};

} // namespace walkmere
