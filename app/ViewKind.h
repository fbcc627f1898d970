#pragma once

namespace walkmere {

// The frame's three views: the start-up picture, the floor plan, the measurement screen.
enum class ViewKind { Startup, Site, Scan };

} // namespace walkmere
