#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace walkmere {

// The program's sounds: the WAVE resources "CAMERA", "PING" and "REDALERT" (names match
// without regard to case) and the exclamation beep. With no sound device the program is
// silent: no error, no delay.
class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    virtual void PlayWave(const std::string& name) = 0;     // returns at once
    virtual void PlayWaveSync(const std::string& name) = 0; // returns when the sound has ended
    virtual void MessageBeep() = 0;                         // the exclamation beep
};

// Plays nothing and remembers what it was asked to play, for tests.
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

} // namespace walkmere
