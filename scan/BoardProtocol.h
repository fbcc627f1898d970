#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "link/BoardWire.h"
#include "link/PacketHandler.h"
#include "platform/Clock.h"
#include "platform/ManualResetEvent.h"
#include "scan/ApRecord.h"
#include "scan/LiveApTable.h"

namespace walkmere {

// WM_BOARD_UPDATE, as the notify sink receives it: (2, 0) after a serial-number packet,
// (4, 0x1000001C) after a completed sweep (the selector bytes of entry 16 read little-endian).
inline constexpr uint32_t kBoardUpdateMessage = 0x8064; // WM_APP + 100
inline constexpr uint32_t kUpdateSerialWParam = 2;
inline constexpr uint32_t kUpdateSerialLParam = 0;
inline constexpr uint32_t kUpdateSweepWParam = 4;
inline constexpr uint32_t kUpdateSweepLParam = 0x1000001C;

// Speaks the scanner board's protocol: builds and queues command frames, dispatches the
// board's packets, keeps its firmware and serial-number strings, and walks the board through
// its 16 AP entries, merging each completed sweep into the live table.
//
// Threads: dispatchPacket (and the requests it sends) runs on the link worker. The UI thread
// reads the strings, takes sweepComplete, and on a stalled sweep writes entryIndex = 1 and
// calls requestEntry(1). The shared flags are atomics; the strings and the sinks are behind
// mutexes; entrySlots and lastHeader are touched only by dispatchPacket. A survey point's
// measurement is not the protocol's: survey/PointMeasurement keeps it.
class CBoardProtocol final : public IPacketHandler {
public:
    using NotifySink = std::function<void(uint32_t wParam, uint32_t lParam)>;
    using StatusMessageSink = std::function<void(const std::string&)>;

    static constexpr size_t kHeaderCopy = 16; // what lastHeader keeps
    static constexpr std::chrono::milliseconds kReplyWait{250};

    CBoardProtocol(IFrameQueue& link, CLiveApTable& table, IClock& clock);
    CBoardProtocol(const CBoardProtocol&) = delete;
    CBoardProtocol& operator=(const CBoardProtocol&) = delete;

    // Called on the worker thread with WM_BOARD_UPDATE's parameters; the frame's sink queues
    // the call onto the UI thread. Must not block.
    void setNotifySink(NotifySink sink);
    // Receives "Intersil Not Responding at H:M" on the worker thread; the frame's sink shows
    // it from the UI thread, so the worker never waits on a message box.
    void setStatusMessageSink(StatusMessageSink sink);

    // REQ_FIRMWARE, without waiting.
    void requestFirmware();
    // Encodes one command frame; if `wait`, waits up to 250 ms for replyEvent (set or not
    // makes no difference); resets replyEvent; queues the frame. Returns 1, or 0 when the
    // frame would not fit the send slot (nothing is queued then).
    int sendCommand(uint8_t type, const uint8_t* payload, size_t n, bool wait);
    // REQ_READ_ENTRY for entry 1..16, with wait. Returns 1; 0 for an index outside 1..16,
    // which the board could not answer (nothing is sent).
    int requestEntry(uint8_t index);

    void sendKeepAlive() override;
    void dispatchPacket(uint8_t type, const uint8_t* payload, uint32_t length) override;

    std::string getFirmwareVersion() const;
    std::string getSerialNumber() const;

    // Worker-thread state, readable from tests on a quiet protocol object.
    const ApRecord& entrySlot(int i) const { return entrySlots[i]; }
    const std::array<uint8_t, kHeaderCopy>& lastEntryHeader() const { return lastHeader; }

    // The slot that the next entry packet is stored in, 1..16. Written by the worker and
    // by the UI thread (sweep restart, a point begun at the action key); the last writer
    // wins.
    std::atomic<uint8_t> entryIndex{1};
    // Set after each accepted entry packet; a read request waits for it and clears it.
    ManualResetEvent replyEvent;
    // Set by the worker when a sweep passes entry 16; tested and cleared by the UI timer.
    std::atomic<uint8_t> sweepComplete{0};

private:
    void onFirmware(const uint8_t* payload, uint32_t length);
    void onSerial(const uint8_t* payload, uint32_t length);
    void onRadioStatus(const uint8_t* payload, uint32_t length);
    void onEntry(const uint8_t* payload, uint32_t length);
    void notify(uint32_t wParam, uint32_t lParam);

    IFrameQueue& link;
    CLiveApTable& table;
    IClock& clock;

    SweepSlots entrySlots{}; // index 0 unused
    std::array<uint8_t, kHeaderCopy> lastHeader{};
    std::atomic<bool> busy{false};

    mutable std::mutex stringLock;
    std::array<char, kBoardStringField> serialNumber{};
    std::array<char, kBoardStringField> firmwareVersion{};

    std::mutex sinkLock;
    NotifySink notifySink;
    StatusMessageSink statusSink;
};

} // namespace walkmere
