#include "platform/AlsaSoundPlayer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace walkmere;
using namespace std::chrono;

namespace {

std::vector<uint8_t> tinyWav() {
    std::vector<uint8_t> v = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E',
                              'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0,
                              0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0,
                              'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 0, 2, 0};
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
