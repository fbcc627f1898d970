#pragma once
// The board's side of the scan protocol in bytes: its records, its answers and the
// handheld's requests as they travel.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "scan/ApRecord.h"
#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"

namespace walkmere::scantest {

using Bytes = std::vector<uint8_t>;

// A record for AP number `id` (the last MAC byte), with the given age.
inline ApRecord makeRecord(uint8_t id, int16_t age, int8_t rssi = -60, uint16_t channelCode = 5180,
                           const std::string& ssid = "net") {
    const uint8_t mac[6] = {0x00, 0xA0, 0xF8, 0x12, 0x34, id};
    ApRecord r;
    r.setMac(mac);
    r.setAge(age);
    r.setRssi(rssi);
    r.setChannelCode(channelCode);
    r.setSsid(ssid);
    return r;
}

// A completed sweep holding `records` in slots 1, 2, ... (slot 0 is never used).
inline SweepSlots sweepOf(std::initializer_list<ApRecord> records) {
    SweepSlots slots{};
    int i = 1;
    for (const ApRecord& r : records)
        slots[size_t(i++)] = r;
    return slots;
}

// The 12 bytes that ask for entry `nn`: REQ_READ_ENTRY's payload, which the answer repeats.
inline Bytes entryRequestPayload(uint8_t nn) {
    return {0x01, 0x00, 0x1C, 0x00, 0x00, nn, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3A};
}

// The payload of the board's answer for entry `nn`: the 12 bytes asking for it, then the
// record.
inline Bytes entryPayload(uint8_t nn, const ApRecord& r) {
    Bytes p = entryRequestPayload(nn);
    p.reserve(p.size() + r.bytes.size());
    p.insert(p.end(), r.bytes.begin(), r.bytes.end());
    return p;
}

// The 17 bytes on the wire of REQ_READ_ENTRY for entry `nn`.
inline Bytes entryRequestFrame(uint8_t nn) {
    return {0x11, 0x12, 0x03, 0x01, 0x00, 0x1C, 0x00, 0x00, nn,
            0x00, 0x00, 0x00, 0x00, 0x00, 0x3A, 0x11, 0x13};
}

inline void dispatch(CBoardProtocol& p, uint8_t type, const Bytes& payload) {
    p.dispatchPacket(type, payload.data(), static_cast<uint32_t>(payload.size()));
}

inline Bytes text(const std::string& s, bool withNul = true) {
    Bytes b(s.begin(), s.end());
    if (withNul) b.push_back(0);
    return b;
}

} // namespace walkmere::scantest
