#pragma once

#include <cstddef>
#include <cstdint>

namespace walkmere {

// Keeps the board's output to the speed of a real serial line. 38400 baud with a start
// bit, 8 data bits and a stop bit carries 3840 bytes per second.
//
// Times are microseconds on any monotonic scale. The line is busy from when a write
// starts until its last bit is out; an idle line banks no credit, so a burst after a
// pause still goes out at line speed.
class LinePacer {
public:
    static constexpr uint32_t kLineBytesPerSecond = 3840;

    explicit LinePacer(uint32_t bytesPerSecond = kLineBytesPerSecond) : rate(bytesPerSecond) {}

    // How long to wait at time now before the next bytes may be written.
    int64_t waitBefore(int64_t nowUs) const { return freeAtUs > nowUs ? freeAtUs - nowUs : 0; }

    // n bytes were handed to the line at time now.
    void sent(size_t n, int64_t nowUs) {
        int64_t start = freeAtUs;
        if (nowUs > freeAtUs) { // the line went idle: start afresh
            start = nowUs;
            carryUnits = 0;
        }
        carryUnits += int64_t(n) * 1000000;
        freeAtUs = start + carryUnits / rate;
        carryUnits %= rate; // keep the remainder so many small writes add up exactly
    }

    int64_t lineFreeAt() const { return freeAtUs; }

private:
    int64_t rate;
    int64_t freeAtUs = 0;
    int64_t carryUnits = 0;
};

} // namespace walkmere
