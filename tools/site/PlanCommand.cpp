#include "platform/ByteOrder.h"
#include "platform/RegularFile.h"
#include "tools/site/OutputFile.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/SiteReading.h"
#include "tools/site/ToolArgs.h"

#include <cerrno>
#include <optional>

namespace walkmere::sitetool {

namespace {

// What was made of the decoder's output: its length, and the size field it had when that
// was not its true length.
struct BitmapEnd {
    uint64_t length = 0;
    std::optional<uint32_t> declared;
};

// The decoder may run a few bytes past the bitmap (the padding bits of the last code byte
// decode too); a bitmap file ends where its headers say, and its file header's size field
// must say the same, or picture tools call the file damaged.
BitmapEnd endAtTheBitmap(OutputFile& file, uint64_t written) {
    uint8_t head[BmpInfo::kFileHeaderSize + 124]; // the largest info header
    const ssize_t got = readFullyAt(file.descriptor(), head, sizeof head, 0);
    if (got < 0) file.throwWriteError(errno);
    const BmpExtent extent = bmpExtent(head, size_t(got));
    // A plan cut short is written as it is: it has no true length to give.
    if (extent.verdict != BmpExtent::Verdict::Bounded || written < extent.length)
        return {written, std::nullopt};
    if (written > extent.length) file.truncate(extent.length);
    const uint32_t declared = readLe32(head + 2);
    if (declared == extent.length) return {extent.length, std::nullopt};
    uint8_t size[4];
    writeLe32(size, uint32_t(extent.length)); // within kMaxPlanFileBytes
    file.writeAt(2, size, sizeof size);
    return {extent.length, declared};
}

int runPlan(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args, {{"-o", true}, {"--force", false}});
    const std::string& path = parsed.single("SITE.kvs");
    const std::string& output = parsed.required("-o");
    ReadOnlySite site = openSiteForReading(path);
    if (sameFile(path, output)) throw UsageError("the output would replace the site file itself");

    const SiteLayout& layout = site.validation.layout;
    OutputFile file(output, io.out, {.force = parsed.has("--force"), .isSiteFile = false});
    const ExpandResult expanded = expandPlanBitmap(site.fd.get(), layout.header.bitmapOffset(),
                                                   layout.planBlockBytes(), file.descriptor());
    if (expanded.status != ExpandStatus::Ok)
        throw FileError(path + ": floor plan: " + describeExpandResult(expanded));
    const BitmapEnd end = endAtTheBitmap(file, expanded.bytesWritten);
    const BmpCheck check = checkBmpDescriptor(file.descriptor());
    file.commit();

    if (expanded.truncated)
        io.err << kToolName << ": " << path
               << ": the floor-plan block is cut short by the end of the file; decoded what "
                  "is there\n";
    if (expanded.cut)
        io.err << kToolName << ": " << path
               << ": the floor-plan block holds more than the bitmap; decoded the bitmap\n";
    if (end.declared)
        io.err << kToolName << ": " << path << ": the floor plan's file header gave its size as "
               << *end.declared << " bytes; written with its true size\n";
    if (!check.loadable)
        io.err << kToolName << ": " << output
               << ": the floor plan is not a usable bitmap: " << check.problem << '\n';
    // With the plan on standard output, what is said about it goes with the errors.
    std::ostream& said = isStandardOutput(output) ? io.err : io.out;
    said << output << ": " << end.length << " bytes";
    if (check.loadable)
        said << ", " << check.info->width << " x " << check.info->pixelHeight() << " pixels";
    said << '\n';
    return kExitOk;
}

} // namespace

extern const SiteCommand kPlanCommand{
    "plan",
    "SITE.kvs -o PLAN.bmp [--force]",
    "write the decoded floor plan to a bitmap file",
    "Decodes the floor-plan block and writes the result, the Windows bitmap file the\n"
    "program's decoder produces, to PLAN.bmp. The file ends where the bitmap's headers say\n"
    "(the decoder's padding bytes after it are left out) and its file header gives that\n"
    "size. The site file is only read. As in the program, the decoding stops at the end of\n"
    "the bitmap its headers describe, and a block that does not decode to a bitmap, or to\n"
    "one of more than 100000000 pixels (10000 x 10000), is refused before anything is\n"
    "written.\n"
    "\n"
    "  -o PLAN.bmp  the file to write (required); an existing file is not replaced unless\n"
    "               --force is given, and a site file never is; '-' for standard output\n"
    "  --force      replace an existing PLAN.bmp\n",
    runPlan,
};

} // namespace walkmere::sitetool
