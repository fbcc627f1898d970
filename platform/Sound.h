#pragma once

#include <string>

namespace walkmere {

// The program's sounds: the WAVE resources "CAMERA", "PING" and "REDALERT" (names match
// without regard to case) and the exclamation beep. With no sound device the program is
// silent: no error, no delay.
class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    // Both cut the sound playing. PlayWave returns at once; PlayWaveSync when its sound ended.
    virtual void PlayWave(const std::string& name) = 0;
    virtual void PlayWaveSync(const std::string& name) = 0;
    // The exclamation beep, heard after the sound playing (and the one waiting) has ended.
    virtual void MessageBeep() = 0;
};

} // namespace walkmere
