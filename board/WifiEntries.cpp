#include "board/WifiEntries.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace walkmere {

int8_t rssiFromMbm(int32_t mbm) {
    const int64_t v = mbm;
    const int64_t dbm = v >= 0 ? (v + 50) / 100 : -((-v + 50) / 100);
    return static_cast<int8_t>(std::clamp<int64_t>(dbm, -128, 127));
}

int16_t ageSeconds(uint32_t seenMsAgo, uint32_t secondsSinceRead) {
    const uint64_t age = uint64_t{seenMsAgo} / 1000 + secondsSinceRead;
    return static_cast<int16_t>(std::min<uint64_t>(age, 32767));
}

std::optional<ApRecord> apRecordFor(const WifiBss& bss, uint32_t secondsSinceRead) {
    const int channel = channelForFrequency(bss.frequency);
    if (channel == 0) return std::nullopt;
    ApRecord r;
    r.setMac(bss.bssid.data());
    r.setAge(ageSeconds(bss.seenMsAgo, secondsSinceRead));
    r.setRssi(rssiFromMbm(bss.signalMbm));
    r.setSsid(bss.ssid.substr(0, kMaxSsidBytes));
    r.setChannelCode(channelCodeFor(channel));
    if (sixGhzFrequency(bss.frequency)) r.markSixGhz();
    return r;
}

std::array<ApRecord, kSweepSlots> boardEntries(const ScanDump& dump, uint32_t secondsSinceRead) {
    std::vector<ApRecord> records;
    records.reserve(dump.bss.size());
    for (const WifiBss& bss : dump.bss) {
        if (std::optional<ApRecord> r = apRecordFor(bss, secondsSinceRead)) records.push_back(*r);
    }
    std::stable_sort(records.begin(), records.end(), [](const ApRecord& a, const ApRecord& b) {
        if (a.rssi() != b.rssi()) return a.rssi() > b.rssi();
        return std::memcmp(a.mac(), b.mac(), 6) < 0;
    });
    std::array<ApRecord, kSweepSlots> entries{};
    size_t used = 0;
    for (const ApRecord& r : records) {
        if (used == entries.size()) break;
        const bool seen = std::any_of(entries.begin(), entries.begin() + used,
                                      [&](const ApRecord& e) { return e.sameMac(r); });
        if (!seen) entries[used++] = r;
    }
    return entries;
}

} // namespace walkmere
