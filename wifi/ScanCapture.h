#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "wifi/ScanDump.h"

namespace walkmere {

// A scan capture (a replay file) is one or more scan dumps one after another, each the
// netlink messages of one NL80211_CMD_GET_SCAN dump exactly as the socket gave them, the
// last of them NLMSG_DONE. The live source appends to one; the replay source plays one.

// A capture larger than this is refused rather than read into memory.
inline constexpr size_t kMaxCaptureBytes = 256u << 20;

// Splits a capture into its dumps and parses each one (readAt 0). False, with `error`
// naming the byte ("damaged scan capture at byte 1234: message length 9000 runs past the
// end of the file"), for nothing at all, a message cut off or with a wrong length, a file
// that ends inside a dump, or a dump that holds an error.
bool parseScanCapture(std::span<const uint8_t> bytes, std::vector<ScanDump>& dumps,
                      std::string& error);

// Reads and parses the capture file at `path`; the error names the file.
bool loadScanCapture(const std::string& path, std::vector<ScanDump>& dumps, std::string& error);

// Appends a dump's messages to the capture open for writing on `fd`. A write that fails
// partway is cut back off, so that the capture stays whole dumps.
bool appendToCapture(int fd, std::span<const uint8_t> raw, std::string& error);

} // namespace walkmere
