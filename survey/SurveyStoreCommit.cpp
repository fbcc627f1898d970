// Measuring a survey point and storing it in the site file.
#include <algorithm>

#include "scan/LiveApTable.h"
#include "survey/SurveyStore.h"

namespace walkmere {

// Every certified AP of the live table fits in one point; a file never holds a point that
// opening would refuse as damaged.
static_assert(CLiveApTable::kMaxEntries <= kMaxReadingsPerPoint);

void CSurveyStore::beginPoint(int32_t x, int32_t y, const std::string& pointLabel) {
    pointXValue = x;
    pointYValue = y;
    label = pointLabel.substr(0, 32);
    heard.clear();
}

CommitOutcome CSurveyStore::commitPoint(std::span<const ApRecord> certified) {
    for (const ApRecord& r : certified)
        heard.add(r);
    return storeHeard(pointXValue, pointYValue, label, heard);
}

CommitOutcome CSurveyStore::writePoint(int32_t x, int32_t y, const std::string& pointLabel,
                                       std::span<const ApRecord> aps) {
    CHeardApList list;
    for (const ApRecord& r : aps)
        list.add(r);
    return storeHeard(x, y, pointLabel.substr(0, 32), list);
}

CommitOutcome CSurveyStore::storeHeard(int32_t x, int32_t y, const std::string& pointLabel,
                                       const CHeardApList& list) {
    noAp = false;
    best = kRssiFloor;
    pending = 0;

    if (StoreOutcome opened = openSiteFile(); !opened) return {-1, std::move(opened.notices)};
    struct Closer {
        CSurveyStore& s;
        ~Closer() { s.closeSiteFile(); }
    } closer{*this};

    // The record with its final count and all its readings go to the file in one write, so
    // a crash leaves either the whole point or a tail that loading repairs.
    // More APs than a point holds can only come from a caller other than the live table:
    // the strongest are kept.
    const size_t count = std::min<size_t>(list.size(), kMaxReadingsPerPoint);
    const size_t skipped = list.size() - count;
    PointsEntry point;
    point.record.setX(x);
    point.record.setY(y);
    point.record.setLabel(pointLabel);
    point.record.setKind(KIND_SURVEY_POINT);
    for (size_t i = 0; i < count; ++i) { // weakest first
        const HeardAp& ap = list.aps()[skipped + i];
        ApReading& reading = point.readings.emplace_back();
        reading.setChannel(static_cast<uint8_t>(ap.channel & 0xFF));
        if (ap.sixGhz)
            reading.setSixGhzRssi(ap.rssi);
        else
            reading.setRssi256(static_cast<int16_t>(ap.rssi * 256));
        reading.setMac(ap.mac.data());
        reading.setSsid(ap.ssid);
    }

    Notices notices;
    const std::optional<PointIndexEntry> entry =
        appendPoint(point, "Could not write the survey point", notices);
    if (!entry) return {-1, std::move(notices)};

    pointOffsetValue = entry->fileOffset;
    pending = entry->readingCount;
    best = entry->bestRssi;
    noAp = count == 0;
    locations += 1;
    readings += pending;
    entries.push_back(*entry);
    return {noAp ? 0 : 1, std::move(notices)};
}

} // namespace walkmere
