#include "survey/FileOps.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace walkmere {

namespace {
std::atomic<IFileOps*> installed{nullptr};
SystemFileOps systemOps;
} // namespace

ssize_t SystemFileOps::pread(int fd, void* buffer, size_t count, off_t offset) {
    return ::pread(fd, buffer, count, offset);
}

ssize_t SystemFileOps::pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    return ::pwrite(fd, buffer, count, offset);
}

int SystemFileOps::fdatasync(int fd) {
    return ::fdatasync(fd);
}

int SystemFileOps::ftruncate(int fd, off_t length) {
    return ::ftruncate(fd, length);
}

IFileOps& fileOps() {
    IFileOps* ops = installed.load(std::memory_order_acquire);
    return ops ? *ops : systemOps;
}

ScopedFileOps::ScopedFileOps(IFileOps& ops)
    : previous(installed.exchange(&ops, std::memory_order_acq_rel)) {}

ScopedFileOps::~ScopedFileOps() {
    installed.store(previous, std::memory_order_release);
}

int writeAllAt(int fd, const void* buffer, size_t count, uint64_t offset) {
    const auto* p = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        ssize_t n = fileOps().pwrite(fd, p, count, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO; // a regular file never accepts nothing without a reason
        p += n;
        count -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return 0;
}

ssize_t readUpTo(int fd, void* buffer, size_t count, uint64_t offset) {
    auto* p = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        ssize_t n = fileOps().pread(fd, p + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break; // end of file
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

} // namespace walkmere
