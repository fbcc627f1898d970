#include "platform/RegularFile.h"
#include "survey/BitmapCompressor.h"
#include "survey/BmpInfo.h"
#include "survey/PointRecords.h"
#include "survey/SiteFile.h"
#include "survey/SiteHeader.h"
#include "tools/site/OutputFile.h"
#include "tools/site/SiteCommand.h"
#include "tools/site/TextEscape.h"
#include "tools/site/ToolArgs.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace walkmere::sitetool {

namespace {

// The version this tool writes: the lowest the program accepts.
constexpr uint16_t kCreatedVersion = SiteHeader::kMinVersion;
constexpr double kDefaultScale = 10.0;

// Writes the floor-plan block into the output from `offset` on. A failure is kept and
// reported after the coder has stopped, so no exception passes through the codec.
class OffsetSink final : public ByteSink {
public:
    OffsetSink(OutputFile& file, uint64_t offset) : file(file), offset(offset) {}
    bool write(const uint8_t* from, size_t n) override {
        try {
            file.writeAt(offset, from, n);
        } catch (const FileError& e) {
            failure = e.what();
            return false;
        }
        offset += n;
        return true;
    }
    std::string failure;

private:
    OutputFile& file;
    uint64_t offset;
};

int runCreate(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args,
                    {{"-o", true}, {"--scale-x", true}, {"--scale-y", true}, {"--force", false}});
    const std::string& planPath = parsed.single("PLAN.bmp");
    const std::string& sitePath = parsed.required("-o");
    const double scaleX = parsed.positiveNumber("--scale-x", kDefaultScale);
    const double scaleY = parsed.positiveNumber("--scale-y", kDefaultScale);

    const BmpCheck plan = checkBmpFile(planPath);
    if (!plan.info)
        throw FileError(planPath + ": not a Windows bitmap file (" + plan.problem + ")");
    if (!plan.loadable) throw FileError(planPath + ": not a usable bitmap: " + plan.problem);
    if (sameFile(planPath, sitePath)) throw UsageError("the site file would replace the plan");

    OwnedFd planFd(::open(planPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!planFd.valid()) throw FileError(planPath + ": " + std::strerror(errno));

    // Header, floor-plan block, signature block, points section last.
    OutputFile site(sitePath, io.out);
    const uint64_t bitmapOffset = SiteHeader::kHeldLength;
    OffsetSink sink(site, bitmapOffset);
    const CompressResult coded = compressFloorPlan(planFd.get(), sink);
    if (!sink.failure.empty()) throw FileError(sink.failure);
    if (coded.status != CompressStatus::Ok)
        throw FileError(planPath + ": " + describeCompressResult(coded));

    const uint64_t signatureOffset = bitmapOffset + coded.blockBytes;
    const uint64_t pointsOffset = signatureOffset + kSignatureBlockSize;
    if (pointsOffset + kPointsSectionHead > UINT32_MAX)
        throw FileError(planPath + ": the floor plan is too large for a site file");

    const std::vector<uint8_t> white(kSignatureBlockSize, 0xFF);
    site.writeAt(signatureOffset, white.data(), white.size());
    uint8_t sizes[kPointsSectionHead] = {};
    sizes[0] = kPointRecordSize;
    sizes[4] = kReadingSize;
    site.writeAt(pointsOffset, sizes, sizeof sizes);

    SiteHeader header;
    header.setHeaderLength(SiteHeader::kHeldLength);
    header.setMagic(SiteHeader::kMagic);
    header.setVersion(kCreatedVersion);
    header.setPixelsPerUnitX(scaleX);
    header.setPixelsPerUnitY(scaleY);
    header.setBitmapOffset(static_cast<uint32_t>(bitmapOffset));
    header.setSignatureOffset(static_cast<uint32_t>(signatureOffset));
    header.setPointsOffset(static_cast<uint32_t>(pointsOffset));
    site.writeAt(0, header.bytes.data(), header.bytes.size());
    site.commit(parsed.has("--force"));

    (isStandardOutput(sitePath) ? io.err : io.out)
        << sitePath << ": " << plan.info->width << " x " << plan.info->pixelHeight()
        << " floor plan, " << coded.blockBytes << " bytes coded, scale " << jsonNumber(scaleX)
        << " x " << jsonNumber(scaleY) << " pixels per unit\n";
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
