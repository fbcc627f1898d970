#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "scan/ApRecord.h"
#include "scan/LiveApTable.h"
#include "wifi/ScanDump.h"

namespace walkmere {

// The channel of a frequency in MHz: 2412-2472 are 2.4 GHz channels 1-13 and 2484 is 14;
// 5005-5920 are 5 GHz channels 1-184; 5935 is 6 GHz channel 2 and 5955-7115 are 6 GHz
// channels 1-233. Anything else, a frequency off the 5 MHz grid among them, is 0.
int channelForFrequency(uint32_t mhz);

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

// The board's record of a BSS `secondsSinceRead` after its dump was read; nothing for a
// frequency without a channel: the board has no way to say where such a BSS is heard.
std::optional<ApRecord> apRecordFor(const WifiBss& bss, uint32_t secondsSinceRead);

// The board's 16 entries for a dump: the records of its 16 strongest BSSs, strongest first
// (equal signals by BSSID, lowest first; a BSSID heard twice counts once, at its strongest),
// then empty records (channel code 0).
std::array<ApRecord, kSweepSlots> boardEntries(const ScanDump& dump, uint32_t secondsSinceRead);

} // namespace walkmere
