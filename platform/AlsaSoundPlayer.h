#pragma once

#include "platform/Sound.h"
#include "platform/Wav.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace walkmere {

// Plays the program's WAVE resources on ALSA's default device from a thread of its own.
// A new WAVE sound cuts off the one playing, as on the handheld: PlayWave returns at once,
// PlayWaveSync returns when its own sound has ended. The exclamation beep waits for the
// sounds before it to end instead, so that a "ping" followed by the beep is heard whole.
// With no sound device every call is silent and returns at once, and ALSA's own error
// printing is switched off.
class AlsaSoundPlayer final : public ISoundPlayer {
public:
    // Gives the bytes of the WAV resource of an upper-case name, or nothing.
    using Loader = std::function<std::optional<std::vector<uint8_t>>(const std::string& upperName)>;

    // Plays one sound to its end or until `interrupted` is set; what the sound card does.
    using Output = std::function<void(const PcmSound& sound, const std::atomic<bool>& interrupted)>;

    explicit AlsaSoundPlayer(Loader loader, std::string device = "default");
    // The same with another output in place of the ALSA device.
    AlsaSoundPlayer(Loader loader, Output output);
    ~AlsaSoundPlayer() override;

    void PlayWave(const std::string& name) override;
    void PlayWaveSync(const std::string& name) override;
    void MessageBeep() override;

private:
    struct Job {
        std::shared_ptr<const PcmSound> sound;
        std::shared_ptr<std::promise<void>> done;
    };

    std::shared_ptr<const PcmSound> sound(const std::string& name);
    void enqueue(Job job, bool interrupt);
    void run();
    Loader load;
    Output output;
    std::mutex lock;
    std::condition_variable wake;
    std::deque<Job> jobs;
    std::atomic<bool> interrupted{false};
    bool quitting = false;
    std::shared_ptr<const PcmSound> beepSound;
    std::map<std::string, std::shared_ptr<const PcmSound>> cache;
    std::thread worker;
};

} // namespace walkmere
