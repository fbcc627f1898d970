#include "board/BoardModel.h"

#include <algorithm>

#include "link/FrameEncoder.h"

namespace walkmere {

namespace {

uint64_t splitmix64(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

constexpr uint64_t kSaltMiss = 1;
constexpr uint64_t kSaltRssi = 2;

// How far back a run of missed hearings is followed; with miss <= 0.95 a longer run is
// practically impossible, and the first hearing is never missed anyway.
constexpr int kMaxMissRun = 4096;

// The request for one of the board's entries, exactly as the handheld builds it.
bool isEntryRequest(const uint8_t* p, size_t n) {
    if (n != kEntryRequestSize) return false;
    const uint8_t nn = p[kEntryNumberOffset];
    if (nn < 1 || nn > kBoardEntries) return false;
    const std::array<uint8_t, kEntryRequestSize> expected = readEntryPayload(nn);
    return std::equal(expected.begin(), expected.end(), p);
}

} // namespace

BoardModel::BoardModel(Scenario scenario, const WifiFeed* feed)
    : config(std::move(scenario)), feed(feed) {
    if (feed) {
        config.firmware = feed->firmware();
        config.serial = feed->serial();
    }
}

uint64_t BoardModel::hash(size_t ap, uint64_t hearing, uint64_t salt) const {
    return splitmix64(splitmix64(splitmix64(config.seed ^ (salt << 56)) ^ ap) ^ hearing);
}

bool BoardModel::latestHearing(size_t ap, uint32_t t, Hearing& out) const {
    const ScenarioAp& a = config.aps[ap];
    if (t < a.appear) return false;
    uint32_t lastPossible = t;
    if (a.disappear != kNever) lastPossible = std::min(t, a.disappear - 1);
    uint64_t k = (lastPossible - a.appear) / a.heardEvery;
    for (int run = 0; k > 0 && run < kMaxMissRun; ++run, --k) {
        double u = double(hash(ap, k, kSaltMiss) >> 11) / double(1ull << 53);
        if (u >= a.miss) break;
    }
    out.index = k;
    out.time = static_cast<uint32_t>(a.appear + k * a.heardEvery);
    return true;
}

ApRecord BoardModel::recordOf(size_t ap, const Hearing& h, uint32_t t) const {
    const ScenarioAp& a = config.aps[ap];
    int rssi = a.rssiMean;
    if (a.jitter > 0) {
        uint64_t span = 2 * uint64_t(a.jitter) + 1;
        rssi += static_cast<int>(hash(ap, h.index, kSaltRssi) % span) - a.jitter;
    }
    rssi = std::clamp(rssi, -128, 0);
    uint32_t age = std::min<uint32_t>(t - h.time, 32767);

    ApRecord r;
    r.setMac(a.mac.data());
    r.setAge(static_cast<int16_t>(age));
    r.setRssi(static_cast<int8_t>(rssi));
    r.setSsid(a.ssid);
    r.setChannelCode(a.channelCode);
    return r;
}

std::vector<ApRecord> BoardModel::listAt(uint32_t t) const {
    if (feed) return feed->entries();
    struct Listed {
        uint32_t appear;
        size_t index;
        Hearing hearing;
    };
    std::vector<Listed> listed;
    for (size_t i = 0; i < config.aps.size(); ++i) {
        Hearing h;
        if (!latestHearing(i, t, h)) continue;
        if (t - h.time > config.forgetOf(config.aps[i])) continue; // forgotten
        listed.push_back({config.aps[i].appear, i, h});
    }
    std::stable_sort(listed.begin(), listed.end(),
                     [](const Listed& a, const Listed& b) { return a.appear < b.appear; });
    if (listed.size() > kBoardEntries) listed.resize(kBoardEntries);

    std::vector<ApRecord> records;
    for (const Listed& l : listed)
        records.push_back(recordOf(l.index, l.hearing, t));
    return records;
}

ApRecord BoardModel::entryAt(int nn, uint32_t t) const {
    std::vector<ApRecord> list = listAt(t);
    if (nn < 1 || size_t(nn) > list.size()) return ApRecord{};
    return list[nn - 1];
}

bool BoardModel::silentAt(uint32_t t) const {
    const BoardFaults& f = config.faults;
    if (f.silencePeriod == 0 || f.silenceSeconds == 0) return false;
    return t % f.silencePeriod >= f.silencePeriod - f.silenceSeconds;
}

std::vector<uint8_t> BoardModel::entryAnswer(const uint8_t* request, uint32_t t) {
    int nn = request[kEntryNumberOffset];
    ApRecord record = entryAt(nn, t);

    // The header mirrors the request: 01 00, the selector, 00 00 00 00 00 3A.
    uint8_t payload[kEntryPacketSize];
    std::copy(request, request + kEntryHeaderSize, payload);
    std::copy(record.bytes.begin(), record.bytes.end(), payload + kEntryHeaderSize);

    ++entryAnswers;
    uint32_t k = config.faults.badSelectorEvery;
    bool bad = k != 0 && entryAnswers % k == 0;
    if (bad) {
        // Cycle through the three ways a selector is refused.
        switch ((entryAnswers / k - 1) % 3) {
        case 0:
            payload[kEntryNumberOffset] = 0;
            break;
        case 1:
            payload[kEntryNumberOffset] = 17;
            break;
        default:
            payload[kEntrySelectorOffset] = 0x1D;
            break;
        }
        tally([](BoardStats& s) { ++s.badSelectors; });
    }
    std::vector<uint8_t> out;
    appendFrame(out, PKT_ENTRY, payload, sizeof payload);
    return out;
}

std::vector<uint8_t> BoardModel::answer(uint8_t type, const uint8_t* payload, size_t n,
                                        uint32_t t) {
    bool wellFormed = false;
    switch (type) {
    case REQ_FIRMWARE:
        tally([](BoardStats& s) { ++s.firmwareRequests; });
        wellFormed = n == 0;
        break;
    case REQ_SERIAL:
        tally([](BoardStats& s) { ++s.serialRequests; });
        wellFormed = n == 0;
        break;
    case REQ_READ_ENTRY:
        tally([](BoardStats& s) { ++s.entryRequests; });
        wellFormed = isEntryRequest(payload, n);
        if (wellFormed)
            tally([nn = payload[kEntryNumberOffset]](BoardStats& s) { s.lastEntryRequested = nn; });
        break;
    default:
        tally([](BoardStats& s) { ++s.otherFrames; });
        return {};
    }
    if (!wellFormed) {
        tally([](BoardStats& s) { ++s.malformedRequests; });
        return {};
    }
    if (silentAt(t)) {
        tally([](BoardStats& s) { ++s.unansweredWhileSilent; });
        return {};
    }

    std::vector<uint8_t> out;
    if (type == REQ_READ_ENTRY) {
        out = entryAnswer(payload, t);
    } else {
        // Strings go out NUL-terminated.
        const std::string& text = type == REQ_FIRMWARE ? config.firmware : config.serial;
        std::vector<uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        appendFrame(out, type == REQ_FIRMWARE ? PKT_FIRMWARE : PKT_SERIAL, bytes.data(),
                    bytes.size());
    }
    tally([](BoardStats& s) { ++s.packets; });
    return out;
}

std::vector<std::vector<uint8_t>> BoardModel::respondFrames(const uint8_t* bytes, size_t n,
                                                            uint32_t t) {
    std::vector<std::vector<uint8_t>> frames;
    for (size_t i = 0; i < n; ++i) {
        assembler.feed(bytes[i]);
        if (assembler.state() != CFrameAssembler::Complete) continue;
        std::vector<uint8_t> a =
            answer(assembler.type(), assembler.payload(), assembler.length(), t);
        if (!a.empty()) frames.push_back(std::move(a));
        assembler.reset();
    }
    return frames;
}

std::vector<uint8_t> BoardModel::respond(const uint8_t* bytes, size_t n, uint32_t t) {
    std::vector<uint8_t> out;
    for (const auto& frame : respondFrames(bytes, n, t))
        out.insert(out.end(), frame.begin(), frame.end());
    return out;
}

std::vector<uint8_t> BoardModel::unsolicited(uint32_t t) {
    uint32_t m = config.faults.radioOffEvery;
    if (m == 0 || t / m <= radioOffPeriod) return {};
    radioOffPeriod = t / m; // several periods passed at once still give one packet
    if (silentAt(t)) return {};
    tally([](BoardStats& s) {
        ++s.radioOffPackets;
        ++s.packets;
    });
    const uint8_t status = 0; // the radio is not responding
    std::vector<uint8_t> out;
    appendFrame(out, PKT_RADIO_STATUS, &status, 1);
    return out;
}

void BoardModel::lineHungUp() {
    assembler.reset();
    tally([](BoardStats& s) { ++s.hangups; });
}

void BoardModel::noteWritten(uint64_t bytes, uint64_t noise) {
    tally([=](BoardStats& s) {
        s.bytesWritten += bytes;
        s.noiseBytes += noise;
    });
}

BoardStats BoardModel::stats() const {
    std::lock_guard<std::mutex> guard(statsLock);
    return counters;
}

} // namespace walkmere
