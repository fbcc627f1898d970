#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/OwnedFd.h"
#include "wifi/ScanDump.h"

namespace walkmere {

// A scan capture (a replay file) is one or more scan dumps one after another, each the
// netlink messages of one NL80211_CMD_GET_SCAN dump exactly as the socket gave them, the
// last of them NLMSG_DONE. The live source appends to one; the replay source plays one.

// A capture larger than this is refused.
inline constexpr size_t kMaxCaptureBytes = 256u << 20;

// Splits a capture into its dumps and parses each one (readAt 0). False, with `error`
// naming the byte ("damaged scan capture at byte 1234: message length 9000 runs past the
// end of the file"), for nothing at all, a message cut off or with a wrong length, a file
// that ends inside a dump, or a dump that holds an error.
bool parseScanCapture(std::span<const uint8_t> bytes, std::vector<ScanDump>& dumps,
                      std::string& error);

// A capture file played one dump at a time, from the first to the last and round again.
// It holds one dump and a read buffer in memory, whatever the count of dumps: the file is
// checked whole when it is opened and read again as it is played.
class ScanCaptureReader {
public:
    // Nothing, with `error` naming the file, when it cannot be read or is damaged (the
    // messages of parseScanCapture).
    static std::unique_ptr<ScanCaptureReader> open(const std::string& path, std::string& error);

    size_t dumpCount() const { return dumps; }
    // The next dump (readAt 0), the first again after the last. False, with one line naming
    // the file, when it has changed since it was opened or cannot be read any more.
    bool next(ScanDump& dump, std::string& error);

private:
    ScanCaptureReader(std::string path, OwnedFd fd, const struct stat& st);
    bool unchanged() const;
    // The dump at `offset`, which moves past it. False with `error` naming the byte, or
    // with `unreadable` set and the file named when the file could not be read there.
    bool readDump(uint64_t& offset, ScanDump& dump, bool& unreadable, std::string& error);
    bool readAt(uint64_t offset, size_t n, uint8_t* out, std::string& error);

    std::string path;
    OwnedFd fd;
    uint64_t size = 0;
    int64_t mtimeSec = 0, mtimeNsec = 0;
    size_t dumps = 0;
    uint64_t played = 0; // where the next dump starts
    std::vector<uint8_t> buffer;
    uint64_t bufferAt = 0; // the file offset of buffer[0]
};

// Reads and parses the capture file at `path`, every dump of it; the error names the file.
bool loadScanCapture(const std::string& path, std::vector<ScanDump>& dumps, std::string& error);

// Appends a dump's messages to the capture open for writing on `fd`. A write that fails
// partway is cut back off, so that the capture stays whole dumps.
bool appendToCapture(int fd, std::span<const uint8_t> raw, std::string& error);

} // namespace walkmere
