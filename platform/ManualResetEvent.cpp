#include "platform/ManualResetEvent.h"

namespace walkmere {

void ManualResetEvent::set() {
    {
        std::lock_guard<std::mutex> g(lock);
        state = true;
    }
    changed.notify_all();
}

void ManualResetEvent::reset() {
    std::lock_guard<std::mutex> g(lock);
    state = false;
}

bool ManualResetEvent::isSet() const {
    std::lock_guard<std::mutex> g(lock);
    return state;
}

bool ManualResetEvent::wait(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> g(lock);
    return changed.wait_for(g, timeout, [this] { return state; });
}

} // namespace walkmere
