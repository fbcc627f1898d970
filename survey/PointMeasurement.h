#pragma once

#include <cstdint>

namespace walkmere {

class CBoardProtocol;
class CLiveApTable;

// The 750 ms timer's work: counts completed sweeps while a point is being measured and
// restarts a stalled sweep from entry 1. UI thread only.
class MeasurementPacer {
public:
    // One timer tick. At most one completed sweep is counted per tick; the measurement is
    // done once decertifyTime sweeps have been counted. Every second tick without a
    // completed sweep asks the board for entry 1 again.
    void tick(CBoardProtocol& board, const CLiveApTable& table);

    int16_t staleTicks = 0;
    int16_t settledSweeps = 0;
};

} // namespace walkmere
