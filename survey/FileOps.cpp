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

void FailingFileOps::failOn(Call call, int nth, int error, size_t partialBytes) {
    std::lock_guard<std::mutex> g(lock);
    Plan& p = plans[static_cast<int>(call)];
    p.nth = nth;
    p.error = error;
    p.partialBytes = partialBytes;
    p.partialDone = false;
    p.count = 0;
}

void FailingFileOps::failAlways(Call call, int error) {
    failOn(call, -1, error);
}

int FailingFileOps::calls(Call call) const {
    std::lock_guard<std::mutex> g(lock);
    return plans[static_cast<int>(call)].count;
}

bool FailingFileOps::shouldFail(Call call, int& error, size_t& partial) {
    std::lock_guard<std::mutex> g(lock);
    Plan& p = plans[static_cast<int>(call)];
    ++p.count;
    partial = 0;
    error = p.error;
    if (p.nth == -1) return true;
    if (p.nth == 0) return false;
    if (p.count == p.nth) {
        // A partial write first succeeds short; the call after it fails.
        if (p.partialBytes > 0 && !p.partialDone) {
            partial = p.partialBytes;
            p.partialDone = true;
            ++p.nth;
            return false;
        }
        return true;
    }
    return false;
}

ssize_t FailingFileOps::pread(int fd, void* buffer, size_t count, off_t offset) {
    int error;
    size_t partial;
    if (shouldFail(Call::Read, error, partial)) {
        errno = error;
        return -1;
    }
    return system.pread(fd, buffer, count, offset);
}

ssize_t FailingFileOps::pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    int error;
    size_t partial;
    if (shouldFail(Call::Write, error, partial)) {
        errno = error;
        return -1;
    }
    if (partial > 0 && partial < count) count = partial;
    return system.pwrite(fd, buffer, count, offset);
}

int FailingFileOps::fdatasync(int fd) {
    int error;
    size_t partial;
    if (shouldFail(Call::Flush, error, partial)) {
        errno = error;
        return -1;
    }
    return system.fdatasync(fd);
}

int FailingFileOps::ftruncate(int fd, off_t length) {
    int error;
    size_t partial;
    if (shouldFail(Call::Truncate, error, partial)) {
        errno = error;
        return -1;
    }
    return system.ftruncate(fd, length);
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
