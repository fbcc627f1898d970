#pragma once

#include <atomic>
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

// A clock that moves only when told to; safe to read from one thread and set from another.
class ManualClock final : public IClock {
public:
    explicit ManualClock(uint32_t startSeconds = 1000) : now(startSeconds) {}
    uint32_t seconds() const override { return now.load(); }
    LocalHourMinute localTime() const override { return {hour.load(), minute.load()}; }
    void advance(uint32_t s) { now.fetch_add(s); }
    void setSeconds(uint32_t s) { now.store(s); }
    void setLocalTime(int h, int m) {
        hour.store(h);
        minute.store(m);
    }

private:
    std::atomic<uint32_t> now;
    std::atomic<int> hour{0};
    std::atomic<int> minute{0};
};

// The clock that the program uses when nothing else is given.
IClock& systemClock();

} // namespace walkmere
