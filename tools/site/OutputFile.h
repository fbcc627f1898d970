#pragma once

#include "survey/TempFile.h"

#include <cstdint>
#include <string>

namespace walkmere::sitetool {

// True when both paths name the same existing file (another spelling, a link).
bool sameFile(const std::string& a, const std::string& b);

// A file the tool writes: made under a temporary name beside its final name and renamed
// into place only when complete, so a failure never leaves half a file under the name.
class OutputFile {
public:
    // Throws FileError when the temporary file cannot be made.
    explicit OutputFile(std::string target);
    int descriptor() const { return temp.descriptor(); }
    // Writes all bytes at `offset`; throws FileError on failure.
    void writeAt(uint64_t offset, const void* bytes, size_t n);
    // Puts the file in place; throws FileError on failure (EEXIST when !replaceExisting
    // and the target exists).
    void commit(bool replaceExisting = true);

private:
    std::string target;
    TempFile temp;
};

} // namespace walkmere::sitetool
