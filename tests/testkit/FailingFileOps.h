#pragma once

#include "survey/FileOps.h"

#include <sys/types.h>

#include <cstddef>
#include <mutex>

namespace walkmere::testkit {

// Passes calls to the system, except that the n-th call (1-based) of one chosen kind fails
// with a chosen errno. A failing write may first really write `partialBytes` bytes and
// return that short count; the write call after it then fails, as a disk that fills up in
// the middle of a write behaves. Installed with ScopedFileOps.
class FailingFileOps final : public IFileOps {
public:
    enum class Call { Read, Write, Flush, Truncate };

    void failOn(Call call, int nth, int error, size_t partialBytes = 0);
    void failAlways(Call call, int error); // every call of that kind, from now on
    int calls(Call call) const;

    ssize_t pread(int fd, void* buffer, size_t count, off_t offset) override;
    ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) override;
    int fdatasync(int fd) override;
    int ftruncate(int fd, off_t length) override;

private:
    // True (with errno set) when this call of `call` is to fail.
    bool shouldFail(Call call, int& error, size_t& partial);

    struct Plan {
        int nth = 0; // 0: never; -1: always
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
