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

// The label of a sample taken walking (a point measured standing still has "TEST"): in
// every other way a walked sample is an ordinary survey point.
inline constexpr const char* kWalkedSampleLabel = "WALK";

// One survey point or placed access point, 71 bytes, little-endian:
//   0  4 x             int32, floor-plan pixels
//   4  4 y             int32
//   8 32 label         "TEST", "WALK" or "AP", NUL-terminated
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
    bool walkedSample() const { return label() == kWalkedSampleLabel; }

    void setX(int32_t v) { writeLe32(bytes.data(), static_cast<uint32_t>(v)); }
    void setY(int32_t v) { writeLe32(bytes.data() + 4, static_cast<uint32_t>(v)); }
    void setLabel(const std::string& s) {
        std::memset(bytes.data() + 8, 0, 32);
        std::memcpy(bytes.data() + 8, s.data(), s.size() < 31 ? s.size() : 31);
    }
    void setReadingCount(uint16_t n) { writeLe16(bytes.data() + 40, n); }
    void setKind(uint8_t k) { bytes[70] = k; }
};

// The radio band of a reading. Unknown: a channel number of neither 2.4 nor 5 GHz, or a
// reserved mark (below).
enum class ReadingBand : uint8_t { Ghz24, Ghz5, Ghz6, Unknown };

// One access point heard at a survey point, 41 bytes:
//   0  1 channel  uint8, the channel number in its band
//   1  2 rssi256  int16, dBm x 256, less the band's mark
//   3  6 mac
//   9 32 ssid     NUL-terminated when shorter than 32; a 32-character SSID fills the field
//
// The handheld always writes a whole dBm x 256, and a reader dividing by 256 toward zero, as
// it does, must read the same dBm from every reading. So the band rides in the remainder:
//   0   2.4 GHz (channels 1 to 14) or 5 GHz (32 to 177), by the channel number
//   -6  6 GHz: a 6 GHz reading stores dBm x 256 - 6, its RSSI held to -127..-1 dBm so that
//       the value fits and still divides back to the same dBm
//   any other remainder is reserved: the band is unknown
struct ApReading {
    static constexpr int kSixGhzMark = -6;
    static constexpr int kSixGhzMinDbm = -127, kSixGhzMaxDbm = -1;

    std::array<uint8_t, kReadingSize> bytes{};

    uint8_t channel() const { return bytes[0]; }
    int16_t rssi256() const { return static_cast<int16_t>(readLe16(bytes.data() + 1)); }
    int rssiDbm() const { return rssi256() / 256; } // truncates toward zero
    ReadingBand band() const {
        const int mark = rssi256() % 256; // takes the dividend's sign, as rssiDbm truncates
        if (mark == kSixGhzMark) return ReadingBand::Ghz6;
        if (mark != 0) return ReadingBand::Unknown;
        if (channel() >= 1 && channel() <= 14) return ReadingBand::Ghz24;
        if (channel() >= 32 && channel() <= 177) return ReadingBand::Ghz5;
        return ReadingBand::Unknown;
    }
    const uint8_t* mac() const { return bytes.data() + 3; }
    std::string ssid() const {
        const char* s = reinterpret_cast<const char*>(bytes.data() + 9);
        return std::string(s, strnlen(s, 32));
    }

    void setChannel(uint8_t c) { bytes[0] = c; }
    void setRssi256(int16_t v) { writeLe16(bytes.data() + 1, static_cast<uint16_t>(v)); }
    // A 6 GHz reading of `dbm`, held to the band's range.
    void setSixGhzRssi(int dbm) {
        const int held = dbm < kSixGhzMinDbm   ? kSixGhzMinDbm
                         : dbm > kSixGhzMaxDbm ? kSixGhzMaxDbm
                                               : dbm;
        setRssi256(static_cast<int16_t>(held * 256 + kSixGhzMark));
    }
    void setMac(const uint8_t m[6]) { std::memcpy(bytes.data() + 3, m, 6); }
    void setSsid(const std::string& s) {
        std::memset(bytes.data() + 9, 0, 32);
        std::memcpy(bytes.data() + 9, s.data(), s.size() < 32 ? s.size() : 32);
    }
};

// "2.4", "5", "6": a band as the tools write it; "" when it is unknown.
inline const char* bandWord(ReadingBand band) {
    switch (band) {
    case ReadingBand::Ghz24:
        return "2.4";
    case ReadingBand::Ghz5:
        return "5";
    case ReadingBand::Ghz6:
        return "6";
    case ReadingBand::Unknown:
        break;
    }
    return "";
}

// A reading's channel as people read it: the number, "6G 1" for a 6 GHz one, whose number
// alone would pass for a 2.4 GHz channel.
inline std::string channelText(const ApReading& r) {
    const std::string number = std::to_string(r.channel());
    return r.band() == ReadingBand::Ghz6 ? "6G " + number : number;
}

// A reading's MAC as the tools and reports show it: "%02X-%02X-%02X-%02X-%02X-%02X".
inline std::string macText(const uint8_t* mac) {
    char buffer[18];
    std::snprintf(buffer, sizeof buffer, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return buffer;
}

} // namespace walkmere
