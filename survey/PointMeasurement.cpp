#include "survey/PointMeasurement.h"

#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "survey/SurveyStore.h"

namespace walkmere {

PointMeasurement::PointMeasurement(CSurveyStore& store, CBoardProtocol& board,
                                   const CLiveApTable& table)
    : store(store), board(board), table(table) {}

void PointMeasurement::begin(int32_t x, int32_t y, const std::string& label, SweepStart sweep) {
    // First, so that the board hears the spot before a sweep of this measurement is counted.
    if (surveyorAt) surveyorAt(x + 0.5, y + 0.5);
    store.beginPoint(x, y, label);
    state = State::Measuring;
    percent = 0;
    if (sweep == SweepStart::FromEntryOne) board.entryIndex = 1;
    // The sweep count stays: it ends at 0 with every finished measurement, and is only left
    // over by a sweep counted between a point's end and its commit.
}

void PointMeasurement::cancel() {
    state = State::Idle;
    percent = 0;
    settled = 0;
}

void PointMeasurement::tick() {
    if (board.sweepComplete.exchange(0) == 1) {
        if (running()) countSweep();
        return;
    }
    stale = static_cast<int16_t>(stale + 1);
    // Not cleared by a completed sweep: every second tick without one restarts the sweep.
    if (stale >= 2) restartStalledSweep();
}

void PointMeasurement::countSweep() {
    const int16_t needed = table.decertifyTime();
    settled = static_cast<int16_t>(settled + 1);
    // A decertify time of 0 never comes from the Options dialog; treat it as one sweep
    // rather than dividing by zero.
    percent = static_cast<int16_t>(needed > 0 ? settled * 100 / needed : 100);
    if (settled >= needed) {
        settled = 0;
        state = State::Done;
    }
}

void PointMeasurement::restartStalledSweep() {
    board.entryIndex = 1;
    board.requestEntry(1);
    stale = 0;
}

std::optional<std::vector<ApRecord>> PointMeasurement::takeFinished() {
    if (state != State::Done) return std::nullopt;
    // Ended before anything else happens: the commit's coverage warning runs a modal loop in
    // which further updates arrive, and none of them may hand the point over again.
    state = State::Idle;
    return table.certifiedRecords();
}

} // namespace walkmere
