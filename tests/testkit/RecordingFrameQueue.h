#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "link/PacketHandler.h"

namespace walkmere::testkit {

// Stands for the serial link where the board protocol queues its frames: takes every frame
// and records its bytes and when it was queued; safe to queue into from several threads.
class RecordingFrameQueue final : public IFrameQueue {
public:
    using Bytes = std::vector<uint8_t>;

    int queueFrame(const uint8_t* bytes, uint32_t n) override {
        std::lock_guard<std::mutex> g(lock);
        frames.emplace_back(bytes, bytes + n);
        times.push_back(std::chrono::steady_clock::now());
        return 1;
    }
    std::vector<Bytes> all() const {
        std::lock_guard<std::mutex> g(lock);
        return frames;
    }
    size_t count() const {
        std::lock_guard<std::mutex> g(lock);
        return frames.size();
    }
    Bytes last() const {
        std::lock_guard<std::mutex> g(lock);
        return frames.empty() ? Bytes{} : frames.back();
    }
    std::chrono::steady_clock::time_point timeOf(size_t i) const {
        std::lock_guard<std::mutex> g(lock);
        return times.at(i);
    }
    void clear() {
        std::lock_guard<std::mutex> g(lock);
        frames.clear();
        times.clear();
    }

private:
    mutable std::mutex lock;
    std::vector<Bytes> frames;
    std::vector<std::chrono::steady_clock::time_point> times;
};

} // namespace walkmere::testkit
