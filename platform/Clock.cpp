#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace walkmere {

uint32_t SystemClock::seconds() const {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<std::chrono::seconds>(steady_clock::now().time_since_epoch()).count());
}

LocalHourMinute SystemClock::localTime() const {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_hour, tm.tm_min};
}

IClock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace walkmere
