#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <linux/nl80211.h>

namespace walkmere::wifitest {

using Bytes = std::vector<uint8_t>;

// One BSS of a made-up scan dump. Everything a real one carries is there unless switched
// off; `elements` replaces the information elements built from `ssid`.
struct BssFields {
    std::array<uint8_t, 6> bssid{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x01};
    uint32_t frequency = 2412;
    int32_t signalMbm = -5000;
    uint32_t seenMsAgo = 0;
    std::string ssid = "Corp";
    std::optional<Bytes> elements;
    bool withBssid = true;
    bool withFrequency = true;
    bool withSignal = true;
    bool nestedFlag = true;         // NLA_F_NESTED on the NL80211_ATTR_BSS nest
    bool unknownAttributes = false; // attributes of types nl80211 has not (yet) defined
    uint8_t command = NL80211_CMD_NEW_SCAN_RESULTS;
};

inline constexpr uint16_t kFamily = 0x1C; // any generic-netlink family id will do

// An SSID element followed by a supported-rates element, as a beacon carries them.
Bytes ssidElements(const std::string& ssid);

// One NL80211_CMD_NEW_SCAN_RESULTS message per BSS, then NLMSG_DONE, built with libnl's
// message API and serialised as the socket delivers them.
Bytes buildDump(const std::vector<BssFields>& bss, uint16_t family = kFamily, uint32_t seq = 1);

// Single messages: a scan result, NLMSG_DONE (with the dump's error code), NLMSG_ERROR.
Bytes resultMessage(const BssFields& bss, uint16_t family = kFamily, uint32_t seq = 1);
Bytes doneMessage(int32_t code = 0, uint32_t seq = 1);
Bytes errorMessage(int32_t code, uint32_t seq = 1);

// The kernel's other messages: an nl80211 event of a multicast group (sequence 0, naming
// the interface), and the NLMSG_ERROR answering `request` (0: the acknowledgement), which
// carries the request's header, and the rest of the request too when it is an error.
Bytes eventMessage(uint8_t command, uint32_t ifindex, uint16_t family = kFamily);
Bytes answerMessage(const Bytes& request, int32_t code);

// Messages packed into datagrams of at most `most` bytes (at least one message each), as
// the kernel fills its buffers.
std::vector<Bytes> datagrams(const Bytes& messages, size_t most);

// A BSSID ending in `last` (and `first` in the byte before it).
std::array<uint8_t, 6> bssid(uint8_t last, uint8_t first = 0x4D);

void append(Bytes& to, const Bytes& from);

// `count` BSSs (at most 50) with signals 1 dB apart in a shuffled order, spread over 2.4, 5
// and 6 GHz, each heard a different number of ms before the dump, the third of them hidden;
// `variant` shifts the BSSIDs and signals so that two dumps differ.
std::vector<BssFields> variedBss(int count, uint8_t variant = 0);

// Writes a scan capture of the dumps (each one buildDump's bytes) to `path`; throws when it
// cannot.
void writeCapture(const std::string& path, const std::vector<Bytes>& dumps);

} // namespace walkmere::wifitest
