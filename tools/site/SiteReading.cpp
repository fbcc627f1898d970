#include "tools/site/SiteReading.h"

#include "survey/CodecStreams.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/TextEscape.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace walkmere::sitetool {

namespace {

constexpr size_t kBitmapHeadBytes = 14 + 124; // file header and the largest info header

// Keeps the first bytes of the decoded plan and counts the rest.
class HeadSink final : public ByteSink {
public:
    bool write(const uint8_t* from, size_t n) override {
        const size_t keep = std::min(n, kBitmapHeadBytes - std::min(head.size(), kBitmapHeadBytes));
        head.insert(head.end(), from, from + keep);
        total += n;
        return true;
    }
    std::vector<uint8_t> head;
    uint64_t total = 0;
};

} // namespace

ReadOnlySite openSiteForReading(const std::string& path) {
    ReadOnlySite site = openSiteReadOnly(path);
    if (!site.accepted()) throw FileError(path + ": " + site.validation.refusal->text);
    return site;
}

ReadOnlySite openSiteForListing(const std::string& path) {
    ReadOnlySite site = openSiteReadOnly(path);
    if (site.fd.valid() && site.validation.pointsDamage) return site;
    if (!site.accepted()) throw FileError(path + ": " + site.validation.refusal->text);
    return site;
}

std::string PlanSummary::problem() const {
    if (expanded.status != ExpandStatus::Ok) return describeExpandResult(expanded);
    if (!check.loadable) return check.problem;
    return {};
}

PlanSummary inspectPlan(int fd, const SiteLayout& layout) {
    PlanSummary summary;
    FdSource source(fd, layout.header.bitmapOffset(), layout.planBlockBytes());
    HeadSink sink;
    summary.expanded = expandPlanBitmap(source, sink);
    summary.check = checkBmp(sink.head.data(), sink.head.size(), sink.total);
    return summary;
}

const char* kindName(uint8_t kind) {
    switch (kind) {
    case KIND_SURVEY_POINT:
        return "survey";
    case KIND_DYNAMIC_AP:
        return "ap";
    case KIND_DELETED:
        return "deleted";
    default:
        return "unknown";
    }
}

std::string damageJson(const PointsDamage& damage) {
    return "{\"offset\": " + std::to_string(damage.recordOffset) +
           ", \"announced\": " + std::to_string(damage.announced) +
           ", \"text\": " + jsonString(damagedPointsText(damage)) + "}";
}

PointsTotals walkPoints(int fd, const SiteLayout& layout,
                        const std::function<void(const PointView&)>& visit) {
    CPointsReader reader(fd, layout.header.pointsOffset());
    if (reader.open() != CPointsReader::Status::Ok) {
        if (reader.status() == CPointsReader::Status::ReadError)
            throw FileError(std::string("cannot read the points: ") +
                            std::strerror(reader.error()));
        throw FileError("Damaged Site File: points section unreadable.");
    }

    PointsTotals totals;
    PointsEntry entry;
    while (reader.next(entry)) {
        ++totals.recordCount;
        int16_t best = -100;
        for (const ApReading& r : entry.readings)
            best = static_cast<int16_t>(std::max<int>(best, r.rssiDbm()));
        uint16_t count = entry.readingsPresent();
        switch (entry.record.kind()) {
        case KIND_SURVEY_POINT:
            ++totals.locationCount;
            totals.readingTotal += count;
            break;
        case KIND_DYNAMIC_AP:
            best = -100;
            count = 0;
            ++totals.placedApCount;
            break;
        case KIND_DELETED:
            ++totals.deletedCount;
            break;
        default:
            ++totals.otherKindCount;
        }
        if (visit) visit(PointView{entry, best, count});
    }
    if (reader.status() == CPointsReader::Status::ReadError)
        throw FileError(std::string("cannot read the points: ") + std::strerror(reader.error()));
    if (reader.status() == CPointsReader::Status::Damaged) {
        totals.damage = reader.damage();
        return totals;
    }
    const PointsTail& tail = reader.tail();
    totals.tornTail = tail.tornBytes();
    if (tail.readingsCut) totals.readingsMissing = tail.announced - tail.present;
    return totals;
}

} // namespace walkmere::sitetool
