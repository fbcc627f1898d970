#include "tools/site/HeatmapData.h"

#include "survey/BitmapExpander.h"
#include "survey/CodecStreams.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/SiteReading.h"
#include "tools/site/TextEscape.h"

#include <algorithm>

namespace walkmere::sitetool {

namespace {

// Collects the decoded plan. The first block holds the bitmap's headers: the length they
// give, which the decoding keeps to, is reserved at once, so that a large plan is not
// copied over and over as it grows.
class VectorSink final : public ByteSink {
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

SurveyData readSurvey(int fd, const SiteLayout& layout) {
    SurveyData data;
    walkPoints(fd, layout, [&](const PointView& view) {
        const PointRecord& r = view.entry.record;
        if (r.kind() == KIND_SURVEY_POINT)
            data.points.push_back({r.x(), r.y(), view.entry.fileOffset, view.entry.readings});
        else if (r.kind() == KIND_DYNAMIC_AP)
            data.accessPoints.push_back({r.x(), r.y()});
    });
    return data;
}

RgbImage readFloorPlan(int fd, const SiteLayout& layout, const std::string& path) {
    FdSource source(fd, layout.header.bitmapOffset(), layout.planBlockBytes());
    VectorSink sink;
    const ExpandResult expanded = expandPlanBitmap(source, sink);
    if (expanded.status != ExpandStatus::Ok)
        throw FileError(path + ": floor plan: " + describeExpandResult(expanded));
    RgbImage plan;
    const std::string problem = readBmpPixels(sink.bytes.data(), sink.bytes.size(), plan);
    if (!problem.empty()) throw FileError(path + ": floor plan: " + problem);
    return plan;
}

bool NetworkFilter::matches(const ApReading& reading) const {
    if (mac && !std::equal(mac->begin(), mac->end(), reading.mac())) return false;
    if (ssid && reading.ssid() != *ssid) return false;
    return true;
}

std::string NetworkFilter::describe() const {
    std::string text;
    if (mac) text = "access point " + macText(mac->data());
    if (ssid) text += (text.empty() ? "" : ", ") + std::string("network ") + jsonString(*ssid);
    return text.empty() ? "all access points" : text;
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

} // namespace walkmere::sitetool
