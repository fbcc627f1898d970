#pragma once

#include <string>

namespace walkmere {

// Where the program keeps a site file as it was before it cut points out of it: copies
// under the data folder, one folder per reason.
inline constexpr const char* kDiscardedFolder = "discarded"; // before "keep points?" No
inline constexpr const char* kRepairedFolder = "repaired";   // before a torn tail is cut

struct SafetyCopy {
    std::string path;  // the copy, when made
    std::string error; // why not, when not
    bool made() const { return error.empty(); }
};

// Copies the file open on `fd` (whole, as it is now) into <data folder>/<folder>/, named
// after `sitePath` with the local date and time: "office-20261208-094502.kvs", with "-2",
// "-3", ... after the time when that name is taken. Never replaces a file; the copy is
// written under a temporary name, flushed, and then linked into place.
SafetyCopy keepSafetyCopy(int fd, const std::string& sitePath, const std::string& folder);

} // namespace walkmere
