#include "survey/PointMeasurement.h"

#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"

namespace walkmere {

void MeasurementPacer::tick(CBoardProtocol& board, const CLiveApTable& table) {
    if (board.sweepComplete.exchange(0) == 1) {
        if (board.measuring.load()) {
            const int16_t needed = table.decertifyTime();
            settledSweeps = static_cast<int16_t>(settledSweeps + 1);
            // A decertify time of 0 never comes from the Options dialog; treat it as one
            // sweep rather than dividing by zero.
            board.progressPercent =
                static_cast<int16_t>(needed > 0 ? settledSweeps * 100 / needed : 100);
            if (settledSweeps >= needed) {
                settledSweeps = 0;
                board.measurementDone = 1;
            }
        }
        return;
    }
    staleTicks = static_cast<int16_t>(staleTicks + 1);
    if (staleTicks >= 2) {
        board.entryIndex = 1;
        board.requestEntry(1);
        staleTicks = 0;
    }
}

} // namespace walkmere
