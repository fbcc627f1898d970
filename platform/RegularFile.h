#pragma once

#include "platform/OwnedFd.h"

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

// True when `a` and `b` name one file: the same spelling letter for letter, or two
// spellings of a file that exists ("./a/../site.kvs", a symbolic link, a hard link), that
// is the same file on the same device. Names that differ only in letter case are two files
// unless the file system says otherwise.
bool sameFile(const std::string& a, const std::string& b);

// The file that writing a new file under `path` (a temporary file renamed over it)
// replaces: `path` itself, or, when it is a symbolic link, the file its links lead to, so
// that the link stays and the file it names gets the new content (a link that leads
// nowhere gets the file made where it points). Only a regular file, or no file at all,
// is replaced: a device, FIFO, socket or directory there is refused with
// notRegularFileText, so that no rename ever puts a file in the place of /dev/null.
struct ReplaceTarget {
    std::string path;        // the name to rename onto
    std::string problem;     // set when nothing may be written there
    bool notRegular = false; // the problem is a file of another type
    int error = 0;           // errno of a failed look-up otherwise
};
ReplaceTarget resolveReplaceTarget(const std::string& path);

} // namespace walkmere
