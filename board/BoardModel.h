#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "board/Scenario.h"
#include "board/WifiFeed.h"
#include "link/FrameAssembler.h"
#include "scan/ApRecord.h"

namespace walkmere {

// What the board has received and sent, for tests and the exit summary.
struct BoardStats {
    uint32_t firmwareRequests = 0;
    uint32_t serialRequests = 0;
    uint32_t entryRequests = 0;
    uint32_t malformedRequests = 0; // known type, bad payload: not answered
    uint32_t otherFrames = 0;       // frames of any other type: not answered
    uint32_t unansweredWhileSilent = 0;
    int lastEntryRequested = 0; // NN of the latest well-formed entry request, 0 before any
    uint32_t packets = 0;       // packets built: answers and radio-status packets
    uint32_t badSelectors = 0;  // entry answers sent with a refused selector
    uint32_t radioOffPackets = 0;
    uint64_t bytesWritten = 0; // what reached the line, noise included
    uint64_t noiseBytes = 0;
    uint32_t hangups = 0; // times the other side closed the line
};

// The board's firmware without any I/O: which APs its list holds at a given second, and
// the answer to each request. Board time is whole seconds since the board started.
// One thread drives it; stats() may be read from any thread.
//
// With a Wi-Fi feed the list is the feed's (the scenario's APs are not used) and the
// firmware and serial strings are the feed's source's; the scenario's faults still apply.
// The feed stays the caller's and must outlive the model.
class BoardModel {
public:
    explicit BoardModel(Scenario scenario, const WifiFeed* feed = nullptr);

    const Scenario& scenario() const { return config; }

    // The board's list at second t, earliest-appearing AP first (with a feed: the feed's list
    // now, strongest first), at most 16 records.
    std::vector<ApRecord> listAt(uint32_t t) const;
    // Board entry nn (1..16) at second t; an entry without an AP has channelCode 0.
    ApRecord entryAt(int nn, uint32_t t) const;
    bool silentAt(uint32_t t) const;

    // Feeds bytes received from the handheld; returns one encoded answer frame for each
    // complete request that gets one, in order.
    std::vector<std::vector<uint8_t>> respondFrames(const uint8_t* bytes, size_t n, uint32_t t);
    // The same answers run together, as they would go out on the line.
    std::vector<uint8_t> respond(const uint8_t* bytes, size_t n, uint32_t t);
    std::vector<uint8_t> respond(const std::vector<uint8_t>& bytes, uint32_t t) {
        return respond(bytes.data(), bytes.size(), t);
    }

    // A packet the board sends on its own at second t (the radio-status fault), or nothing.
    std::vector<uint8_t> unsolicited(uint32_t t);

    // The other side went away: a half-received request is dropped.
    void lineHungUp();
    void noteWritten(uint64_t bytes, uint64_t noise);

    BoardStats stats() const;

private:
    struct Hearing {
        uint32_t time = 0;  // second of the latest hearing
        uint64_t index = 0; // which hearing it was, 0 for the first
    };

    bool latestHearing(size_t ap, uint32_t t, Hearing& out) const;
    ApRecord recordOf(size_t ap, const Hearing& h, uint32_t t) const;
    uint64_t hash(size_t ap, uint64_t hearing, uint64_t salt) const;
    std::vector<uint8_t> answer(uint8_t type, const uint8_t* payload, size_t n, uint32_t t);
    std::vector<uint8_t> entryAnswer(const uint8_t* request, uint32_t t);
    template <class F> void tally(F&& change) {
        std::lock_guard<std::mutex> guard(statsLock);
        change(counters);
    }

    Scenario config;
    const WifiFeed* feed;
    CFrameAssembler assembler;
    uint32_t entryAnswers = 0;
    uint32_t radioOffPeriod = 0;

    mutable std::mutex statsLock;
    BoardStats counters;
};

} // namespace walkmere
