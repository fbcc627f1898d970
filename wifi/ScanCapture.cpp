#include "wifi/ScanCapture.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/netlink.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/RegularFile.h"

namespace walkmere {

namespace {

std::string tooLarge(uint64_t size) {
    return "scan capture too large: " + std::to_string(size) + " bytes (at most " +
           std::to_string(kMaxCaptureBytes) + ")";
}

// The dump that starts at `offset` of a capture of `size` bytes, read with `readAt(offset,
// n, out, error)`; `offset` moves past it. Every message is checked as it is read, so a dump
// is whole and parsed when this returns true.
template <typename ReadAt>
bool nextDump(ReadAt&& readAt, uint64_t size, uint64_t& offset, ScanDump& dump,
              std::string& error) {
    const detail::MessageSource inFile{"scan capture", "file", 0};
    const uint64_t start = offset;
    dump.raw.clear();
    dump.bss.clear();
    for (;;) {
        if (offset == size) {
            error = "damaged scan capture at byte " + std::to_string(size) +
                    ": the file ends inside the dump that starts at byte " + std::to_string(start) +
                    ", without its NLMSG_DONE";
            return false;
        }
        const uint64_t left = size - offset;
        uint8_t header[NLMSG_HDRLEN];
        if (!readAt(offset, std::min<uint64_t>(left, sizeof header), header, error)) return false;
        const size_t length = detail::checkedMessageLength(header, left, offset, inFile, error);
        if (length == 0) return false;
        // The padding after the last message of the file may be missing.
        const size_t whole = std::min<uint64_t>(left, NLMSG_ALIGN(length));
        const size_t at = dump.raw.size();
        dump.raw.resize(at + whole);
        std::memcpy(dump.raw.data() + at, header, sizeof header);
        if (!readAt(offset + sizeof header, whole - sizeof header,
                    dump.raw.data() + at + sizeof header, error))
            return false;
        offset += whole;
        nlmsghdr h;
        std::memcpy(&h, header, sizeof h);
        if (h.nlmsg_type == NLMSG_DONE) break;
    }
    const detail::MessageSource inDump{"scan capture", "dump", start};
    return detail::parseDumpMessages(dump.raw, inDump, dump.bss, error);
}

} // namespace

bool parseScanCapture(std::span<const uint8_t> bytes, std::vector<ScanDump>& dumps,
                      std::string& error) {
    dumps.clear();
    if (bytes.empty()) {
        error = "damaged scan capture at byte 0: the file is empty";
        return false;
    }
    if (bytes.size() > kMaxCaptureBytes) {
        error = tooLarge(bytes.size());
        return false;
    }
    auto readAt = [&](uint64_t offset, size_t n, uint8_t* out, std::string&) {
        std::memcpy(out, bytes.data() + offset, n);
        return true;
    };
    for (uint64_t offset = 0; offset < bytes.size();) {
        ScanDump dump;
        if (!nextDump(readAt, bytes.size(), offset, dump, error)) return false;
        dumps.push_back(std::move(dump));
    }
    return true;
}

ScanCaptureReader::ScanCaptureReader(std::string path, OwnedFd fd, const struct stat& st)
    : path(std::move(path)), fd(std::move(fd)), size(static_cast<uint64_t>(st.st_size)),
      mtimeSec(st.st_mtim.tv_sec), mtimeNsec(st.st_mtim.tv_nsec) {}

std::unique_ptr<ScanCaptureReader> ScanCaptureReader::open(const std::string& path,
                                                           std::string& error) {
    RegularFileOpening file = openRegularFile(path, O_RDONLY);
    if (!file.fd.valid()) {
        error = "cannot open the scan capture " + path + ": " + file.problem;
        return nullptr;
    }
    struct stat st {};
    if (::fstat(file.fd.get(), &st) != 0) {
        error = "cannot read the scan capture " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    if (st.st_size == 0) {
        error = path + ": damaged scan capture at byte 0: the file is empty";
        return nullptr;
    }
    if (static_cast<uint64_t>(st.st_size) > kMaxCaptureBytes) {
        error = path + ": " + tooLarge(static_cast<uint64_t>(st.st_size));
        return nullptr;
    }
    std::unique_ptr<ScanCaptureReader> reader(new ScanCaptureReader(path, std::move(file.fd), st));
    // One pass over the file checks every dump; only their count is kept.
    ScanDump dump;
    for (uint64_t offset = 0; offset < reader->size; ++reader->dumps) {
        bool unreadable = false;
        if (!reader->readDump(offset, dump, unreadable, error)) {
            if (!unreadable) error = path + ": " + error;
            return nullptr;
        }
    }
    if (!reader->unchanged()) {
        error = path + ": the scan capture changed while it was read";
        return nullptr;
    }
    return reader;
}

bool ScanCaptureReader::unchanged() const {
    struct stat st {};
    return ::fstat(fd.get(), &st) == 0 && static_cast<uint64_t>(st.st_size) == size &&
           st.st_mtim.tv_sec == mtimeSec && st.st_mtim.tv_nsec == mtimeNsec;
}

bool ScanCaptureReader::readAt(uint64_t offset, size_t n, uint8_t* out, std::string& error) {
    constexpr size_t kBufferBytes = 64 * 1024;
    while (n > 0) {
        if (offset < bufferAt || offset >= bufferAt + buffer.size()) {
            buffer.resize(kBufferBytes);
            ssize_t got;
            do {
                got = ::pread(fd.get(), buffer.data(), buffer.size(), static_cast<off_t>(offset));
            } while (got < 0 && errno == EINTR);
            if (got < 0) {
                buffer.clear();
                error = "cannot read the scan capture " + path + ": " + std::strerror(errno);
                return false;
            }
            buffer.resize(static_cast<size_t>(got));
            bufferAt = offset;
            if (got == 0) {
                error = path + ": the scan capture changed while it was read: it ends at byte " +
                        std::to_string(offset);
                return false;
            }
        }
        const size_t from = static_cast<size_t>(offset - bufferAt);
        const size_t take = std::min(n, buffer.size() - from);
        std::memcpy(out, buffer.data() + from, take);
        out += take;
        offset += take;
        n -= take;
    }
    return true;
}

bool ScanCaptureReader::readDump(uint64_t& offset, ScanDump& dump, bool& unreadable,
                                 std::string& error) {
    unreadable = false;
    auto read = [&](uint64_t at, size_t n, uint8_t* out, std::string& why) {
        unreadable = !readAt(at, n, out, why);
        return !unreadable;
    };
    return nextDump(read, size, offset, dump, error);
}

bool ScanCaptureReader::next(ScanDump& dump, std::string& error) {
    if (!unchanged()) {
        error = path + ": the scan capture changed while it was played";
        return false;
    }
    uint64_t offset = played < size ? played : 0;
    // Read afresh, not from what the buffer kept: the dump played is the file's as it is.
    buffer.clear();
    bool unreadable = false;
    if (!readDump(offset, dump, unreadable, error)) {
        // The file was whole when it was opened: a dump that is not has been changed since.
        if (!unreadable)
            error = path + ": the scan capture changed while it was played (" + error + ")";
        return false;
    }
    played = offset;
    return true;
}

bool loadScanCapture(const std::string& path, std::vector<ScanDump>& dumps, std::string& error) {
    dumps.clear();
    std::unique_ptr<ScanCaptureReader> reader = ScanCaptureReader::open(path, error);
    if (!reader) return false;
    dumps.resize(reader->dumpCount());
    for (ScanDump& dump : dumps) {
        if (!reader->next(dump, error)) return false;
    }
    return true;
}

bool appendToCapture(int fd, std::span<const uint8_t> raw, std::string& error) {
    const off_t before = ::lseek(fd, 0, SEEK_END);
    if (before < 0) {
        error = std::string("cannot append to the scan capture: ") + std::strerror(errno);
        return false;
    }
    size_t written = 0;
    while (written < raw.size()) {
        const ssize_t n = ::write(fd, raw.data() + written, raw.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int e = n < 0 ? errno : EIO;
            if (written > 0 && ::ftruncate(fd, before) != 0) {
                error = std::string("cannot append to the scan capture: ") + std::strerror(e) +
                        "; the dump written in part could not be cut off again: " +
                        std::strerror(errno);
                return false;
            }
            error = std::string("cannot append to the scan capture: ") + std::strerror(e);
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

} // namespace walkmere
