#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/ByteOrder.h"

namespace walkmere {

enum PointKind : uint8_t {
    KIND_SURVEY_POINT = 0,
    KIND_DYNAMIC_AP = 1, // an access point placed by hand
    KIND_DELETED = 2,
};

// The points section of a site file, at the header's pointsOffset:
//   uint32 pointRecordSize (71), uint32 readingSize (41), then PointRecords,
//   each directly followed by its readingCount ApReadings, to the end of the file.
inline constexpr uint32_t kPointRecordSize = 71;
inline constexpr uint32_t kReadingSize = 41;
inline constexpr uint32_t kPointsSectionHead = 8;

// A point holds one reading per access point of the live table, which keeps 32, so no
// point record written by this program announces more; one commit writes at most this
// record and its readings, in one write. A larger count in a file is damage, never the
// trace of a write cut short.
inline constexpr uint16_t kMaxReadingsPerPoint = 32;

// One survey point or placed access point, 71 bytes, little-endian:
//   0  4 x             int32, floor-plan pixels
//   4  4 y             int32
//   8 32 label         "TEST" or "AP", NUL-terminated
//  40  2 readingCount  uint16, ApReadings that follow directly
//  42 28 channelNoise  14 x int16 (never measured; written as zeros)
//  70  1 kind          PointKind
struct PointRecord {
    std::array<uint8_t, kPointRecordSize> bytes{};

    int32_t x() const { return static_cast<int32_t>(readLe32(bytes.data())); }
    int32_t y() const { return static_cast<int32_t>(readLe32(bytes.data() + 4)); }
    std::string label() const {
        const char* s = reinterpret_cast<const char*>(bytes.data() + 8);
        return std::string(s, strnlen(s, 32));
    }
    uint16_t readingCount() const { return readLe16(bytes.data() + 40); }
    uint8_t kind() const { return bytes[70]; }

    void setX(int32_t v) { writeLe32(bytes.data(), static_cast<uint32_t>(v)); }
    void setY(int32_t v) { writeLe32(bytes.data() + 4, static_cast<uint32_t>(v)); }
    void setLabel(const std::string& s) {
        std::memset(bytes.data() + 8, 0, 32);
        std::memcpy(bytes.data() + 8, s.data(), s.size() < 31 ? s.size() : 31);
    }
    void setReadingCount(uint16_t n) { writeLe16(bytes.data() + 40, n); }
    void setKind(uint8_t k) { bytes[70] = k; }
};

// One access point heard at a survey point, 41 bytes:
//   0  1 channel  uint8
//   1  2 rssi256  int16, dBm x 256
//   3  6 mac
//   9 32 ssid     NUL-terminated when shorter than 32; a 32-character SSID fills the field
struct ApReading {
    std::array<uint8_t, kReadingSize> bytes{};

    uint8_t channel() const { return bytes[0]; }
    int16_t rssi256() const { return static_cast<int16_t>(readLe16(bytes.data() + 1)); }
    int rssiDbm() const { return rssi256() / 256; } // truncates toward zero
    const uint8_t* mac() const { return bytes.data() + 3; }
    std::string ssid() const {
        const char* s = reinterpret_cast<const char*>(bytes.data() + 9);
        return std::string(s, strnlen(s, 32));
    }

    void setChannel(uint8_t c) { bytes[0] = c; }
    void setRssi256(int16_t v) { writeLe16(bytes.data() + 1, static_cast<uint16_t>(v)); }
    void setMac(const uint8_t m[6]) { std::memcpy(bytes.data() + 3, m, 6); }
    void setSsid(const std::string& s) {
        std::memset(bytes.data() + 9, 0, 32);
        std::memcpy(bytes.data() + 9, s.data(), s.size() < 32 ? s.size() : 32);
    }
};

// A reading's MAC as the tools and reports show it: "%02X-%02X-%02X-%02X-%02X-%02X".
inline std::string macText(const uint8_t* mac) {
    char buffer[18];
    std::snprintf(buffer, sizeof buffer, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return buffer;
}

} // namespace walkmere
