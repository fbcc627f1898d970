#include "coverage/RadioGroups.h"

#include <algorithm>
#include <tuple>

namespace walkmere {

namespace {

constexpr uint64_t kFirstOctetShift = 40;
constexpr uint64_t kLocallyAdministered = 0x02;
// Octets 2 to 6 of a MAC key without the low 4 bits of the last one.
constexpr uint64_t kBaseBits = 0xFF'FFFF'FFF0;

// A reading as the grouping sorts it: its base address and channel, whether it is locally
// administered, its first octet and its place among the readings.
struct Entry {
    uint64_t base;
    bool local;
    uint8_t first;
    uint32_t index;
    auto order() const { return std::tuple(base, local, first); }
};

// The key short of the first octet: the channel above the 48 bits of an address (channel
// numbers and frequencies fit in 16 bits), then the base address's last five octets.
uint64_t baseKey(const MetricReading& r) {
    return uint64_t(uint16_t(r.channel)) << 48 | (r.mac & kBaseBits);
}

void assignKeys(std::span<MetricReading> readings, std::span<Entry> entries) {
    for (size_t i = 0; i < readings.size(); ++i) {
        const auto first = static_cast<uint8_t>(readings[i].mac >> kFirstOctetShift);
        entries[i] = {baseKey(readings[i]), (first & kLocallyAdministered) != 0, first,
                      static_cast<uint32_t>(i)};
    }
    // The readings of one base and channel lie together, universally administered first,
    // lowest first octet first.
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.order() < b.order(); });
    // The first octet the locally administered BSSIDs of the current base take: that of its
    // first universally administered one, or 0x02, which no universally administered
    // address has, when there is none.
    uint64_t localFirst = kLocallyAdministered;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (i == 0 || e.base != entries[i - 1].base)
            localFirst = e.local ? kLocallyAdministered : e.first;
        const uint64_t first = e.local ? localFirst : e.first;
        readings[e.index].mac = e.base | first << kFirstOctetShift;
    }
}

} // namespace

void keyByRadio(std::span<MetricReading> readings) {
    constexpr size_t kLocal = 64;
    if (readings.size() <= kLocal) {
        std::array<Entry, kLocal> entries;
        assignKeys(readings, std::span(entries).first(readings.size()));
    } else {
        std::vector<Entry> entries(readings.size());
        assignKeys(readings, entries);
    }
}

ReadingsByRadio::ReadingsByRadio(std::span<const MetricReading> readings) : count(readings.size()) {
    if (count <= kLocal) {
        data = local.data();
    } else {
        spilled.resize(count);
        data = spilled.data();
    }
    std::copy(readings.begin(), readings.end(), data);
    keyByRadio({data, count});
}

} // namespace walkmere
