#pragma once

#include "survey/FileOps.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace walkmere::testkit {

// Passes calls to the system, except that the n-th call (1-based) of a chosen kind fails
// with a chosen errno (each kind has its own plan). A failing write may first really write
// `partialBytes` bytes, or half of what it was given, and return that short count; the
// write call after it then fails, as a disk that fills up in the middle of a write behaves.
// Installed with ScopedFileOps.
class FailingFileOps final : public IFileOps {
public:
    enum class Call { Read, Write, Flush, Truncate };

    void failOn(Call call, int nth, int error, size_t partialBytes = 0);
    void failFrom(Call call, int nth, int error); // the n-th call and every one after it
    void failAfterHalfWrite(int nth, int error);  // the n-th write lands half its bytes
    void failAlways(Call call, int error);        // every call of that kind, from now on
    int calls(Call call) const;

    ssize_t pread(int fd, void* buffer, size_t count, off_t offset) override;
    ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) override;
    int fdatasync(int fd) override;
    int ftruncate(int fd, off_t length) override;

private:
    // True (with errno set) when this call of `call` is to fail; `partial` is the short
    // count a write is to land first (kHalf: half of it), 0 for all of it.
    bool shouldFail(Call call, int& error, size_t& partial);
    static constexpr size_t kHalf = SIZE_MAX;

    struct Plan {
        int nth = 0; // 0: never; -1: always
        bool onward = false;
        int error = 0;
        size_t partialBytes = 0;
        bool partialDone = false;
        int count = 0;
    };
    mutable std::mutex lock;
    Plan plans[4];
    SystemFileOps system;
};

} // namespace walkmere::testkit
