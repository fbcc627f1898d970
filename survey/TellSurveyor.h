#pragma once

#include "survey/StoreOutcome.h"

namespace walkmere {

class IPrompter;
class ISoundPlayer;

// Shows the notices one after another: each box, then its sound, played to its end before
// the next box.
void tellSurveyor(const Notices& notices, IPrompter& prompter, ISoundPlayer& sound);

} // namespace walkmere
