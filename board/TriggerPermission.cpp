#include "board/TriggerPermission.h"

#include "platform/ProcessCapabilities.h"

#include <climits>
#include <cstdlib>
#include <linux/capability.h>

namespace walkmere {

std::string missingTriggerPermission(pid_t pid, const std::string& boardProgram) {
    if (hasEffectiveCapability(pid, CAP_NET_ADMIN).value_or(true)) return "";
    // setcap takes the file itself, not a link to it (the build tree links it beside walkmere).
    char real[PATH_MAX];
    const std::string file = ::realpath(boardProgram.c_str(), real) ? real : boardProgram;
    return "asking for fresh scans (--trigger) needs CAP_NET_ADMIN, which " + file +
           " does not have: install Walkmere's package, or give it the capability as root: "
           "setcap cap_net_admin+ep " +
           file;
}

} // namespace walkmere
