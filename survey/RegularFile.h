#pragma once

#include "survey/OwnedFd.h"

#include <string>
#include <sys/types.h>

namespace walkmere {

// What a file of this type is called in a message: "a FIFO", "a directory", ...
const char* fileTypeName(mode_t mode);

// "not a regular file (a FIFO)": why a file of this type is refused.
std::string notRegularFileText(mode_t mode);

struct RegularFileOpening {
    OwnedFd fd;              // valid when the file was opened
    std::string problem;     // otherwise the system's reason, or notRegularFileText()
    bool notRegular = false; // the file is there but is not a regular file
    int error = 0;           // errno of the call that failed, when it was the system's
};

// Opens a file that must be a regular file (a site file, a scenario) with `flags`
// (O_RDONLY or O_RDWR; O_CLOEXEC and O_NOCTTY are added). Anything else is refused at
// once, without waiting: the open itself does not block (a FIFO with no writer would
// hold a blocking open for ever), and the type is checked on the open descriptor, so a
// file swapped in between cannot slip through. The descriptor is blocking again when
// returned.
RegularFileOpening openRegularFile(const std::string& path, int flags);

} // namespace walkmere
