#include "tools/site/SiteReading.h"

#include "survey/CodecStreams.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/TextEscape.h"

#include <algorithm>
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

SurveyData loadSurvey(int fd, const SiteLayout& layout) {
    SurveyData data;
    const std::string problem = readSurvey(fd, layout, data);
    if (!problem.empty()) throw FileError(problem);
    return data;
}

RgbImage loadFloorPlan(int fd, const SiteLayout& layout, const std::string& path) {
    RgbImage plan;
    const std::string problem = readFloorPlan(fd, layout, plan);
    if (!problem.empty()) throw FileError(path + ": floor plan: " + problem);
    return plan;
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

PointsWalkEnd walkSitePoints(const ReadOnlySite& site, const PointVisitor& visit) {
    PointsWalkEnd end =
        walkPointsSection(site.fd.get(), site.validation.layout.header.pointsOffset(), visit);
    const std::string problem = pointsWalkProblem(end);
    if (!problem.empty()) throw FileError(problem);
    if (!end.damage) end.damage = site.validation.pointsDamage;
    return end;
}

} // namespace walkmere::sitetool
