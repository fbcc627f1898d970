#pragma once

#include "coverage/CoverageMetric.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace walkmere {

// Which BSSIDs one radio of an access point sends. A radio that sends several networks
// (Corp and Guest) gives each its own BSSID, made from the radio's base address in one of
// two ways: counting up in the low bits of the last octet (00:1a:1e:01:24:00, ...:01,
// ...:02), or setting the locally administered bit (0x02) of the first octet, often with
// other bits of that octet changed too (02:..., 06:..., 0a:...), the rest left as it is.
//
// So readings on one channel are of one radio when their BSSIDs are equal but for the low
// 4 bits of the last octet and, where one of them is locally administered, the first octet.
// A locally administered BSSID joins the universally administered one it matches (the
// lowest first octet, should there be several); locally administered ones that match no
// other join each other. The channel keeps the radios of one box apart: its 2.4 and 5 GHz
// radios often share a base address.

// Replaces each reading's `mac` by the key of the radio that sends it: readings of one
// radio get one key, those of different radios different keys. The key holds the channel,
// so it is no MAC.
void keyByRadio(std::span<MetricReading> readings);

// A spot's readings keyed by radio, copied aside (on the stack when they are few).
class ReadingsByRadio {
public:
    explicit ReadingsByRadio(std::span<const MetricReading> readings);
    ReadingsByRadio(const ReadingsByRadio&) = delete;
    ReadingsByRadio& operator=(const ReadingsByRadio&) = delete;
    std::span<const MetricReading> readings() const { return {data, count}; }

private:
    static constexpr size_t kLocal = 64;
    std::array<MetricReading, kLocal> local;
    std::vector<MetricReading> spilled;
    MetricReading* data = nullptr;
    size_t count = 0;
};

} // namespace walkmere
