#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace walkmere {

// One BSS of an nl80211 scan, as much of it as the board's record carries.
struct WifiBss {
    std::array<uint8_t, 6> bssid{};
    uint32_t frequency = 0; // MHz
    int32_t signalMbm = 0;  // 1/100 dBm
    uint32_t seenMsAgo = 0; // how long before the dump the BSS was last heard
    std::string ssid;       // up to its first NUL, at most 32 bytes; empty when hidden
};

// The BSSs of one NL80211_CMD_GET_SCAN dump, with the netlink messages they came in.
struct ScanDump {
    std::vector<WifiBss> bss;
    std::vector<uint8_t> raw; // the dump's messages as received, NLMSG_DONE included
    uint32_t readAt = 0;      // IClock::seconds() when it was read (or played back)
};

inline constexpr size_t kMaxSsidBytes = 32;

// The SSID in a list of information elements: the first SSID element (id 0), up to its
// first NUL and at most 32 bytes. A list whose last element runs past its end, or that
// ends inside an element header, gives an empty SSID: no element of it is trusted.
std::string ssidFromElements(const uint8_t* elements, size_t length);

// Parses the netlink messages of one scan dump: messages one after another, the last of
// them NLMSG_DONE. Every NL80211_CMD_NEW_SCAN_RESULTS message of a generic-netlink family
// (the family id is whatever the messages carry) gives at most one BSS; a BSS without a
// BSSID, a frequency or a signal in mBm is left out, and attributes not known here are
// skipped. False, with `error` naming the byte, for damaged framing, an NLMSG_ERROR or
// NLMSG_OVERRUN, a NLMSG_DONE carrying an error, or bytes after NLMSG_DONE.
bool parseScanDump(std::span<const uint8_t> bytes, std::vector<WifiBss>& out, std::string& error);

namespace detail {

// How the messages of a byte buffer are named in a message: "scan dump" and "dump",
// "scan capture" and "file"; `base` is added to every offset named.
struct MessageSource {
    const char* name = "scan dump";
    const char* whole = "dump";
    size_t base = 0;
};

// The length of the netlink message at `offset`, once its header is checked against the
// `left` bytes from there to the end; `header` holds those bytes, or its first 16 of them. 0
// with `error` set when the header is cut off, its length is shorter than the header or runs
// past the end.
size_t checkedMessageLength(const uint8_t* header, size_t left, size_t offset,
                            const MessageSource& source, std::string& error);

// Where the message after the one at `offset` starts (its length rounded up to 4 bytes),
// or the end of `bytes` when the padding of the last message is missing.
size_t nextMessageOffset(std::span<const uint8_t> bytes, size_t offset);

bool parseDumpMessages(std::span<const uint8_t> bytes, const MessageSource& source,
                       std::vector<WifiBss>& out, std::string& error);

} // namespace detail
} // namespace walkmere
