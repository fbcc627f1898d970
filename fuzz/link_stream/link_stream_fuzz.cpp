// The byte stream from the board, cut into reads of the sizes the input asks for, through
// the frame assembler, the packet dispatcher and the live table.
//
// Input: byte 0 = n, the number of read sizes that follow (n % 16); then n sizes of one
// byte each (0 is taken as 1); the rest is the line. The sizes are used in turn, round and
// round, as the link worker's read lengths. The first size (modulo 8) is also the table's
// settle count, so that certification is reached from short inputs.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/FrameAssembler.h"
#include "link/PacketHandler.h"
#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "testkit/ManualClock.h"

namespace {

using namespace walkmere;

class NullFrameQueue final : public IFrameQueue {
public:
    int queueFrame(const uint8_t*, uint32_t n) override {
        if (n == 0 || n > kSendSlotSize) __builtin_trap(); // the protocol never builds one
        return 1;
    }
};

void checkTable(const CLiveApTable& table) {
    int count = table.entryCount();
    if (count < 0 || count > CLiveApTable::kMaxEntries) __builtin_trap();
    std::vector<LiveApEntry> entries = table.snapshot();
    if (static_cast<int>(entries.size()) != count) __builtin_trap();
    for (size_t i = 0; i < entries.size(); ++i) {
        for (size_t j = i + 1; j < entries.size(); ++j)
            if (entries[i].record.sameMac(entries[j].record)) __builtin_trap();
    }
    for (const ApRecord& r : table.certifiedRecords())
        if (table.findEntry(r) == 0) __builtin_trap();
}

// The frame handed to the dispatcher is copied to the end of this array, so that a read
// past its length runs into the redzone that AddressSanitizer puts after the array.
uint8_t frameCopy[kMaxPayload];

// One assembler for all runs: reset() at the start of a run brings it back to its initial
// state (the bytes past `stored` are zero, which the end of each run checks), and it saves
// clearing 8 KiB per run.
CFrameAssembler assembler;
const uint8_t zeros[kMaxPayload] = {};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    size_t splitCount = data[0] % 16;
    if (1 + splitCount > size) return 0;
    const uint8_t* splits = data + 1;
    const uint8_t* line = data + 1 + splitCount;
    size_t lineSize = size - 1 - splitCount;

    NullFrameQueue queue;
    CLiveApTable table;
    testkit::ManualClock clock;
    CBoardProtocol protocol(queue, table, clock);
    if (splitCount > 0) table.setSettleCount(static_cast<int16_t>(splits[0] % 8));
    int notified = 0;
    protocol.setNotifySink([&](uint32_t wParam, uint32_t lParam) {
        if (wParam == kUpdateSweepWParam && lParam != kUpdateSweepLParam) __builtin_trap();
        ++notified;
    });
    protocol.setStatusMessageSink([](const std::string& text) {
        if (text.empty()) __builtin_trap();
    });

    assembler.reset();
    size_t pos = 0;
    size_t nextSplit = 0;
    while (pos < lineSize) {
        // One read of the link worker.
        size_t chunk = splitCount ? splits[nextSplit++ % splitCount] : lineSize;
        if (chunk == 0) chunk = 1;
        if (chunk > lineSize - pos) chunk = lineSize - pos;
        const uint8_t* read = line + pos;
        pos += chunk;
        for (size_t i = 0; i < chunk; ++i) {
            assembler.feed(read[i]);
            if (assembler.length() > kMaxPayload) __builtin_trap();
            if (assembler.state() != CFrameAssembler::Complete) continue;
            // Every byte of a complete frame lies inside the assembler's buffer; copy it out
            // so the dispatcher's reads are checked against exactly the frame's length.
            const uint32_t length = assembler.length();
            uint8_t* frame = frameCopy + (kMaxPayload - length);
            std::memcpy(frame, assembler.payload(), length);
            // A reply "arrived": the entry request that follows an entry packet finds the
            // event set and does not sit out its 250 ms.
            protocol.replyEvent.set();
            protocol.dispatchPacket(assembler.type(), frame, length);
            assembler.reset();
            if (table.entryCount() < 0 || table.entryCount() > CLiveApTable::kMaxEntries)
                __builtin_trap();
            // The table changes only when a sweep completes: check it whole then.
            if (protocol.sweepComplete.exchange(0)) checkTable(table);
            uint8_t index = protocol.entryIndex.load();
            if (index < 1 || index > kSweepSlots) __builtin_trap();
            clock.advance(1);
        }
    }
    if (protocol.getFirmwareVersion().size() > kFirmwareChars) __builtin_trap();
    if (protocol.getSerialNumber().size() > kSerialChars) __builtin_trap();
    checkTable(table);
    // The assembler keeps every byte past the stored ones zero (reset clears only those).
    const uint32_t stored = assembler.length();
    if (std::memcmp(assembler.payload() + stored, zeros, kMaxPayload - stored) != 0)
        __builtin_trap();
    return 0;
}
