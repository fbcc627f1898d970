#pragma once
// Small site files for the store's tests: a header, a signature block and the points
// section.

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ByteOrder.h"
#include "scan/ApRecord.h"
#include "survey/PointRecords.h"
#include "survey/SiteFileWriter.h"
#include "survey/SiteHeader.h"
#include "survey/SurveyStore.h"
#include "testkit/DataHome.h"
#include "testkit/RecordingSoundPlayer.h"
#include "testkit/ScriptedPrompter.h"
#include "testkit/TempDir.h"

namespace walkmere::storetest {

using Bytes = std::vector<unsigned char>;

inline constexpr uint32_t kPointsAt = 152 + 2600; // header, then a signature block

// The site file writer's file with no floor plan: header, signature block, points section.
inline SiteWriteResult writeStoreSite(Bytes& into, const Bytes& points = {}) {
    MemoryPositionalSink sink(into);
    NewSiteFile site;
    site.points = points;
    const SiteWriteResult written = writeSiteFileWithBlock(sink, {}, site);
    if (written.status != SiteWriteStatus::Ok) throw std::runtime_error("cannot build a site");
    return written;
}

// The header of that file with both cleared flags and a byte nobody interprets set.
inline SiteHeader makeHeader(uint32_t pointsOffset = kPointsAt, uint32_t headerLength = 152) {
    Bytes scratch;
    SiteHeader h = writeStoreSite(scratch).header;
    h.setHeaderLength(headerLength);
    h.setPointsOffset(pointsOffset);
    h.bytes[SiteHeader::kClearedFlagAOffset] = 0x5A;
    h.bytes[SiteHeader::kClearedFlagBOffset] = 0xA5;
    h.bytes[20] = 0x77; // must survive
    return h;
}

// That file with `points`, under the header `h`; other record sizes in the section head
// stand for a damaged file.
inline Bytes siteBytes(const Bytes& points = {}, uint32_t recordSize = kPointRecordSize,
                       uint32_t readingSize = kReadingSize, const SiteHeader& h = makeHeader()) {
    Bytes b;
    if (writeStoreSite(b, points).header.pointsOffset() != h.pointsOffset())
        throw std::runtime_error("the header does not fit the store's site file");
    std::copy(h.bytes.begin(), h.bytes.end(), b.begin());
    writeLe32(b.data() + h.pointsOffset(), recordSize);
    writeLe32(b.data() + h.pointsOffset() + 4, readingSize);
    return b;
}

inline ApReading reading(int rssi256, uint8_t channel = 6, uint8_t macTail = 1,
                         const std::string& ssid = "net") {
    ApReading r;
    r.setChannel(channel);
    r.setRssi256(static_cast<int16_t>(rssi256));
    const uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, macTail};
    r.setMac(mac);
    r.setSsid(ssid);
    return r;
}

// A point record followed by its readings; `announced` overrides the count it claims.
inline Bytes pointBytes(int32_t x, int32_t y, uint8_t kind,
                        const std::vector<ApReading>& readings = {}, int announced = -1) {
    PointRecord p;
    p.setX(x);
    p.setY(y);
    p.setLabel(kind == KIND_DYNAMIC_AP ? "AP" : "TEST");
    p.setReadingCount(static_cast<uint16_t>(announced >= 0 ? announced : int(readings.size())));
    p.setKind(kind);
    Bytes b(p.bytes.begin(), p.bytes.end());
    for (const ApReading& r : readings)
        b.insert(b.end(), r.bytes.begin(), r.bytes.end());
    return b;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline ApRecord ap(uint8_t macTail, int8_t rssi, uint16_t channelCode = 5030,
                   const std::string& ssid = "net", uint8_t macHead = 0xA0) {
    ApRecord r;
    const uint8_t mac[6] = {macHead, 0x01, 0x02, 0x03, 0x04, macTail};
    r.setMac(mac);
    r.setRssi(rssi);
    r.setChannelCode(channelCode);
    r.setSsid(ssid);
    return r;
}

inline ApReading readingAt(const Bytes& file, size_t offset) {
    ApReading r;
    std::copy(file.begin() + static_cast<long>(offset),
              file.begin() + static_cast<long>(offset + kReadingSize), r.bytes.begin());
    return r;
}

// The texts of the notices, in the order the surveyor would read them.
inline std::vector<std::string> texts(const Notices& notices) {
    std::vector<std::string> out;
    for (const Notice& n : notices)
        out.push_back(n.text);
    return out;
}

inline PointRecord recordAt(const Bytes& file, size_t offset) {
    PointRecord p;
    std::copy(file.begin() + static_cast<long>(offset),
              file.begin() + static_cast<long>(offset + kPointRecordSize), p.bytes.begin());
    return p;
}

// A store on a site file in a fresh folder, with a data folder of its own for the copies
// that a repair keeps, and scripted user services for the commands that talk to the
// surveyor.
struct StoreFixture {
    testkit::ScopedDataHome home;
    testkit::TempDir dir;
    std::filesystem::path path = dir.file("site.kvs");
    testkit::ScriptedPrompter prompter;
    testkit::RecordingSoundPlayer sound;
    CSurveyStore store;

    void makeSite(const Bytes& points = {}, uint32_t recordSize = kPointRecordSize,
                  uint32_t readingSize = kReadingSize) {
        testkit::writeFileBytes(path, siteBytes(points, recordSize, readingSize));
        store.adoptSite(path.string(), makeHeader());
    }
    Bytes file() const { return testkit::readFileBytes(path); }
    uint64_t fileSize() const { return std::filesystem::file_size(path); }
};

} // namespace walkmere::storetest
