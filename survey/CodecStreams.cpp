#include "survey/CodecStreams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace walkmere {

FdSource::FdSource(int fd, uint64_t offset, uint64_t limit)
    : fd(fd), offset(offset), remaining(limit) {}

ptrdiff_t FdSource::read(uint8_t* into, size_t n) {
    n = static_cast<size_t>(std::min<uint64_t>(n, remaining));
    if (n == 0) return 0;
    for (;;) {
        const ssize_t got = ::pread(fd, into, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            lastError = errno;
            return -1;
        }
        offset += static_cast<uint64_t>(got);
        remaining -= static_cast<uint64_t>(got);
        return got;
    }
}

ptrdiff_t MemorySource::read(uint8_t* into, size_t n) {
    n = std::min(n, bytes.size());
    std::memcpy(into, bytes.data(), n);
    bytes = bytes.subspan(n);
    return static_cast<ptrdiff_t>(n);
}

bool FdSink::write(const uint8_t* from, size_t n) {
    while (n > 0) {
        const ssize_t put = ::write(fd, from, n);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) {
            lastError = errno;
            return false;
        }
        if (put == 0) { // should not happen for a regular file; do not spin on it
            lastError = EIO;
            return false;
        }
        from += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}

bool VectorSink::write(const uint8_t* from, size_t n) {
    into.insert(into.end(), from, from + n);
    return true;
}

ptrdiff_t readFully(ByteSource& source, uint8_t* into, size_t n) {
    size_t have = 0;
    while (have < n) {
        const ptrdiff_t got = source.read(into + have, n - have);
        if (got < 0) return -1;
        if (got == 0) break;
        have += static_cast<size_t>(got);
    }
    return static_cast<ptrdiff_t>(have);
}

UniqueFd::~UniqueFd() {
    close();
}

int UniqueFd::close() {
    if (fd < 0) return 0;
    const int result = ::close(fd);
    fd = -1;
    return result < 0 ? errno : 0;
}

} // namespace walkmere
