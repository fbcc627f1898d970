#include "testkit/FailingFileOps.h"

#include <cerrno>

namespace walkmere::testkit {

void FailingFileOps::failOn(Call call, int nth, int error, size_t partialBytes) {
    std::lock_guard<std::mutex> g(lock);
    plans[static_cast<int>(call)] = {nth, false, error, partialBytes, false, 0};
}

void FailingFileOps::failFrom(Call call, int nth, int error) {
    std::lock_guard<std::mutex> g(lock);
    plans[static_cast<int>(call)] = {nth, true, error, 0, false, 0};
}

void FailingFileOps::failAfterHalfWrite(int nth, int error) {
    failOn(Call::Write, nth, error, kHalf);
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
    if (p.onward) return p.count >= p.nth;
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
    if (partial == kHalf) partial = count / 2;
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

} // namespace walkmere::testkit
