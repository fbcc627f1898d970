#include "platform/AlsaSoundPlayer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace walkmere {

namespace {

// ALSA prints its complaints (no card, no configuration) on stderr unless told not to.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

std::shared_ptr<const PcmSound> makeBeep() {
    // The exclamation beep: 880 Hz for 120 ms with short fades.
    auto s = std::make_shared<PcmSound>();
    s->rate = 22050;
    s->channels = 1;
    const int n = 22050 * 120 / 1000;
    const int fade = 22050 * 8 / 1000;
    s->samples.resize(n);
    for (int i = 0; i < n; ++i) {
        double env = std::min({1.0, double(i) / fade, double(n - 1 - i) / fade});
        s->samples[i] =
            static_cast<int16_t>(9000.0 * env * std::sin(2 * M_PI * 880.0 * i / 22050.0));
    }
    return s;
}

void playOnAlsa(const std::string& deviceName, const PcmSound& s,
                const std::atomic<bool>& interrupted) {
    snd_lib_error_set_handler(quietAlsa);
    snd_pcm_t* pcm = nullptr;
    // Non-blocking open: a busy or missing device must never hold the program up.
    if (snd_pcm_open(&pcm, deviceName.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return;
    snd_pcm_nonblock(pcm, 0);
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, s.channels,
                           s.rate, 1, 100000) < 0) {
        snd_pcm_close(pcm);
        return;
    }
    const size_t frames = s.samples.size() / s.channels;
    size_t done = 0;
    while (done < frames && !interrupted) {
        size_t chunk = std::min<size_t>(1024, frames - done);
        snd_pcm_sframes_t n = snd_pcm_writei(pcm, s.samples.data() + done * s.channels, chunk);
        if (n < 0) n = snd_pcm_recover(pcm, static_cast<int>(n), 1);
        if (n < 0) break;
        done += static_cast<size_t>(n);
    }
    if (interrupted)
        snd_pcm_drop(pcm);
    else
        snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
}

} // namespace

AlsaSoundPlayer::AlsaSoundPlayer(Loader loader, std::string device)
    : AlsaSoundPlayer(std::move(loader),
                      [device](const PcmSound& s, const std::atomic<bool>& interrupted) {
                          playOnAlsa(device, s, interrupted);
                      }) {}

AlsaSoundPlayer::AlsaSoundPlayer(Loader loader, Output out)
    : load(std::move(loader)), output(std::move(out)), beepSound(makeBeep()) {
    worker = std::thread([this] { run(); });
}

AlsaSoundPlayer::~AlsaSoundPlayer() {
    {
        std::lock_guard<std::mutex> g(lock);
        quitting = true;
        interrupted = true;
    }
    wake.notify_all();
    worker.join();
    for (auto& j : jobs)
        if (j.done) j.done->set_value();
}

std::shared_ptr<const PcmSound> AlsaSoundPlayer::sound(const std::string& name) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    std::lock_guard<std::mutex> g(lock);
    auto it = cache.find(upper);
    if (it != cache.end()) return it->second;
    std::shared_ptr<const PcmSound> s;
    if (load) {
        if (auto bytes = load(upper)) {
            if (auto pcm = parseWav(bytes->data(), bytes->size()))
                s = std::make_shared<PcmSound>(std::move(*pcm));
        }
    }
    cache[upper] = s; // remember misses too: a missing resource stays silent cheaply
    return s;
}

void AlsaSoundPlayer::enqueue(Job job, bool interrupt) {
    {
        std::lock_guard<std::mutex> g(lock);
        if (interrupt) {
            // A new sound replaces whatever was playing or waiting.
            for (auto& j : jobs)
                if (j.done) j.done->set_value();
            jobs.clear();
            interrupted = true;
        }
        jobs.push_back(std::move(job));
    }
    wake.notify_all();
}

void AlsaSoundPlayer::PlayWave(const std::string& name) {
    if (auto s = sound(name)) enqueue({s, nullptr}, true);
}

void AlsaSoundPlayer::PlayWaveSync(const std::string& name) {
    auto s = sound(name);
    if (!s) return;
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    // The handheld's synchronous play, too, cut the sound that was playing.
    enqueue({s, done}, true);
    finished.wait();
}

void AlsaSoundPlayer::MessageBeep() {
    // The beep is the system's, not one of the program's sounds: it follows them.
    enqueue({beepSound, nullptr}, false);
}

void AlsaSoundPlayer::run() {
    std::unique_lock<std::mutex> g(lock);
    for (;;) {
        wake.wait(g, [this] { return quitting || !jobs.empty(); });
        if (quitting) return;
        Job job = std::move(jobs.front());
        jobs.pop_front();
        interrupted = false;
        g.unlock();
        if (output) output(*job.sound, interrupted);
        if (job.done) job.done->set_value();
        g.lock();
    }
}

} // namespace walkmere
