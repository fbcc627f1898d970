#pragma once

#include <string>

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

} // namespace walkmere
