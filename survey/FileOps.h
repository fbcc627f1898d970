#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace walkmere {

// Every read, write, flush and truncation the survey store makes on the site file goes
// through this seam. The program uses the real system calls; tests install an
// implementation that fails a chosen call (the test kit's FailingFileOps), to show that a
// full disk or a failing card is reported and rolled back.
class IFileOps {
public:
    virtual ~IFileOps() = default;
    virtual ssize_t pread(int fd, void* buffer, size_t count, off_t offset) = 0;
    virtual ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) = 0;
    virtual int fdatasync(int fd) = 0;
    virtual int ftruncate(int fd, off_t length) = 0;
};

// The system calls themselves.
class SystemFileOps final : public IFileOps {
public:
    ssize_t pread(int fd, void* buffer, size_t count, off_t offset) override;
    ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) override;
    int fdatasync(int fd) override;
    int ftruncate(int fd, off_t length) override;
};

// The implementation in use: the installed one, else the system calls.
IFileOps& fileOps();

// Installs `ops` for the lifetime of the guard and puts the previous one back afterwards.
class ScopedFileOps {
public:
    explicit ScopedFileOps(IFileOps& ops);
    ~ScopedFileOps();
    ScopedFileOps(const ScopedFileOps&) = delete;
    ScopedFileOps& operator=(const ScopedFileOps&) = delete;

private:
    IFileOps* previous;
};

// Writes all `count` bytes at `offset`, continuing after short writes and EINTR.
// Returns 0, or the errno of the failure (bytes before it may have been written).
int writeAllAt(int fd, const void* buffer, size_t count, uint64_t offset);

// Reads up to `count` bytes at `offset`, continuing after short reads and EINTR until the
// end of the file. Returns the number read, or -1 with errno set.
ssize_t readUpTo(int fd, void* buffer, size_t count, uint64_t offset);

} // namespace walkmere
