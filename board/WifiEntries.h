#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "scan/ApRecord.h"
#include "scan/LiveApTable.h"
#include "wifi/ScanDump.h"
#include "wifi/WifiChannel.h"

namespace walkmere {

// The board's entries from the laptop's own adapter: each BSS of an nl80211 scan dump as the
// record the board would send for it.

// The record's channel code of a channel: 5000 + 5 x channel (ApRecord::channel() inverts it).
inline uint16_t channelCodeFor(int channel) {
    return static_cast<uint16_t>(5000 + 5 * channel);
}

// mBm to whole dBm, to the nearest with halves away from zero (-6750 mBm is -68 dBm), held
// to the record's signed byte (-128 to 127).
int8_t rssiFromMbm(int32_t mbm);

// The age the record says: the BSS's own age in whole seconds at the dump plus the whole
// seconds since the dump was read, at most 32767.
int16_t ageSeconds(uint32_t seenMsAgo, uint32_t secondsSinceRead);

// The board's record of a BSS `secondsSinceRead` after its dump was read, a 6 GHz one marked
// as such (ApRecord::markSixGhz); nothing for a frequency without a channel: the board has no
// way to say where such a BSS is heard.
std::optional<ApRecord> apRecordFor(const WifiBss& bss, uint32_t secondsSinceRead);

// The board's 16 entries for a dump: the records of its 16 strongest BSSs, strongest first
// (equal signals by BSSID, lowest first; a BSSID heard twice counts once, at its strongest),
// then empty records (channel code 0).
std::array<ApRecord, kSweepSlots> boardEntries(const ScanDump& dump, uint32_t secondsSinceRead);

} // namespace walkmere
