#include "survey/TellSurveyor.h"

#include "platform/Prompter.h"
#include "platform/Sound.h"

namespace walkmere {

void tellSurveyor(const Notices& notices, IPrompter& prompter, ISoundPlayer& sound) {
    for (const Notice& notice : notices) {
        prompter.showMessage(notice.text, notice.caption, notice.icon);
        if (!notice.soundAfter.empty()) sound.PlayWaveSync(notice.soundAfter);
    }
}

} // namespace walkmere
