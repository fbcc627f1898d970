#include "platform/AlsaSoundPlayer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace walkmere;
using namespace std::chrono;

namespace {

std::vector<uint8_t> tinyWav() {
    std::vector<uint8_t> v = {'R',  'I',  'F', 'F', 0,    0,    0, 0, 'W', 'A', 'V', 'E',
                              'f',  'm',  't', ' ', 16,   0,    0, 0, 1,   0,   1,   0,
                              0x22, 0x56, 0,   0,   0x44, 0xAC, 0, 0, 2,   0,   16,  0,
                              'd',  'a',  't', 'a', 4,    0,    0, 0, 1,   0,   2,   0};
    return v;
}

} // namespace

// With no sound device the player is silent and never holds the caller up.
TEST(AlsaSoundPlayer, MissingDeviceIsSilentAndQuick) {
    std::vector<std::string> asked;
    AlsaSoundPlayer player(
        [&](const std::string& name) -> std::optional<std::vector<uint8_t>> {
            asked.push_back(name);
            return tinyWav();
        },
        "walkmere_no_such_device");

    auto start = steady_clock::now();
    player.PlayWave("ping");
    player.PlayWaveSync("RedAlert");
    player.MessageBeep();
    player.PlayWaveSync("redalert");
    EXPECT_LT(steady_clock::now() - start, seconds(5));

    // Names are looked up in upper case, and each only once.
    EXPECT_EQ(asked, (std::vector<std::string>{"PING", "REDALERT"}));
}

// Every new sound cuts the one playing: PlayWaveSync too, which then plays its own sound to
// the end before it returns. The output stands in for the sound card: it "plays" for the
// sound's length in 1 ms steps, or until it is interrupted.
TEST(AlsaSoundPlayer, EverySoundCutsTheOnePlayingAndSyncPlaysToItsEnd) {
    std::mutex lock;
    std::vector<std::string> heard;
    auto note = [&](std::string s) {
        std::lock_guard<std::mutex> g(lock);
        heard.push_back(std::move(s));
    };
    AlsaSoundPlayer player(
        [](const std::string& name) -> std::optional<std::vector<uint8_t>> {
            // CAMERA is long (two seconds), REDALERT short (a tenth of a second).
            const uint32_t frames = name == "CAMERA" ? 44100 : 2205;
            std::vector<uint8_t> wav = tinyWav();
            wav.resize(44, 0);
            const uint32_t bytes = frames * 2;
            for (int i = 0; i < 4; ++i)
                wav[40 + i] = static_cast<uint8_t>(bytes >> (8 * i));
            wav.resize(44 + bytes, 0);
            return wav;
        },
        [&](const PcmSound& s, const std::atomic<bool>& interrupted) {
            const std::string name = s.samples.size() > 4410 ? "CAMERA" : "REDALERT";
            note("start " + name);
            const auto end = steady_clock::now() + milliseconds(s.samples.size() * 1000 / s.rate);
            while (steady_clock::now() < end) {
                if (interrupted) {
                    note("cut " + name);
                    return;
                }
                std::this_thread::sleep_for(milliseconds(1));
            }
            note("end " + name);
        });

    player.PlayWave("CAMERA");
    std::this_thread::sleep_for(milliseconds(100));
    const auto start = steady_clock::now();
    player.PlayWaveSync("REDALERT");
    const auto took = steady_clock::now() - start;
    std::lock_guard<std::mutex> g(lock);
    EXPECT_EQ(heard, (std::vector<std::string>{"start CAMERA", "cut CAMERA", "start REDALERT",
                                               "end REDALERT"}));
    EXPECT_LT(took, milliseconds(1500)) << "it waited for the camera sound";
}

// The action key plays "ping", then the beep: the beep waits for the ping to end, and a new
// sound still cuts the one playing and the beep waiting. A sound "plays" on this output until
// the test lets it end or the player cuts it.
TEST(AlsaSoundPlayer, TheBeepFollowsTheSoundPlayingAndANewSoundCutsBoth) {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> heard;
    int ends = 0; // how many sounds may still end
    auto step = [&](size_t heardCount, int letEnd = 0) {
        std::unique_lock<std::mutex> g(lock);
        ends += letEnd;
        return changed.wait_for(g, seconds(10), [&] { return heard.size() >= heardCount; });
    };
    AlsaSoundPlayer player([](const std::string&) { return std::optional(tinyWav()); },
                           [&](const PcmSound& s, const std::atomic<bool>& interrupted) {
                               const std::string name = s.samples.size() == 2 ? "PING" : "beep";
                               std::unique_lock<std::mutex> g(lock);
                               heard.push_back("start " + name);
                               changed.notify_all();
                               while (!interrupted && ends == 0)
                                   changed.wait_for(g, milliseconds(1));
                               heard.push_back((interrupted ? "cut " : "end ") + name);
                               ends -= interrupted ? 0 : 1;
                               changed.notify_all();
                           });
    player.PlayWave("ping");
    ASSERT_TRUE(step(1));
    player.MessageBeep();
    ASSERT_TRUE(step(3, 1)); // the ping ends, the beep starts
    ASSERT_TRUE(step(4, 1));
    player.PlayWave("ping");
    ASSERT_TRUE(step(5));
    player.MessageBeep();
    player.PlayWave("ping");
    ASSERT_TRUE(step(7));
    std::lock_guard<std::mutex> g(lock);
    EXPECT_EQ(heard, (std::vector<std::string>{"start PING", "end PING", "start beep", "end beep",
                                               "start PING", "cut PING", "start PING"}));
}
