#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace walkmere {

// Everything that crosses the line between the handheld and the scanner board: the frame
// bytes, the frame types each side sends, and the layout of their payloads. The handheld
// (scan/BoardProtocol), the stand-in board (board/) and the sources of its strings (wifi/)
// all read it from here.

// Frames, the same in both directions:  11 12 <type> <payload...> 11 13
// A 0x11 in the type or the payload is sent as 11 14. Everything outside a frame
// (line noise, the keep-alive's zero bytes) is ignored.
inline constexpr uint8_t kFrameMarker = 0x11;
inline constexpr uint8_t kFrameStart = 0x12;
inline constexpr uint8_t kFrameEnd = 0x13;
inline constexpr uint8_t kFrameEscape = 0x14;

// Commands, handheld to board (frame types).
inline constexpr uint8_t REQ_FIRMWARE = 1;
inline constexpr uint8_t REQ_SERIAL = 2;
inline constexpr uint8_t REQ_READ_ENTRY = 3;

// Packets, board to handheld (frame types).
inline constexpr uint8_t PKT_FIRMWARE = 1;
inline constexpr uint8_t PKT_SERIAL = 2;
inline constexpr uint8_t PKT_RADIO_STATUS = 3;
inline constexpr uint8_t PKT_ENTRY = 4;

// REQ_READ_ENTRY's payload for entry NN, 12 bytes:
//   01 00 | selector 1C 00 00 NN | 00 00 | the record size asked for, big-endian (00 00 00 3A)
// PKT_ENTRY's payload: a 12-byte header whose bytes 2..5 repeat the selector, then the record
// (scan/ApRecord.h), 70 bytes in all.
inline constexpr size_t kEntryRequestSize = 12;
inline constexpr size_t kEntrySelectorOffset = 2;
inline constexpr uint8_t kEntrySelectorTag = 0x1C;
inline constexpr size_t kEntryNumberOffset = kEntrySelectorOffset + 3; // NN
inline constexpr size_t kEntryRecordSize = 58;
inline constexpr size_t kEntryHeaderSize = 12;
inline constexpr size_t kEntryPacketSize = kEntryHeaderSize + kEntryRecordSize;

inline constexpr std::array<uint8_t, kEntryRequestSize> readEntryPayload(uint8_t nn) {
    static_assert(kEntryRecordSize < 256, "the record size fits the size field's last byte");
    std::array<uint8_t, kEntryRequestSize> p{};
    p[0] = 0x01;
    p[kEntrySelectorOffset] = kEntrySelectorTag;
    p[kEntryNumberOffset] = nn;
    p[kEntryRequestSize - 1] = static_cast<uint8_t>(kEntryRecordSize);
    return p;
}

// PKT_FIRMWARE and PKT_SERIAL carry strings. The handheld keeps each in a 32-byte field:
// the firmware's first 31 characters and its NUL, the serial number's first 6.
inline constexpr size_t kBoardStringField = 32;
inline constexpr size_t kFirmwareChars = kBoardStringField - 1;
inline constexpr size_t kSerialChars = 6;

} // namespace walkmere
