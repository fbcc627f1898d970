#pragma once

#include "res/Commands.h"

namespace walkmere {

// A view that handles commands of the command bar. The frame offers every command to the
// active view first; only a command the view does not handle goes on to the frame. A
// button whose command neither the active view nor the frame handles is disabled.
class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;
    virtual bool handlesCommand(int id) const = 0;
    virtual void onCommand(int id) = 0;
};

} // namespace walkmere
