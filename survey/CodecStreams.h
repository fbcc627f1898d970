#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace walkmere {

// Where the floor-plan codec reads from and writes to: a file descriptor (at an offset,
// up to a limit) or memory. The codec never holds a whole coded or decoded plan; it pulls
// and pushes pieces through these.

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to n bytes. Returns the count, 0 at the end, -1 on a read error.
    virtual ptrdiff_t read(uint8_t* into, size_t n) = 0;
    // errno of the last failure, 0 when none.
    int error() const { return lastError; }

protected:
    int lastError = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all n bytes; false on failure (nothing more should be written then).
    virtual bool write(const uint8_t* from, size_t n) = 0;
    int error() const { return lastError; }

protected:
    int lastError = 0;
};

// Reads with pread() from `offset` on, at most `limit` bytes; the descriptor's own file
// position is left alone, so the caller may keep using it.
class FdSource : public ByteSource {
public:
    FdSource(int fd, uint64_t offset = 0, uint64_t limit = std::numeric_limits<uint64_t>::max());
    ptrdiff_t read(uint8_t* into, size_t n) override;
    uint64_t position() const { return offset; }

private:
    int fd;
    uint64_t offset;
    uint64_t remaining;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes(bytes) {}
    ptrdiff_t read(uint8_t* into, size_t n) override;

private:
    std::span<const uint8_t> bytes;
};

// Writes at the descriptor's current position, retrying short writes and EINTR.
class FdSink : public ByteSink {
public:
    explicit FdSink(int fd) : fd(fd) {}
    bool write(const uint8_t* from, size_t n) override;

private:
    int fd;
};

class VectorSink : public ByteSink {
public:
    explicit VectorSink(std::vector<uint8_t>& into) : into(into) {}
    bool write(const uint8_t* from, size_t n) override;

private:
    std::vector<uint8_t>& into;
};

// Reads until n bytes or the end; returns the count, or -1 on a read error.
ptrdiff_t readFully(ByteSource& source, uint8_t* into, size_t n);

// Owns a descriptor and closes it on the way out.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd(fd) {}
    ~UniqueFd();
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd; }
    bool valid() const { return fd >= 0; }
    // Closes now; returns errno of a failed close, 0 otherwise.
    int close();

private:
    int fd;
};

} // namespace walkmere
