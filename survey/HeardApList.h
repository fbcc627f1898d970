#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/ApRecord.h"

namespace walkmere {

// One access point heard for the point being measured.
struct HeardAp {
    std::string macText; // "%02x%02x%02x%02x%02x%02x", the key
    std::array<uint8_t, 6> mac{};
    int16_t rssi = 0;    // dBm, the record's signed byte
    int16_t channel = 0; // (channelCode - 5000) / 5
    bool sixGhz = false; // the board said the channel is a 6 GHz one
    std::string ssid;
};

// The access points heard for the point being measured, weakest first. An AP goes before
// the first one whose RSSI is greater than its own, so equal RSSIs keep the order in which
// they were added. A point holds at most a live table's worth of APs, so a vector is
// plenty.
class CHeardApList {
public:
    void clear() { items.clear(); }

    // Adds r, or updates the RSSI and SSID of the AP with the same MAC where it stands.
    // An empty board entry (channelCode 0) is ignored; returns false then.
    bool add(const ApRecord& r);

    const std::vector<HeardAp>& aps() const { return items; }
    size_t size() const { return items.size(); }
    bool empty() const { return items.empty(); }
    const HeardAp* find(const std::string& macText) const;

private:
    std::vector<HeardAp> items;
};

} // namespace walkmere
