#include "tools/site/PlanUnits.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/SiteReading.h"
#include "tools/site/TextEscape.h"
#include "tools/site/ToolArgs.h"

#include <optional>

namespace walkmere::sitetool {

namespace {

// The counts of a damaged points section would be those of the records before the damage:
// they are not shown as the site's.
std::string countJson(const PointsWalkEnd& points, uint64_t value) {
    return points.damage ? "null" : std::to_string(value);
}

// {"width": 80, "height": 60, "units": "m"}; null without a picture or when the site is not
// calibrated.
std::string realSizeJson(const SiteHeader& h, const PlanSummary& plan, const std::string& unit) {
    if (!plan.isPicture() || !calibrated(h)) return "null";
    const double width = double(plan.check.info->width) / h.pixelsPerUnitX();
    const double height = double(plan.check.info->pixelHeight()) / h.pixelsPerUnitY();
    return "{\"width\": " + jsonNumber(width) + ", \"height\": " + jsonNumber(height) +
           ", \"units\": " + jsonString(unit) + "}";
}

void printJson(const std::string& path, const SiteLayout& layout, const PlanSummary& plan,
               const PointsWalkEnd& points, const std::optional<std::string>& unit,
               std::ostream& out) {
    const PointCounts& c = points.counts;
    const SiteHeader& h = layout.header;
    const bool picture = plan.isPicture();
    const auto planNumber = [&](uint64_t v) { return picture ? std::to_string(v) : "null"; };
    out << "{\n"
        << "  \"file\": " << jsonString(path) << ",\n"
        << "  \"fileSize\": " << layout.fileSize << ",\n"
        << "  \"headerLength\": " << h.headerLength() << ",\n"
        << "  \"version\": " << h.version() << ",\n"
        << "  \"pixelsPerUnitX\": " << jsonNumber(h.pixelsPerUnitX()) << ",\n"
        << "  \"pixelsPerUnitY\": " << jsonNumber(h.pixelsPerUnitY()) << ",\n"
        << "  \"calibrated\": " << (calibrated(h) ? "true" : "false") << ",\n"
        << "  \"bitmapOffset\": " << h.bitmapOffset() << ",\n"
        << "  \"signatureOffset\": " << h.signatureOffset() << ",\n"
        << "  \"pointsOffset\": " << h.pointsOffset() << ",\n"
        << "  \"planBlockLength\": " << layout.planBlockLength << ",\n"
        << "  \"planBytes\": " << plan.expanded.bytesWritten << ",\n"
        << "  \"planWidth\": " << planNumber(picture ? plan.check.info->width : 0) << ",\n"
        << "  \"planHeight\": " << planNumber(picture ? plan.check.info->pixelHeight() : 0) << ",\n"
        << "  \"planProblem\": " << (picture ? "null" : jsonString(plan.problem())) << ",\n";
    if (unit) out << "  \"planRealSize\": " << realSizeJson(h, plan, *unit) << ",\n";
    out << "  \"recordCount\": " << countJson(points, c.records) << ",\n"
        << "  \"locationCount\": " << countJson(points, uint64_t(c.locationCount)) << ",\n"
        << "  \"readingTotal\": " << countJson(points, uint64_t(c.readingTotal)) << ",\n"
        << "  \"placedApCount\": " << countJson(points, c.placedAps) << ",\n"
        << "  \"deletedCount\": " << countJson(points, c.deleted) << ",\n"
        << "  \"tornTail\": " << countJson(points, points.tail.tornBytes()) << ",\n"
        << "  \"readingsMissing\": " << countJson(points, points.tail.missingReadings());
    if (points.damage) out << ",\n  \"damage\": " << damageJson(*points.damage);
    out << "\n}\n";
}

void printText(const std::string& path, const SiteLayout& layout, const PlanSummary& plan,
               const PointsWalkEnd& points, const std::optional<std::string>& unit,
               std::ostream& out) {
    const PointCounts& c = points.counts;
    const SiteHeader& h = layout.header;
    out << "file             " << path << " (" << layout.fileSize << " bytes)\n"
        << "header           " << h.headerLength() << " bytes, version " << h.version() << '\n'
        << "scale            " << scaleText(h) << '\n'
        << "floor-plan block at " << h.bitmapOffset() << ", " << layout.planBlockLength
        << " bytes\n"
        << "signature block  at " << h.signatureOffset() << '\n'
        << "points section   at " << h.pointsOffset() << '\n';
    if (plan.isPicture()) {
        out << "floor plan       " << plan.check.info->width << " x "
            << plan.check.info->pixelHeight() << " pixels, ";
        if (unit)
            out << planRealSize(uint64_t(plan.check.info->width), plan.check.info->pixelHeight(), h,
                                *unit)
                << ", ";
        out << plan.check.info->bitCount << " bits per pixel (" << plan.expanded.bytesWritten
            << " bytes decoded)\n";
    } else
        out << "floor plan       none: " << plan.problem() << '\n';
    if (points.damage) {
        out << "survey points    damaged: " << points.damage->describe() << '\n'
            << "records before   " << c.records << " ('points' lists them)\n";
        return;
    }
    out << "survey points    " << c.locationCount << " with " << c.readingTotal << " readings\n"
        << "placed APs       " << c.placedAps << '\n'
        << "deleted          " << c.deleted << '\n';
    if (c.otherKinds) out << "unknown kind     " << c.otherKinds << '\n';
    if (points.tail.torn)
        out << "torn tail        " << points.tail.tornBytes()
            << " bytes of a partial record or reading, " << points.tail.missingReadings()
            << " announced readings missing\n";
}

int runInfo(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args, {{"--json", false}, {"--units", true}});
    const std::string& path = parsed.single("SITE.kvs");
    const std::optional<std::string> unit = unitsOption(parsed);
    ReadOnlySite site = openSiteForListing(path);
    const SiteLayout& layout = site.validation.layout;
    const PlanSummary plan = inspectPlan(site.fd.get(), layout);
    const PointsWalkEnd points = walkSitePoints(site);
    if (parsed.has("--json"))
        printJson(path, layout, plan, points, unit, io.out);
    else
        printText(path, layout, plan, points, unit, io.out);
    if (!points.damage) return kExitOk;
    io.err << kToolName << ": " << path << ": " << damagedPointsText(*points.damage) << '\n';
    return kExitFileError;
}

} // namespace

extern const SiteCommand kInfoCommand{
    "info",
    "SITE.kvs [--json] [--units m|ft]",
    "show the header, the floor plan's size and the point counts",
    "Prints the header fields, the size of the decoded floor plan and the numbers of survey\n"
    "points, readings, placed access points and deleted points, counted the way the program\n"
    "counts them when it loads the points (readings actually present in the file).\n"
    "A points section that ends in a partial record (a write cut short) is reported as a\n"
    "torn tail; the file is not repaired. A point record that announces more readings than a\n"
    "point can hold (32) is damage: the header and floor plan are shown, the point counts\n"
    "are not, the damage is reported with its byte offset, and the exit code is 1.\n"
    "\n"
    "  --json  one JSON object with headerLength, version, pixelsPerUnitX, pixelsPerUnitY,\n"
    "          calibrated (false for a site made without a scale or with one not usable),\n"
    "          bitmapOffset, signatureOffset, pointsOffset, planBlockLength, planBytes,\n"
    "          planWidth, planHeight (null when the plan is not a picture), planProblem,\n"
    "          recordCount, locationCount, readingTotal, placedApCount, deletedCount,\n"
    "          tornTail (bytes of a partial record at the end, 0 when none) and\n"
    "          readingsMissing, plus file and fileSize. For damaged points the counts are\n"
    "          null and \"damage\" holds offset, announced and text. With --units,\n"
    "          planRealSize: {width, height, units}, null without a picture or when\n"
    "          not calibrated.\n"
    "  --units m|ft  also shows the plan's real size, its width over the x scale by its\n"
    "          height over the y scale, in that unit; the site file does not name a unit.\n"
    "          A stored scale outside 0.001 to 1000000 (or not a number), or that of a site\n"
    "          made without a scale, is shown as not calibrated.\n",
    runInfo,
};

} // namespace walkmere::sitetool
