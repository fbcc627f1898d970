#pragma once

#include "platform/OwnedFd.h"

#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace walkmere::sitetool {

// The buffer under FileAppendStream: 64 KiB written at consecutive offsets with pwrite (the
// descriptor's own position is left alone). After a failed write it takes nothing more.
class FileAppendBuffer : public std::streambuf {
public:
    FileAppendBuffer(int fd, uint64_t start);
    int error() const { return failure; }
    // Where the next byte goes.
    uint64_t position() const { return written + uint64_t(pptr() - pbase()); }

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool writeOut();

    int fd;
    uint64_t written; // the offset after the last byte written to the file
    std::vector<char> buffer;
    int failure = 0; // errno of the first failed write
};

// An output stream into an open file, so that a page of any size is written with little
// memory. A write that fails stops the stream (its badbit); check() throws it.
class FileAppendStream : private FileAppendBuffer, public std::ostream {
public:
    // `name` is the file's name in messages; the bytes go from offset `start` on.
    FileAppendStream(int fd, std::string name, uint64_t start = 0);
    // Throws FileError "<name>: cannot write: <why>" when a write has failed.
    void check() const;
    // Writes out what is buffered and returns the offset after the last byte; throws as check.
    uint64_t finish();

private:
    std::string name;
};

// A file without a name for a part of a page that is made before the text in front of it:
// in the folder of `output`, where the page itself needs the room, or in $TMPDIR when that
// folder takes no new file or the output is "-". It goes with its descriptor, whatever ends
// the tool. Throws FileError when no such file can be made.
OwnedFd makeSpoolFile(const std::string& output);

// Appends the first `length` bytes of the file `fd` to `to`. Throws FileError when they
// cannot be read back.
void appendFileBytes(std::ostream& to, int fd, uint64_t length);

} // namespace walkmere::sitetool
