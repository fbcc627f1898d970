#pragma once

#include <optional>
#include <sys/types.h>

namespace walkmere {

// Whether process `pid` holds `capability` (a CAP_ number of <linux/capability.h>) in its
// effective set: what the kernel checks when the process asks for something privileged.
// Read from the process's own status file, so it is what the process got when it started
// its program (from the program file's capabilities, or as root), not a guess from the file.
// Nothing when that cannot be read (the process has gone).
std::optional<bool> hasEffectiveCapability(pid_t pid, int capability);

} // namespace walkmere
