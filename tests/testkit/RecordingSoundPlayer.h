#pragma once

#include "platform/Sound.h"

#include <mutex>
#include <string>
#include <vector>

namespace walkmere::testkit {

// Plays nothing and remembers what it was asked to play: "async:NAME", "sync:NAME", "beep".
class RecordingSoundPlayer final : public ISoundPlayer {
public:
    void PlayWave(const std::string& name) override { record("async:" + name); }
    void PlayWaveSync(const std::string& name) override { record("sync:" + name); }
    void MessageBeep() override { record("beep"); }

    std::vector<std::string> played() const {
        std::lock_guard<std::mutex> g(lock);
        return log;
    }
    void clear() {
        std::lock_guard<std::mutex> g(lock);
        log.clear();
    }

private:
    void record(std::string s) {
        std::lock_guard<std::mutex> g(lock);
        log.push_back(std::move(s));
    }
    mutable std::mutex lock;
    std::vector<std::string> log;
};

} // namespace walkmere::testkit
