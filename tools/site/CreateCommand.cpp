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

// Plan pixels per unit of length: the points' distance in pixels over their real distance.
double calibratedScale(const Calibration& c, uint64_t width, uint64_t height) {
    const auto inside = [&](double x, double y) {
        return x >= 0 && y >= 0 && x <= double(width - 1) && y <= double(height - 1);
    };
    for (const auto& [x, y] : {std::pair{c.x1, c.y1}, std::pair{c.x2, c.y2}})
        if (!inside(x, y))
            throw UsageError("--calibrate: the point " + jsonNumber(x) + "," + jsonNumber(y) +
                             " is outside the " + std::to_string(width) + " x " +
                             std::to_string(height) + " pixel plan");
    const double scale = std::hypot(c.x2 - c.x1, c.y2 - c.y1) / c.length;
    if (!usableScale(scale))
        throw UsageError("option '--calibrate' gives a scale of " + jsonNumber(scale) +
                         " pixels per unit, not from " + rangeText(kScaleRange) +
                         " (is LENGTH right?)");
    return scale;
}

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
                           {"--page", true},
                           {"--dpi", true},
                           {"--max-side", true},
                           {"--force", false}});
    const std::string& planPath = parsed.single("PLAN");
    const std::string& sitePath = parsed.required("-o");
    double scaleX = parsed.number("--scale-x", kDefaultPixelsPerUnit, kScaleRange);
    double scaleY = parsed.number("--scale-y", kDefaultPixelsPerUnit, kScaleRange);
    const std::optional<Calibration> calibration = calibrationOption(parsed);
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
    uint64_t width = 0, height = 0;
    if (asItIs) {
        const std::string unreadable = bmpFileLayoutProblem(planPath);
        if (!unreadable.empty()) throw FileError(planPath + ": not a usable bitmap: " + unreadable);
        width = uint64_t(bmp.info->width);
        height = bmp.info->pixelHeight();
    } else {
        imported = importPlan(planPath, options);
        if (!imported.ok()) throw FileError(imported.error);
        width = imported.plan.width;
        height = imported.plan.height;
    }
    if (calibration) scaleX = scaleY = calibratedScale(*calibration, width, height);

    OwnedFd planFd;
    if (asItIs) {
        planFd = OwnedFd(::open(planPath.c_str(), O_RDONLY | O_CLOEXEC));
        if (!planFd.valid()) throw FileError(planPath + ": " + std::strerror(errno));
    }

    OutputFile site(sitePath, io.out, {.force = parsed.has("--force"), .isSiteFile = true});
    FdPositionalSink sink(site.descriptor());
    NewSiteFile layout;
    layout.pixelsPerUnitX = scaleX;
    layout.pixelsPerUnitY = scaleY;
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
    said << ", " << written.plan.blockBytes << " bytes coded, scale " << jsonNumber(scaleX) << " x "
         << jsonNumber(scaleY) << " pixels per unit\n";
    return kExitOk;
}

} // namespace

extern const SiteCommand kCreateCommand{
    "create",
    "PLAN -o SITE.kvs [--scale-x N] [--scale-y N] [--calibrate X1,Y1,X2,Y2,LENGTH] [--page N] "
    "[--dpi D] [--max-side PX] [--force]",
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
    "  -o SITE.kvs    the site file to make (required); an existing file is not replaced\n"
    "                 unless --force is given; '-' for standard output\n"
    "  --scale-x N    floor-plan pixels per unit of site length along x, from 0.001 to\n"
    "                 1000000 (default 10)\n"
    "  --scale-y N    the same along y (default 10)\n"
    "  --calibrate X1,Y1,X2,Y2,LENGTH\n"
    "                 sets both scales from two points of the plan (in its pixels, 0,0 the\n"
    "                 top left) and the real length between them: the points' distance in\n"
    "                 pixels over LENGTH, which must give a scale within that of\n"
    "                 --scale-x; not with --scale-x or --scale-y\n"
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
