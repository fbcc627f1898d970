#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "link/BoardWire.h"
#include "platform/ByteOrder.h"

namespace walkmere {

// The board's record of one access point, 58 bytes, little-endian:
//
//   offset size field
//        0    6 mac          BSSID in transmission order
//        6    4 -            not used here
//       10    2 age          int16, seconds since the board last heard the AP
//       12    1 -
//       13    1 rssi         int8, dBm
//       14    1 -
//       15   33 ssid         NUL-terminated, at most 32 characters
//       48    2 channelCode  uint16; 0 marks an empty board entry
//       50    8 bandMark     "WMBAND" 06 00 from our own boards (the Wi-Fi and simulated
//                            ones): the channel is a 6 GHz channel
//
// The handheld leaves bytes 50..57 alone, so the mark changes nothing it reads or shows: a
// 6 GHz channel 1 is still channel 1 to it. Only these eight exact bytes say 6 GHz; zeros
// (the scenario board) or anything else a board not ours puts there say nothing, and the
// channel is 2.4 or 5 GHz by its number as before.
//
// Kept as its raw bytes so it is copied whole, exactly as the board sent it.
struct ApRecord {
    static constexpr size_t kSize = kEntryRecordSize; // what an entry packet carries
    static constexpr size_t kMacOffset = 0;
    static constexpr size_t kAgeOffset = 10;
    static constexpr size_t kRssiOffset = 13;
    static constexpr size_t kSsidOffset = 15;
    static constexpr size_t kSsidField = 33;
    static constexpr size_t kChannelCodeOffset = 48;
    static constexpr size_t kBandMarkOffset = 50;
    static constexpr std::array<uint8_t, 8> kSixGhzMark = {'W', 'M', 'B', 'A', 'N', 'D', 6, 0};

    static_assert(kBandMarkOffset + kSixGhzMark.size() == kSize, "the mark ends the record");

    std::array<uint8_t, kSize> bytes{};

    static ApRecord fromBytes(const uint8_t* p) {
        ApRecord r;
        std::memcpy(r.bytes.data(), p, kSize);
        return r;
    }

    const uint8_t* mac() const { return bytes.data() + kMacOffset; }
    bool sameMac(const ApRecord& o) const { return std::memcmp(mac(), o.mac(), 6) == 0; }
    int16_t age() const { return static_cast<int16_t>(readLe16(bytes.data() + kAgeOffset)); }
    int8_t rssi() const { return static_cast<int8_t>(bytes[kRssiOffset]); }
    uint16_t channelCode() const { return readLe16(bytes.data() + kChannelCodeOffset); }
    bool empty() const { return channelCode() == 0; }
    bool sixGhz() const {
        return std::memcmp(bytes.data() + kBandMarkOffset, kSixGhzMark.data(),
                           kSixGhzMark.size()) == 0;
    }

    // (code - 5000) / 5 in signed 16-bit arithmetic, truncating toward zero.
    int16_t channel() const {
        int16_t diff = static_cast<int16_t>(static_cast<int16_t>(channelCode()) - 5000);
        return static_cast<int16_t>(diff / 5);
    }

    // The SSID up to its NUL, or all 33 bytes of the field when it has none.
    std::string ssid() const {
        const char* s = reinterpret_cast<const char*>(bytes.data() + kSsidOffset);
        return std::string(s, strnlen(s, kSsidField));
    }

    // "%02x%02x%02x%02x%02x%02x"
    std::string macText() const {
        static const char hex[] = "0123456789abcdef";
        std::string t(12, '0');
        for (int i = 0; i < 6; ++i) {
            t[2 * i] = hex[mac()[i] >> 4];
            t[2 * i + 1] = hex[mac()[i] & 15];
        }
        return t;
    }

    // Builders, for the stand-in board and tests.
    void setMac(const uint8_t m[6]) { std::memcpy(bytes.data() + kMacOffset, m, 6); }
    void setAge(int16_t a) { writeLe16(bytes.data() + kAgeOffset, static_cast<uint16_t>(a)); }
    void setRssi(int8_t r) { bytes[kRssiOffset] = static_cast<uint8_t>(r); }
    void setChannelCode(uint16_t c) { writeLe16(bytes.data() + kChannelCodeOffset, c); }
    // Our own boards only: the channel is a 6 GHz channel.
    void markSixGhz() {
        std::memcpy(bytes.data() + kBandMarkOffset, kSixGhzMark.data(), kSixGhzMark.size());
    }
    void setSsid(const std::string& s) {
        std::memset(bytes.data() + kSsidOffset, 0, kSsidField);
        std::memcpy(bytes.data() + kSsidOffset, s.data(),
                    s.size() < kSsidField ? s.size() : kSsidField);
    }

    bool operator==(const ApRecord& o) const { return bytes == o.bytes; }
};

} // namespace walkmere
