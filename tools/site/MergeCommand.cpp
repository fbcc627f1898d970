#include "platform/RegularFile.h"
#include "survey/PointsAppender.h"
#include "survey/PointsWalk.h"
#include "tools/site/OutputFile.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/SiteReading.h"
#include "tools/site/TextEscape.h"
#include "tools/site/ToolArgs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <utility>

namespace walkmere::sitetool {

namespace {

// Why two decoded plans are not the same picture; "" when they are.
std::string planDifference(const RgbImage& a, const RgbImage& b) {
    if (a.width != b.width || a.height != b.height)
        return std::to_string(b.width) + " x " + std::to_string(b.height) + " pixels, not " +
               std::to_string(a.width) + " x " + std::to_string(a.height);
    const auto [at, other] = std::mismatch(a.pixels.begin(), a.pixels.end(), b.pixels.begin());
    if (at == a.pixels.end()) return {};
    const size_t pixel = size_t(at - a.pixels.begin()) / 3;
    return "pixel " + std::to_string(pixel % size_t(a.width)) + "," +
           std::to_string(pixel / size_t(a.width));
}

bool sameScale(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Everything before the points section of `site`, byte for byte: its header, floor-plan
// block and signature block where it has them.
void copyFront(const ReadOnlySite& site, const std::string& path, OutputFile& out) {
    const uint64_t end = site.validation.layout.header.pointsOffset();
    std::vector<uint8_t> chunk(1 << 20);
    for (uint64_t at = 0; at < end;) {
        const size_t n = size_t(std::min<uint64_t>(chunk.size(), end - at));
        const ssize_t got = readFullyAt(site.fd.get(), chunk.data(), n, at);
        if (got < 0) throw FileError(path + ": " + std::strerror(errno));
        if (size_t(got) < n) throw FileError(path + ": the file got shorter while it was read");
        out.writeAt(at, chunk.data(), n);
        at += n;
    }
}

struct MergeCounts {
    PointCounts kept;        // the records written by kind; in deleted, the deleted ones left out
    uint64_t duplicates = 0; // placed access points at a spot already written, left out
    uint64_t cutShort = 0;   // records cut short by the end of their file, left out
};

// What a torn end of a points section held, for the line that says it was left out: the
// record whose readings the file ends inside of, or the start of a record.
std::string tornTailText(const PointsTail& tail) {
    if (!tail.readingsCut)
        return "a partial record of " + std::to_string(tail.tornBytes()) + " bytes";
    const PointRecord& r = tail.cutRecord;
    const std::string what = r.kind() == KIND_SURVEY_POINT ? "survey point"
                             : r.kind() == KIND_DYNAMIC_AP ? "placed AP"
                             : r.kind() == KIND_DELETED    ? "deleted point"
                                                           : "record of unknown kind";
    std::string text = "the " + what + " at " + std::to_string(r.x()) + "," +
                       std::to_string(r.y()) + " with " + std::to_string(tail.present) + " of " +
                       std::to_string(tail.announced) + " readings";
    if (tail.tornBytes()) text += " and " + std::to_string(tail.tornBytes()) + " bytes of the next";
    return text;
}

// Writes the points section: the records of each site in turn, each with its readings as the
// file holds them, in file order; deleted records and a placed access point at a spot in
// `placed` are left out.
class MergedPoints {
public:
    MergedPoints(OutputFile& out, uint64_t pointsOffset) : out(out), at(pointsOffset) {
        section.addSectionHead();
    }

    void add(const ReadOnlySite& site, const std::string& path, ToolStreams& io) {
        const PointsWalkEnd end =
            walkPointsSection(site.fd.get(), site.validation.layout.header.pointsOffset(),
                              [&](const PointsEntry& entry, const PointSummary&) {
                                  take(entry);
                                  return true;
                              });
        flush();
        const std::string problem = pointsWalkProblem(end);
        if (!problem.empty()) throw FileError(path + ": " + problem);
        if (end.damage) throw FileError(path + ": " + damagedPointsText(*end.damage));
        if (!end.tail.torn) return;
        // A deleted record cut short is left out and counted as deleted already.
        if (!end.tail.readingsCut || end.tail.cutRecord.kind() != KIND_DELETED) ++counts.cutShort;
        io.err << kToolName << ": " << path << ": left out " << tornTailText(end.tail)
               << ", cut short at the end of the file\n";
    }

    MergeCounts counts;

private:
    void take(const PointsEntry& entry) {
        const PointRecord& r = entry.record;
        if (r.kind() == KIND_DELETED) {
            counts.kept.count(entry);
            return;
        }
        // A record the file ends inside of is the torn tail, reported after the walk.
        if (entry.readingsCut()) return;
        if (r.kind() == KIND_DYNAMIC_AP && !placed.insert({r.x(), r.y()}).second) {
            ++counts.duplicates;
            return;
        }
        counts.kept.count(entry);
        section.addPoint(r, entry.readings);
        if (section.bytes().size() >= (1 << 20)) flush();
    }

    void flush() {
        if (section.bytes().empty()) return;
        out.writeAt(at, section.bytes().data(), section.bytes().size());
        at += section.bytes().size();
        section.clear();
    }

    OutputFile& out;
    uint64_t at;
    PointsAppender section;
    std::set<std::pair<int32_t, int32_t>> placed;
};

int runMerge(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args, {{"-o", true}, {"--force", false}});
    const std::vector<std::string>& paths = parsed.positional();
    if (paths.empty()) throw UsageError("missing SITE.kvs");
    if (paths.size() < 2) throw UsageError("give two site files or more to merge");
    const std::string& output = parsed.required("-o");
    for (const std::string& path : paths)
        if (sameFile(path, output)) throw UsageError("the merged site file would replace " + path);
    // One file given twice would have its every point written twice.
    for (size_t i = 0; i < paths.size(); ++i)
        for (size_t j = i + 1; j < paths.size(); ++j)
            if (sameFile(paths[i], paths[j]))
                throw UsageError(paths[i] + " and " + paths[j] +
                                 " are the same file; give each site once");

    std::vector<ReadOnlySite> sites;
    for (const std::string& path : paths)
        sites.push_back(openSiteForReading(path));

    // Every site must lie on the same plan at the same scale, or its points would land
    // elsewhere on the first one's.
    const SiteLayout& first = sites.front().validation.layout;
    const RgbImage firstPlan = loadFloorPlan(sites.front().fd.get(), first, paths.front());
    for (size_t i = 1; i < sites.size(); ++i) {
        const SiteLayout& layout = sites[i].validation.layout;
        const std::string difference =
            planDifference(firstPlan, loadFloorPlan(sites[i].fd.get(), layout, paths[i]));
        if (!difference.empty())
            throw FileError(paths[i] + ": its floor plan differs from " + paths.front() + "'s (" +
                            difference + ")");
        const std::pair<const char*, std::pair<double, double>> scales[] = {
            {"scale-x", {layout.header.pixelsPerUnitX(), first.header.pixelsPerUnitX()}},
            {"scale-y", {layout.header.pixelsPerUnitY(), first.header.pixelsPerUnitY()}},
        };
        // A site made without a scale holds a mark there, not a scale.
        const auto shown = [](const SiteHeader& h, double v) {
            return h.markedUncalibrated() ? std::string("none (not calibrated)") : jsonNumber(v);
        };
        for (const auto& [name, values] : scales)
            if (!sameScale(values.first, values.second))
                throw FileError(paths[i] + ": its " + name + " is " +
                                shown(layout.header, values.first) + ", not " +
                                shown(first.header, values.second) + " as in " + paths.front());
    }

    OutputFile out(output, io.out, {.force = parsed.has("--force"), .isSiteFile = true});
    copyFront(sites.front(), paths.front(), out);
    MergedPoints points(out, first.header.pointsOffset());
    for (size_t i = 0; i < sites.size(); ++i)
        points.add(sites[i], paths[i], io);
    out.commit();

    const MergeCounts& c = points.counts;
    std::ostream& said = isStandardOutput(output) ? io.err : io.out;
    said << output << ": " << sites.size() << " sites merged, " << c.kept.locationCount
         << " survey points with " << c.kept.readingTotal << " readings, " << c.kept.placedAps
         << " placed APs; left out " << c.kept.deleted << " deleted, " << c.duplicates
         << " placed APs at a spot already taken";
    if (c.cutShort) said << ", " << c.cutShort << " cut short at the end of a file";
    said << '\n';
    return kExitOk;
}

} // namespace

extern const SiteCommand kMergeCommand{
    "merge",
    "A.kvs B.kvs [...] -o OUT.kvs [--force]",
    "join the surveys of site files on the same floor plan into one",
    "Writes one site file holding the survey points and placed access points of every site\n"
    "given, in the order given and in each file's order. The sites must have the same floor\n"
    "plan (the decoded pictures: size and every pixel) and the same scales; the first\n"
    "difference is named and nothing is written. OUT.kvs begins with the first file's\n"
    "header, floor-plan block and signature block, byte for byte; each point record follows\n"
    "with its readings as its file holds them. Deleted points are left out, and so is a\n"
    "placed access point at the spot of one already written. A record cut short at the end\n"
    "of a file (a write that was stopped) is left out and reported, with its readings. A\n"
    "file given twice (under any name or link) is refused. The inputs are only read.\n"
    "\n"
    "  -o OUT.kvs  the site file to make (required), never one of the inputs; an existing\n"
    "              file is not replaced unless --force is given; '-' for standard output\n"
    "  --force     replace an existing OUT.kvs\n",
    runMerge,
};

} // namespace walkmere::sitetool
