#include "platform/RegularFile.h"
#include "survey/BmpInfo.h"
#include "survey/SiteFileWriter.h"
#include "tools/site/OutputFile.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/TextEscape.h"
#include "tools/site/ToolArgs.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace walkmere::sitetool {

namespace {

int runCreate(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args,
                    {{"-o", true}, {"--scale-x", true}, {"--scale-y", true}, {"--force", false}});
    const std::string& planPath = parsed.single("PLAN.bmp");
    const std::string& sitePath = parsed.required("-o");
    const double scaleX = parsed.positiveNumber("--scale-x", kDefaultPixelsPerUnit);
    const double scaleY = parsed.positiveNumber("--scale-y", kDefaultPixelsPerUnit);

    const BmpCheck plan = checkBmpFile(planPath);
    if (!plan.info)
        throw FileError(planPath + ": not a Windows bitmap file (" + plan.problem + ")");
    if (!plan.loadable) throw FileError(planPath + ": not a usable bitmap: " + plan.problem);
    if (sameFile(planPath, sitePath)) throw UsageError("the site file would replace the plan");

    OwnedFd planFd(::open(planPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!planFd.valid()) throw FileError(planPath + ": " + std::strerror(errno));

    OutputFile site(sitePath, io.out);
    FdPositionalSink sink(site.descriptor());
    NewSiteFile layout;
    layout.pixelsPerUnitX = scaleX;
    layout.pixelsPerUnitY = scaleY;
    const SiteWriteResult written = writeSiteFile(sink, planFd.get(), layout);
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
    site.commit(parsed.has("--force"));

    (isStandardOutput(sitePath) ? io.err : io.out)
        << sitePath << ": " << plan.info->width << " x " << plan.info->pixelHeight()
        << " floor plan, " << written.plan.blockBytes << " bytes coded, scale "
        << jsonNumber(scaleX) << " x " << jsonNumber(scaleY) << " pixels per unit\n";
    return kExitOk;
}

} // namespace

extern const SiteCommand kCreateCommand{
    "create",
    "PLAN.bmp -o SITE.kvs [--scale-x N] [--scale-y N] [--force]",
    "make a site file from a floor-plan bitmap",
    "Makes a new site file with an empty survey: a 152-byte header (version 4, the uninterpreted\n"
    "bytes zero), the floor plan Huffman-coded as the program reads it, a white signature\n"
    "block and an empty points section, in that order. PLAN.bmp must be a Windows bitmap\n"
    "file whose pixels are all there.\n"
    "\n"
    "  -o SITE.kvs    the site file to make (required); an existing file is not replaced\n"
    "                 unless --force is given; '-' for standard output\n"
    "  --scale-x N    floor-plan pixels per unit of site length along x (default 10)\n"
    "  --scale-y N    the same along y (default 10)\n"
    "  --force        replace an existing SITE.kvs\n",
    runCreate,
};

} // namespace walkmere::sitetool
