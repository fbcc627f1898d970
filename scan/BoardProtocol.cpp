#include "scan/BoardProtocol.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "link/FrameEncoder.h"

namespace walkmere {

namespace {

// Clears the busy flag however the handling of a packet ends.
class BusyScope {
public:
    explicit BusyScope(std::atomic<bool>& flag) : flag(flag) {}
    ~BusyScope() { flag.store(false); }

private:
    std::atomic<bool>& flag;
};

// Length of the string at p, reading no more than max bytes (and never past the packet).
size_t boundedLength(const uint8_t* p, size_t max) {
    if (max == 0) return 0;
    const void* nul = std::memchr(p, 0, max);
    return nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : max;
}

// The assembler zero-fills its payload buffer before every frame, so the board's packets
// are read as if from that buffer: bytes past the end of a short packet read as 0 (an
// empty firmware string is "", an empty radio status is 0, a short entry packet carries a
// record that ends in zeros). The first n bytes of the packet, zero-filled beyond it.
template <size_t N> std::array<uint8_t, N> zeroFilled(const uint8_t* payload, uint32_t length) {
    std::array<uint8_t, N> bytes{};
    if (payload) std::memcpy(bytes.data(), payload, std::min<size_t>(length, N));
    return bytes;
}

} // namespace

CBoardProtocol::CBoardProtocol(IFrameQueue& link, CLiveApTable& table, IClock& clock)
    : link(link), table(table), clock(clock) {}

void CBoardProtocol::setNotifySink(NotifySink sink) {
    std::lock_guard<std::mutex> g(sinkLock);
    notifySink = std::move(sink);
}

void CBoardProtocol::setStatusMessageSink(StatusMessageSink sink) {
    std::lock_guard<std::mutex> g(sinkLock);
    statusSink = std::move(sink);
}

void CBoardProtocol::requestFirmware() {
    sendCommand(REQ_FIRMWARE, nullptr, 0, false);
}

int CBoardProtocol::sendCommand(uint8_t type, const uint8_t* payload, size_t n, bool wait) {
    uint8_t frame[kSendSlotSize];
    size_t len = encodeFrame(type, payload, n, frame, sizeof frame);
    if (len == 0) return 0;
    // Whether the board's reply came or the time ran out makes no difference: the wait only
    // keeps a request from overtaking the previous reply.
    if (wait) replyEvent.wait(kReplyWait);
    replyEvent.reset();
    link.queueFrame(frame, static_cast<uint32_t>(len));
    return 1;
}

int CBoardProtocol::requestEntry(uint8_t index) {
    if (index < 1 || index > kSweepSlots) return 0;
    const std::array<uint8_t, kEntryRequestSize> payload = readEntryPayload(index);
    sendCommand(REQ_READ_ENTRY, payload.data(), payload.size(), true);
    return 1;
}

void CBoardProtocol::sendKeepAlive() {
    const uint8_t keepAlive[2] = {0x00, 0x00};
    link.queueFrame(keepAlive, sizeof keepAlive);
}

void CBoardProtocol::dispatchPacket(uint8_t type, const uint8_t* payload, uint32_t length) {
    if (busy.exchange(true)) return; // re-entered while handling a packet
    BusyScope scope(busy);
    if (payload == nullptr) length = 0;
    // A payload of n bytes is followed by zeros in the assembler's buffer; the handlers read
    // it that way whoever calls them.
    switch (type) {
    case PKT_FIRMWARE:
        onFirmware(payload, length);
        break;
    case PKT_SERIAL:
        onSerial(payload, length);
        break;
    case PKT_RADIO_STATUS:
        onRadioStatus(payload, length);
        break;
    case PKT_ENTRY:
        onEntry(payload, length);
        break;
    default:
        break;
    }
}

void CBoardProtocol::onFirmware(const uint8_t* payload, uint32_t length) {
    // The field holds 31 characters and its NUL; a longer string is cut.
    size_t n = boundedLength(payload, std::min<size_t>(length, kFirmwareChars));
    {
        std::lock_guard<std::mutex> g(stringLock);
        firmwareVersion.fill(0);
        if (n > 0) std::memcpy(firmwareVersion.data(), payload, n);
    }
    sendCommand(REQ_SERIAL, nullptr, 0, false);
}

void CBoardProtocol::onSerial(const uint8_t* payload, uint32_t length) {
    size_t n = boundedLength(payload, std::min<size_t>(length, kSerialChars));
    {
        std::lock_guard<std::mutex> g(stringLock);
        serialNumber.fill(0);
        if (n > 0) std::memcpy(serialNumber.data(), payload, n);
    }
    entryIndex.store(1);
    requestEntry(1);
    notify(kUpdateSerialWParam, kUpdateSerialLParam);
}

void CBoardProtocol::onRadioStatus(const uint8_t* payload, uint32_t length) {
    if (zeroFilled<1>(payload, length)[0] != 0) return;
    LocalHourMinute t = clock.localTime();
    char text[64];
    std::snprintf(text, sizeof text, "Intersil Not Responding at %d:%d", t.hour, t.minute);
    StatusMessageSink sink;
    {
        std::lock_guard<std::mutex> g(sinkLock);
        sink = statusSink;
    }
    if (sink) sink(text);
}

void CBoardProtocol::onEntry(const uint8_t* received, uint32_t length) {
    // Only the selector decides; a packet cut short before its record's end carries zeros
    // there (a record whose channel code reads 0 is an empty entry).
    const std::array<uint8_t, kEntryPacketSize> bytes =
        zeroFilled<kEntryPacketSize>(received, length);
    const uint8_t* payload = bytes.data();
    std::memcpy(lastHeader.data(), payload, kHeaderCopy);

    const uint8_t* sel = payload + kEntrySelectorOffset;
    const uint8_t nn = sel[3];
    if (sel[0] != kEntrySelectorTag || sel[1] != 0 || sel[2] != 0 || nn < 1 || nn > kSweepSlots)
        return; // nothing stored, nothing requested: the UI timer restarts a stalled sweep

    // The record goes to the slot of the current index, whatever entry the selector names.
    uint8_t slot = entryIndex.load();
    if (slot < 1 || slot > kSweepSlots) slot = 1;
    entrySlots[slot] = ApRecord::fromBytes(payload + kEntryHeaderSize);

    uint8_t next = static_cast<uint8_t>(nn + 1);
    bool completed = false;
    if (next > kSweepSlots) {
        next = 1;
        completed = true;
    }
    entryIndex.store(next);
    if (completed) {
        sweepComplete.store(1);
        table.processSweep(entrySlots);
    }
    requestEntry(next);
    replyEvent.set();
    if (completed) notify(kUpdateSweepWParam, kUpdateSweepLParam);
}

void CBoardProtocol::notify(uint32_t wParam, uint32_t lParam) {
    NotifySink sink;
    {
        std::lock_guard<std::mutex> g(sinkLock);
        sink = notifySink;
    }
    if (sink) sink(wParam, lParam);
}

std::string CBoardProtocol::getFirmwareVersion() const {
    std::lock_guard<std::mutex> g(stringLock);
    return std::string(firmwareVersion.data(), strnlen(firmwareVersion.data(), kBoardStringField));
}

std::string CBoardProtocol::getSerialNumber() const {
    std::lock_guard<std::mutex> g(stringLock);
    return std::string(serialNumber.data(), strnlen(serialNumber.data(), kBoardStringField));
}

} // namespace walkmere
