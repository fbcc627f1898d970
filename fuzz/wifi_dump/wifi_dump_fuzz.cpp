// A scan capture as a replay file holds it: split into dumps, each parsed into BSSs and
// mapped to the board's 16 entries; the input also as a single dump and as an element list.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "board/WifiEntries.h"
#include "wifi/ScanCapture.h"
#include "wifi/ScanDump.h"

namespace {

using namespace walkmere;

void checkBss(const std::vector<WifiBss>& bss) {
    for (const WifiBss& b : bss) {
        if (b.ssid.size() > kMaxSsidBytes) __builtin_trap();
        if (b.ssid.find('\0') != std::string::npos) __builtin_trap();
    }
}

void checkEntries(const ScanDump& dump, uint32_t seconds) {
    const auto entries = boardEntries(dump, seconds);
    size_t used = 0;
    while (used < entries.size() && !entries[used].empty())
        ++used;
    for (size_t i = used; i < entries.size(); ++i)
        if (!(entries[i] == ApRecord{})) __builtin_trap();
    for (size_t i = 0; i < used; ++i) {
        const ApRecord& r = entries[i];
        if (r.channel() < 1 || r.channel() > 233) __builtin_trap();
        if (r.age() < 0) __builtin_trap();
        if (r.ssid().size() > kMaxSsidBytes) __builtin_trap();
        for (size_t j = i + 1; j < used; ++j)
            if (r.sameMac(entries[j])) __builtin_trap();
        if (i + 1 < used) {
            const ApRecord& n = entries[i + 1];
            if (n.rssi() > r.rssi()) __builtin_trap();
            if (n.rssi() == r.rssi() && std::memcmp(n.mac(), r.mac(), 6) < 0) __builtin_trap();
        }
    }
    if (used < entries.size() && used < dump.bss.size()) {
        // Fewer entries than BSSs: the others are off the channel table or repeat a BSSID.
        size_t mappable = 0;
        for (const WifiBss& b : dump.bss)
            mappable += channelForFrequency(b.frequency) != 0;
        if (used > mappable) __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);
    const uint32_t seconds = size > 0 ? data[size - 1] * 300u : 0;

    std::vector<ScanDump> dumps;
    std::string error;
    if (parseScanCapture(input, dumps, error)) {
        size_t total = 0;
        for (const ScanDump& dump : dumps) {
            total += dump.raw.size();
            checkBss(dump.bss);
            std::vector<WifiBss> alone;
            std::string why;
            if (!parseScanDump(dump.raw, alone, why)) __builtin_trap();
            if (alone.size() != dump.bss.size()) __builtin_trap();
            checkEntries(dump, seconds);
        }
        if (total != size || dumps.empty()) __builtin_trap();
    } else if (error.find("scan capture") == std::string::npos) {
        __builtin_trap();
    }

    std::vector<WifiBss> bss;
    if (parseScanDump(input, bss, error)) checkBss(bss);
    if (ssidFromElements(data, size).size() > kMaxSsidBytes) __builtin_trap();
    return 0;
}
