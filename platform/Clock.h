#pragma once

#include <cstdint>

namespace walkmere {

struct LocalHourMinute {
    int hour = 0;   // 0 to 23
    int minute = 0; // 0 to 59
};

// Time as the program needs it: whole seconds from a monotonic clock (keep-alive pacing)
// and the local time of day (the radio-status message). Injectable so tests never sleep.
class IClock {
public:
    virtual ~IClock() = default;
    virtual uint32_t seconds() const = 0;
    virtual LocalHourMinute localTime() const = 0;
};

class SystemClock final : public IClock {
public:
    uint32_t seconds() const override;
    LocalHourMinute localTime() const override;
};

// The clock that the program uses when nothing else is given.
IClock& systemClock();

} // namespace walkmere
