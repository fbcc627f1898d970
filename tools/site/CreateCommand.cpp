#include "image/BmpReader.h"
#include "plan/PlanImport.h"
#include "plan/PlanRaster.h"
#include "platform/RegularFile.h"
#include "survey/BmpInfo.h"
#include "survey/SiteFileWriter.h"
#include "tools/site/OutputFile.h"
#include "tools/site/PlanUnits.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/TextEscape.h"
#include "tools/site/ToolArgs.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>

namespace walkmere::sitetool {

namespace {

// The most --max-side and --page take; a plan side past the first could not be within the
// pixel limit with any useful other side anyway.
constexpr uint32_t kMostMaxSide = 100'000;
constexpr uint32_t kMostPage = 1'000'000;
// A PDF page rendered at 1 dpi is a few hundred pixels even at the largest page size; past
// 100000 dpi even the smallest page a PDF can have is beyond the pixel limit.
constexpr NumberRange kDpiRange{1, 100'000};

// --calibrate X1,Y1,X2,Y2,LENGTH: two points of the plan, in its pixels, and the real
// distance between them.
struct Calibration {
    double x1, y1, x2, y2, length;
};

std::optional<Calibration> calibrationOption(const ToolArgs& parsed) {
    const std::optional<std::string> text = parsed.value("--calibrate");
    if (!text) return std::nullopt;
    if (parsed.has("--scale-x") || parsed.has("--scale-y"))
        throw UsageError("--calibrate sets both scales: give it without --scale-x and --scale-y");
    const std::string form = "option '--calibrate' needs X1,Y1,X2,Y2,LENGTH";
    double v[5];
    size_t at = 0;
    for (int i = 0; i < 5; ++i) {
        const size_t comma = i < 4 ? text->find(',', at) : text->size();
        if (comma == std::string::npos) throw UsageError(form + ", not '" + *text + "'");
        const std::string part = text->substr(at, comma - at);
        errno = 0;
        char* end = nullptr;
        v[i] = std::strtod(part.c_str(), &end);
        if (part.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(v[i]))
            throw UsageError(form + ", not '" + *text + "'");
        at = comma + 1;
    }
    if (text->find(',', std::min(at, text->size())) != std::string::npos)
        throw UsageError(form + ", not '" + *text + "'");
    const Calibration c{v[0], v[1], v[2], v[3], v[4]};
    if (c.length <= 0)
        throw UsageError("--calibrate: the length between the points must be more than 0");
    if (c.x1 == c.x2 && c.y1 == c.y2)
        throw UsageError("--calibrate: the two points are the same point");
    return c;
}

// The picture --calibrate's points are in, whatever --max-side or --dpi made of it: the plan
// as its file holds it, or a PDF page at 72 dpi (its points of 1/72 inch); and how many of
// the stored plan's pixels one of its pixels is along each axis.
struct SourcePicture {
    uint64_t width, height;
    double planPixelsX, planPixelsY;
    const char* what; // "pixel plan", "point page"
};

SourcePicture sourcePicture(const ImportedPlan& plan) {
    if (plan.format == "PDF")
        return {std::max<uint64_t>(1, uint64_t(std::floor(plan.pageWidth + 0.5))),
                std::max<uint64_t>(1, uint64_t(std::floor(plan.pageHeight + 0.5))),
                plan.width / plan.pageWidth, plan.height / plan.pageHeight, "point page"};
    return {plan.sourceWidth, plan.sourceHeight, double(plan.width) / plan.sourceWidth,
            double(plan.height) / plan.sourceHeight, "pixel plan"};
}

struct Scale {
    double x, y;
};

// The stored plan's pixels per unit of length: the points' distance in source pixels over
// their real distance, times the source pixel's size in plan pixels along each axis.
Scale calibratedScale(const Calibration& c, const SourcePicture& source) {
    const auto inside = [&](double x, double y) {
        return x >= 0 && y >= 0 && x <= double(source.width - 1) && y <= double(source.height - 1);
    };
    for (const auto& [x, y] : {std::pair{c.x1, c.y1}, std::pair{c.x2, c.y2}})
        if (!inside(x, y))
            throw UsageError("--calibrate: the point " + jsonNumber(x) + "," + jsonNumber(y) +
                             " is outside the " + std::to_string(source.width) + " x " +
                             std::to_string(source.height) + " " + source.what);
    const double scale = std::hypot(c.x2 - c.x1, c.y2 - c.y1) / c.length;
    const Scale plan{scale * source.planPixelsX, scale * source.planPixelsY};
    for (const double v : {plan.x, plan.y})
        if (!usableScale(v))
            throw UsageError("option '--calibrate' gives a scale of " + jsonNumber(v) +
                             " pixels per unit, not from " + rangeText(kScaleRange) +
                             " (is LENGTH right?)");
    return plan;
}

// --drawing-scale 1:N: a PDF page drawn at one N-th of the real size, from 1:1 to a map's
// scale.
constexpr NumberRange kDrawingScaleRange{1, 100'000};
constexpr double kMetresPerPoint = 0.0254 / 72;

std::optional<double> drawingScaleOption(const ToolArgs& parsed) {
    const std::optional<std::string> text = parsed.value("--drawing-scale");
    if (!text) return std::nullopt;
    if (parsed.has("--scale-x") || parsed.has("--scale-y") || parsed.has("--calibrate"))
        throw UsageError("--drawing-scale sets both scales: give it without --scale-x, --scale-y "
                         "and --calibrate");
    const std::string n = text->substr(std::min<size_t>(2, text->size()));
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(n.c_str(), &end);
    if (text->rfind("1:", 0) != 0 || n.empty() || !std::isdigit(static_cast<unsigned char>(n[0])) ||
        *end != '\0' || errno == ERANGE || !(v >= kDrawingScaleRange.least) ||
        !(v <= kDrawingScaleRange.most))
        throw UsageError("option '--drawing-scale' needs 1:N, the drawing's scale with N from " +
                         rangeText(kDrawingScaleRange) + " (such as 1:100), not '" + *text + "'");
    return v;
}

// Pixels per metre of a PDF page drawn at 1:n: the page's pixels over its real size.
Scale drawingScale(double n, const ImportedPlan& plan) {
    if (plan.format != "PDF")
        throw UsageError("--drawing-scale needs a PDF: a " + plan.format +
                         " has pixels but no size on paper; give --calibrate or --scale-x and "
                         "--scale-y");
    const Scale scale{plan.width / (plan.pageWidth * kMetresPerPoint * n),
                      plan.height / (plan.pageHeight * kMetresPerPoint * n)};
    for (const double v : {scale.x, scale.y})
        if (!usableScale(v))
            throw UsageError("option '--drawing-scale' gives a scale of " + jsonNumber(v) +
                             " pixels per metre, not from " + rangeText(kScaleRange));
    return scale;
}

// A scale worked out or given is never stored as the mark of a site made without one: the
// value one step below reads the same to everyone.
double storable(double scale) {
    return std::bit_cast<uint64_t>(scale) == SiteHeader::kUncalibratedScaleBits
               ? std::nextafter(scale, 0.0)
               : scale;
}

const char* const kNotCalibrated =
    ": warning: the plan is not calibrated, so maps and the report will measure it in pixels, "
    "not metres; make the site again with --calibrate X1,Y1,X2,Y2,LENGTH (two points of the "
    "plan and the real length between them), --drawing-scale 1:N (a PDF drawn to scale) or "
    "--scale-x N --scale-y N\n";

// What was read to make the plan, for the line create prints.
std::string importedFrom(const ImportedPlan& plan, int page) {
    std::ostringstream text;
    if (plan.format == "PDF")
        text << "page " << page << " of " << plan.pageCount << " of a PDF at "
             << jsonNumber(plan.dpi) << " dpi";
    else
        text << "a " << plan.format;
    if (plan.width != plan.sourceWidth || plan.height != plan.sourceHeight)
        text << ", scaled down from " << plan.sourceWidth << " x " << plan.sourceHeight;
    return text.str();
}

int runCreate(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args, {{"-o", true},
                           {"--scale-x", true},
                           {"--scale-y", true},
                           {"--calibrate", true},
                           {"--drawing-scale", true},
                           {"--page", true},
                           {"--dpi", true},
                           {"--max-side", true},
                           {"--force", false}});
    const std::string& planPath = parsed.single("PLAN");
    const std::string& sitePath = parsed.required("-o");
    Scale scale{parsed.number("--scale-x", kDefaultPixelsPerUnit, kScaleRange),
                parsed.number("--scale-y", kDefaultPixelsPerUnit, kScaleRange)};
    const std::optional<Calibration> calibration = calibrationOption(parsed);
    const std::optional<double> drawing = drawingScaleOption(parsed);
    const bool calibrated =
        calibration || drawing || parsed.has("--scale-x") || parsed.has("--scale-y");
    PlanImportOptions options;
    options.page = static_cast<int>(parsed.positiveInteger("--page", kMostPage).value_or(1));
    if (parsed.has("--dpi")) options.dpi = parsed.number("--dpi", 0, kDpiRange);
    options.maxSide = parsed.positiveInteger("--max-side", kMostMaxSide);
    if (sameFile(planPath, sitePath)) throw UsageError("the site file would replace the plan");

    // A plain bitmap that needs no change is coded straight from its file, as it always was;
    // every other plan is read whole into a bitmap in memory first.
    const BmpCheck bmp = checkBmpFile(planPath);
    const bool asItIs =
        bmp.loadable && bitmapKeptAsItIs(*bmp.info) &&
        uint64_t(bmp.info->width) * bmp.info->pixelHeight() <= kMaxPlanPixels &&
        (!options.maxSide ||
         std::max<uint64_t>(bmp.info->width, bmp.info->pixelHeight()) <= *options.maxSide);
    // A bitmap above the limit is refused from its headers, before its file is read.
    const uint64_t bmpWidth = bmp.info ? uint64_t(std::max(bmp.info->width, 0)) : 0;
    if (bmp.info && !options.maxSide && bmpWidth * bmp.info->pixelHeight() > kMaxPlanPixels)
        throw FileError(planPath + ": " + planTooLarge(bmpWidth, bmp.info->pixelHeight(), true) +
                        "; give --max-side to scale it down");
    PlanImportResult imported;
    if (asItIs) {
        const std::string unreadable = bmpFileLayoutProblem(planPath);
        if (!unreadable.empty()) throw FileError(planPath + ": not a usable bitmap: " + unreadable);
        // Only the size and format of a plan stored as it is are needed here.
        imported.plan.width = imported.plan.sourceWidth = uint32_t(bmp.info->width);
        imported.plan.height = imported.plan.sourceHeight = uint32_t(bmp.info->pixelHeight());
        imported.plan.format = "BMP";
    } else {
        imported = importPlan(planPath, options);
        if (!imported.ok()) throw FileError(imported.error);
    }
    const uint64_t width = imported.plan.width, height = imported.plan.height;
    if (calibration) scale = calibratedScale(*calibration, sourcePicture(imported.plan));
    if (drawing) scale = drawingScale(*drawing, imported.plan);

    OwnedFd planFd;
    if (asItIs) {
        planFd = OwnedFd(::open(planPath.c_str(), O_RDONLY | O_CLOEXEC));
        if (!planFd.valid()) throw FileError(planPath + ": " + std::strerror(errno));
    }

    OutputFile site(sitePath, io.out, {.force = parsed.has("--force"), .isSiteFile = true});
    FdPositionalSink sink(site.descriptor());
    NewSiteFile layout;
    layout.pixelsPerUnitX = calibrated ? storable(scale.x) : SiteHeader::kUncalibratedScale;
    layout.pixelsPerUnitY = calibrated ? storable(scale.y) : SiteHeader::kUncalibratedScale;
    const SiteWriteResult written =
        asItIs ? writeSiteFile(sink, planFd.get(), layout)
               : writeSiteFile(sink, std::span<const uint8_t>(imported.plan.bmp), layout);
    switch (written.status) {
    case SiteWriteStatus::Ok:
        break;
    case SiteWriteStatus::WriteFailed:
        site.throwWriteError(written.error);
    case SiteWriteStatus::PlanFailed:
        throw FileError(planPath + ": " + describeCompressResult(written.plan));
    case SiteWriteStatus::TooLarge:
        throw FileError(planPath + ": the floor plan is too large for a site file");
    }
    site.commit();

    std::ostream& said = isStandardOutput(sitePath) ? io.err : io.out;
    said << sitePath << ": " << width << " x " << height << " floor plan";
    if (!asItIs) said << " from " << importedFrom(imported.plan, options.page);
    said << ", " << written.plan.blockBytes << " bytes coded, ";
    if (!calibrated) {
        said << "not calibrated\n";
        io.err << kToolName << ": " << sitePath << kNotCalibrated;
    } else {
        said << "scale " << jsonNumber(scale.x) << " x " << jsonNumber(scale.y)
             << (drawing ? " pixels per metre (the unit a metre: a 1:" + jsonNumber(*drawing) +
                               " drawing)\n"
                         : " pixels per unit\n");
    }
    return kExitOk;
}

} // namespace

extern const SiteCommand kCreateCommand{
    "create",
    "PLAN -o SITE.kvs [--scale-x N] [--scale-y N] [--calibrate X1,Y1,X2,Y2,LENGTH] "
    "[--drawing-scale 1:N] [--page N] [--dpi D] [--max-side PX] [--force]",
    "make a site file from a floor plan (BMP, PNG, JPEG or PDF)",
    "Makes a new site file with an empty survey: a 152-byte header (version 4, the uninterpreted\n"
    "bytes zero), the floor plan Huffman-coded as the program reads it, a white signature\n"
    "block and an empty points section, in that order. PLAN is a Windows bitmap, PNG, JPEG\n"
    "or PDF file, told by its content, not its name. An uncompressed bitmap with a colour\n"
    "table or of 24 or 32 bits is stored as it is unless it must be scaled down; any other\n"
    "plan is made into a bitmap (8 bits a pixel when it has at most 256 colours, else 24):\n"
    "run-length codes and colour masks decoded, a JPEG turned as its EXIF orientation says,\n"
    "PNG transparency laid on white, a PDF page rendered on white in a separate process\n"
    "given 60 s of processor time and 2 GB of memory. The program keeps the decoded plan in\n"
    "memory to map it, so a plan of more than 100000000 pixels is refused unless --max-side\n"
    "scales it down; a picture scaled down may have at most 1000000000.\n"
    "\n"
    "The scale, plan pixels per unit of site length, comes from --scale-x and --scale-y,\n"
    "--calibrate or --drawing-scale. Without any of them the site is not calibrated: a\n"
    "warning says so, the handheld's rulers count 10 pixels a unit as they always did, and\n"
    "info, report and the maps measure the plan in pixels, not in metres.\n"
    "\n"
    "  -o SITE.kvs    the site file to make (required); an existing file is not replaced\n"
    "                 unless --force is given; '-' for standard output\n"
    "  --scale-x N    floor-plan pixels per unit of site length along x, from 0.001 to\n"
    "                 1000000 (default 10 when --scale-y is given)\n"
    "  --scale-y N    the same along y (default 10 when --scale-x is given)\n"
    "  --calibrate X1,Y1,X2,Y2,LENGTH\n"
    "                 sets both scales from two points of the plan and the real length\n"
    "                 between them. The points are in pixels of the picture as its file\n"
    "                 holds it (0,0 the top left), before --max-side scales it; on a PDF in\n"
    "                 points (1/72 inch: the page rendered at 72 dpi), whatever --dpi and\n"
    "                 --max-side make of it. Their distance over LENGTH, turned into the\n"
    "                 stored plan's pixels, must give a scale within that of --scale-x; not\n"
    "                 with --scale-x or --scale-y\n"
    "  --drawing-scale 1:N\n"
    "                 a PDF drawn to scale, N from 1 to 100000 (1:100: a metre is a\n"
    "                 centimetre on paper): the page's size on paper times N is the real size,\n"
    "                 which sets both scales in pixels per metre (the site's unit is then the\n"
    "                 metre); not for a picture, whose pixels have no size on paper, nor with\n"
    "                 --scale-x, --scale-y or --calibrate\n"
    "  --page N       the page of a PDF, from 1 to 1000000 (default 1)\n"
    "  --dpi D        the resolution a PDF page is rendered at, from 1 to 100000 (default:\n"
    "                 the largest that keeps its longer side within --max-side)\n"
    "  --max-side PX  the longest side of the plan, from 1 to 100000: a larger picture is\n"
    "                 scaled down to it\n"
    "                 (without it, pictures keep their size; a PDF page is fitted to 4000)\n"
    "  --force        replace an existing SITE.kvs\n",
    runCreate,
};

} // namespace walkmere::sitetool
