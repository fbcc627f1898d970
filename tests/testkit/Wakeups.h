#pragma once
// Wakes a test's thread when another posts: the board's completed sweeps, as the frame's
// update would hear them.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace walkmere::testkit {

class Wakeups {
public:
    void post() {
        std::lock_guard<std::mutex> g(lock);
        ++count;
        wake.notify_one();
    }
    // Waits until something is posted or `until`; true when something was. Posts that came
    // meanwhile are taken together.
    bool take(std::chrono::steady_clock::time_point until) {
        std::unique_lock<std::mutex> g(lock);
        const bool got = wake.wait_until(g, until, [&] { return count > 0; });
        count = 0;
        return got;
    }
    bool take(std::chrono::milliseconds limit) {
        return take(std::chrono::steady_clock::now() + limit);
    }

private:
    std::mutex lock;
    std::condition_variable wake;
    int count = 0;
};

} // namespace walkmere::testkit
