#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace walkmere {

// An event that stays set until someone resets it, as the handheld's events did.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool initiallySet = false) : state(initiallySet) {}

    void set();
    void reset();
    bool isSet() const;
    // Waits until the event is set or the time runs out; true when it was set.
    bool wait(std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex lock;
    mutable std::condition_variable changed;
    bool state;
};

} // namespace walkmere
