#pragma once

#include <QSize>

namespace walkmere {

// The view area of the handheld's screen: 240 pixels wide, 268 high below the command bar.
// At this size (and scale 1) every view is exactly the handheld's; the window is never
// smaller.
inline constexpr QSize kHandheldViewArea(240, 268);

} // namespace walkmere
