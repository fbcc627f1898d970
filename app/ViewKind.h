#pragma once

namespace walkmere {

// The frame's three views: the start-up picture, the floor plan, the measurement screen.
enum class ViewKind { Startup, Site, Scan };

// Switches the frame's view. The only way views change: the start-up view's tap, the site
// view when a measurement starts, and the frame when a measurement has been committed.
class IViewSwitcher {
public:
    virtual ~IViewSwitcher() = default;
    // Makes a view of that kind the active one, creating it on first use; asking for the
    // view already shown does nothing.
    virtual void ActivateView(ViewKind kind) = 0;
};

} // namespace walkmere
