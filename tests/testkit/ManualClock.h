#pragma once

#include "platform/Clock.h"

#include <atomic>
#include <cstdint>

namespace walkmere::testkit {

// A clock that moves only when told to, so tests never sleep; safe to read from one thread
// and set from another.
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

} // namespace walkmere::testkit
