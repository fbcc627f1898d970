#include "coverage/HeatmapData.h"

#include "image/BmpReader.h"
#include "survey/BitmapExpander.h"
#include "survey/CodecStreams.h"

#include <algorithm>

namespace walkmere {

namespace {

// Collects the decoded plan. The first block holds the bitmap's headers: the length they
// give, which the decoding keeps to, is reserved at once, so that a large plan is not
// copied over and over as it grows.
class PlanBytes final : public ByteSink {
public:
    bool write(const uint8_t* from, size_t n) override {
        if (bytes.empty()) {
            const BmpExtent extent = bmpExtent(from, n);
            if (extent.verdict == BmpExtent::Verdict::Bounded)
                bytes.reserve(static_cast<size_t>(extent.length + kPaddingBytes));
        }
        bytes.insert(bytes.end(), from, from + n);
        return true;
    }
    std::vector<uint8_t> bytes;
};

} // namespace

std::string readSurvey(int fd, const SiteLayout& layout, SurveyData& data) {
    const PointsWalkEnd end = walkPointsSection(
        fd, layout.header.pointsOffset(), [&](const PointsEntry& entry, const PointSummary&) {
            const PointRecord& r = entry.record;
            if (r.kind() == KIND_SURVEY_POINT)
                data.points.push_back(
                    {r.x(), r.y(), entry.fileOffset, entry.readings, r.walkedSample()});
            else if (r.kind() == KIND_DYNAMIC_AP)
                data.accessPoints.push_back({r.x(), r.y()});
            return true;
        });
    data.counts = end.counts;
    return pointsWalkProblem(end);
}

std::string readFloorPlan(int fd, const SiteLayout& layout, RgbImage& plan) {
    FdSource source(fd, layout.header.bitmapOffset(), layout.planBlockBytes());
    PlanBytes sink;
    const ExpandResult expanded = expandPlanBitmap(source, sink);
    if (expanded.status != ExpandStatus::Ok) return describeExpandResult(expanded);
    return readBmpPixels(sink.bytes.data(), sink.bytes.size(), plan);
}

bool NetworkFilter::matches(const ApReading& reading) const {
    // The SSID is copied out of the reading only when it is asked about.
    if (mac && !std::equal(mac->begin(), mac->end(), reading.mac())) return false;
    return !ssid || reading.ssid() == *ssid;
}

bool NetworkFilter::matches(const uint8_t* readMac, std::string_view readSsid) const {
    if (mac && !std::equal(mac->begin(), mac->end(), readMac)) return false;
    if (ssid && readSsid != *ssid) return false;
    return true;
}

std::optional<double> pointValue(const SurveyPoint& point, const NetworkFilter& filter) {
    std::optional<double> best;
    for (const ApReading& r : point.readings)
        if (filter.matches(r) && (!best || r.rssiDbm() > *best)) best = r.rssiDbm();
    return best;
}

std::vector<SampleValue> samplesFor(const SurveyData& data, const NetworkFilter& filter) {
    std::vector<SampleValue> samples;
    for (const SurveyPoint& p : data.points)
        if (const auto v = pointValue(p, filter)) samples.push_back({p.x, p.y, *v});
    return samples;
}

} // namespace walkmere
