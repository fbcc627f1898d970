#include "wifi/ScanCapture.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/netlink.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/RegularFile.h"

namespace walkmere {

bool parseScanCapture(std::span<const uint8_t> bytes, std::vector<ScanDump>& dumps,
                      std::string& error) {
    dumps.clear();
    const detail::MessageSource source{"scan capture", "file", 0};
    if (bytes.empty()) {
        error = "damaged scan capture at byte 0: the file is empty";
        return false;
    }
    if (bytes.size() > kMaxCaptureBytes) {
        error = "scan capture too large: " + std::to_string(bytes.size()) + " bytes (at most " +
                std::to_string(kMaxCaptureBytes) + ")";
        return false;
    }
    // The bytes are copied: the headers are read in place and must be aligned.
    const std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    const std::span<const uint8_t> all(copy);
    size_t dumpStart = 0;
    size_t offset = 0;
    while (offset < all.size()) {
        if (detail::checkedMessageLength(all, offset, source, error) == 0) return false;
        nlmsghdr header;
        std::memcpy(&header, all.data() + offset, sizeof header);
        offset = detail::nextMessageOffset(all, offset);
        if (header.nlmsg_type != NLMSG_DONE) continue;
        ScanDump dump;
        dump.raw.assign(all.begin() + static_cast<std::ptrdiff_t>(dumpStart),
                        all.begin() + static_cast<std::ptrdiff_t>(offset));
        const detail::MessageSource inFile{"scan capture", "dump", dumpStart};
        if (!detail::parseDumpMessages(dump.raw, inFile, dump.bss, error)) return false;
        dumps.push_back(std::move(dump));
        dumpStart = offset;
    }
    if (dumpStart != all.size()) {
        error = "damaged scan capture at byte " + std::to_string(all.size()) +
                ": the file ends inside the dump that starts at byte " + std::to_string(dumpStart) +
                ", without its NLMSG_DONE";
        return false;
    }
    return true;
}

bool loadScanCapture(const std::string& path, std::vector<ScanDump>& dumps, std::string& error) {
    RegularFileOpening file = openRegularFile(path, O_RDONLY);
    if (!file.fd.valid()) {
        error = "cannot open the scan capture " + path + ": " + file.problem;
        return false;
    }
    struct stat st {};
    if (::fstat(file.fd.get(), &st) != 0) {
        error = "cannot read the scan capture " + path + ": " + std::strerror(errno);
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > kMaxCaptureBytes) {
        error = path + ": scan capture too large: " + std::to_string(st.st_size) +
                " bytes (at most " + std::to_string(kMaxCaptureBytes) + ")";
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = ::read(file.fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "cannot read the scan capture " + path + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (bytes.size() > kMaxCaptureBytes) {
            error = path + ": scan capture too large (it grew while it was read)";
            return false;
        }
    }
    if (!parseScanCapture(bytes, dumps, error)) {
        error = path + ": " + error;
        return false;
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
