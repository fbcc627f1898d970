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

// "-o -": the output goes to standard output.
inline bool isStandardOutput(const std::string& target) {
    return target == "-";
}

// A file the tool writes: made under a temporary name beside its final name and renamed
// into place only when complete, so a failure never leaves half a file under the name.
// A symbolic link is followed: the file it leads to is replaced and the link stays. A
// device, FIFO, socket or folder is never replaced. For "-" the bytes are gathered in an
// unnamed temporary file and copied to standard output when complete.
class OutputFile {
public:
    // Throws FileError when the target may not be replaced or the temporary file cannot
    // be made.
    OutputFile(std::string target, std::ostream& standardOutput);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    int descriptor() const;
    // Writes all bytes at `offset`; throws FileError on failure.
    void writeAt(uint64_t offset, const void* bytes, size_t n);
    // Throws the FileError of a write to this file that failed with `error`.
    [[noreturn]] void throwWriteError(int error) const;
    // Puts the file in place; throws FileError on failure (EEXIST when !replaceExisting
    // and the target exists).
    void commit(bool replaceExisting = true);

private:
    void copyToStandardOutput();

    std::string target;   // as given, for messages
    std::string replaced; // the file the rename replaces: the target, its links followed
    TempFile temp;
    OwnedFd unnamed; // for standard output
    std::ostream& standardOutput;
};

} // namespace walkmere::sitetool
