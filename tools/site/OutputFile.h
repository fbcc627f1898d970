#pragma once

#include "platform/OwnedFd.h"
#include "platform/RegularFile.h"
#include "survey/TempFile.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace walkmere::sitetool {

// A command never writes its output over one of its inputs: it asks sameFile (in
// platform/RegularFile.h) first.

// What an output may replace. An existing file only with --force; a site file only with a
// site file (create, merge), so that a map, page or bitmap written to the wrong name never
// takes the place of a survey.
struct OutputRules {
    bool force = false;      // --force: an existing file may be replaced
    bool isSiteFile = false; // the output is a site file itself
};

// True when the open file holds a site file: it starts with the site header's magic, the
// first thing a site file is told by (whatever its name, damaged or obsolete alike).
bool holdsSiteFile(int fd);

// "-o -": the output goes to standard output.
inline bool isStandardOutput(const std::string& target) {
    return target == "-";
}

// A file the tool writes: made under a temporary name beside its final name and renamed
// into place only when complete, so a failure never leaves half a file under the name.
// A symbolic link is followed: the file it leads to is replaced and the link stays. A
// device, FIFO, socket or folder is never replaced, nor a file `rules` keep. For "-" the
// bytes are gathered in an unnamed temporary file and copied to standard output when
// complete.
class OutputFile {
public:
    // Throws FileError when the target may not be replaced or the temporary file cannot
    // be made: told here, before the command does its work, and again when committing.
    OutputFile(std::string target, std::ostream& standardOutput, OutputRules rules);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    int descriptor() const;
    // Writes all bytes at `offset`; throws FileError on failure.
    void writeAt(uint64_t offset, const void* bytes, size_t n);
    // Throws the FileError of a write to this file that failed with `error`.
    [[noreturn]] void throwWriteError(int error) const;
    // Makes the output `length` bytes long; throws FileError on failure.
    void truncate(uint64_t length);
    // Puts the file in place; throws FileError on failure, and when the rules forbid
    // replacing the file now there.
    void commit();

private:
    void copyToStandardOutput();
    // Throws FileError when the rules keep the file now under the name.
    void refuseKeptFile() const;

    std::string target;   // as given, for messages
    std::string replaced; // the file the rename replaces: the target, its links followed
    TempFile temp;
    OwnedFd unnamed; // for standard output
    std::ostream& standardOutput;
    OutputRules rules;
};

} // namespace walkmere::sitetool
