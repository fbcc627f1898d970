#include "platform/RegularFile.h"
#include "tools/site/OutputFile.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/SiteReading.h"
#include "tools/site/ToolArgs.h"

namespace walkmere::sitetool {

namespace {

int runPlan(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args, {{"-o", true}});
    const std::string& path = parsed.single("SITE.kvs");
    const std::string& output = parsed.required("-o");
    ReadOnlySite site = openSiteForReading(path);
    if (sameFile(path, output)) throw UsageError("the output would replace the site file itself");

    const SiteLayout& layout = site.validation.layout;
    OutputFile file(output, io.out);
    const ExpandResult expanded = expandPlanBitmap(site.fd.get(), layout.header.bitmapOffset(),
                                                   layout.planBlockBytes(), file.descriptor());
    if (expanded.status != ExpandStatus::Ok)
        throw FileError(path + ": floor plan: " + describeExpandResult(expanded));
    const BmpCheck check = checkBmpDescriptor(file.descriptor());
    file.commit();

    if (expanded.truncated)
        io.err << kToolName << ": " << path
               << ": the floor-plan block is cut short by the end of the file; decoded what "
                  "is there\n";
    if (expanded.cut)
        io.err << kToolName << ": " << path
               << ": the floor-plan block holds more than the bitmap; decoded the bitmap\n";
    if (!check.loadable)
        io.err << kToolName << ": " << output
               << ": the floor plan is not a usable bitmap: " << check.problem << '\n';
    // With the plan on standard output, what is said about it goes with the errors.
    std::ostream& said = isStandardOutput(output) ? io.err : io.out;
    said << output << ": " << expanded.bytesWritten << " bytes";
    if (check.loadable)
        said << ", " << check.info->width << " x " << check.info->pixelHeight() << " pixels";
    said << '\n';
    return kExitOk;
}

} // namespace

extern const SiteCommand kPlanCommand{
    "plan",
    "SITE.kvs -o PLAN.bmp",
    "write the decoded floor plan to a bitmap file",
    "Decodes the floor-plan block and writes the result, byte for byte as the program's\n"
    "decoder produces it (a Windows bitmap file, possibly followed by a few padding bytes),\n"
    "to PLAN.bmp, replacing that file. The site file is only read. As in the program, the\n"
    "decoding stops at the end of the bitmap its headers describe, and a block that does\n"
    "not decode to a bitmap, or to one of more than 100000000 pixels (10000 x 10000), is\n"
    "refused before anything is written.\n"
    "\n"
    "  -o PLAN.bmp  the file to write (required); '-' for standard output\n",
    runPlan,
};

} // namespace walkmere::sitetool
