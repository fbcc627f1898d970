#pragma once

#include <string>
#include <sys/types.h>

namespace walkmere {

// Fresh scans (--trigger) need CAP_NET_ADMIN. Only walkmere-board, the smallest program, is
// given it (the package sets it on the installed file), never the graphical program.

// "" when process `pid`, running walkmere-board from `boardProgram`, may trigger scans (or
// cannot be asked); otherwise what the surveyor can do about it, naming the program's real
// file: install the package, or give that file the capability as root.
std::string missingTriggerPermission(pid_t pid, const std::string& boardProgram);

} // namespace walkmere
