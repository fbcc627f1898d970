#include "survey/SiteFileWriter.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>

#include "platform/ByteOrder.h"
#include "survey/FileOps.h"
#include "survey/PointsAppender.h"
#include "survey/SiteFile.h"

namespace walkmere {

namespace {

// Codes the floor-plan block into place. A failed write is kept for the writer to report;
// the coder only learns that the sink stopped.
class BlockSink final : public ByteSink {
public:
    BlockSink(PositionalSink& out, uint64_t offset) : out(out), offset(offset) {}
    bool write(const uint8_t* from, size_t n) override {
        if (int error = out.writeAt(offset, from, n)) {
            lastError = error;
            return false;
        }
        offset += n;
        return true;
    }

private:
    PositionalSink& out;
    uint64_t offset;
};

using PlanCoder = std::function<CompressResult(ByteSink&)>;

SiteWriteResult stopped(SiteWriteResult result, SiteWriteStatus status, int error = 0) {
    result.status = status;
    result.error = error;
    return result;
}

// Everything after the floor-plan block, then the header.
SiteWriteResult layOut(PositionalSink& out, const NewSiteFile& site, const PlanCoder& codePlan) {
    SiteWriteResult result;
    const uint64_t bitmapOffset = site.headerLength;
    BlockSink sink(out, bitmapOffset);
    result.plan = codePlan(sink);
    if (sink.error() != 0) return stopped(result, SiteWriteStatus::WriteFailed, sink.error());
    if (result.plan.status != CompressStatus::Ok)
        return stopped(result, SiteWriteStatus::PlanFailed);

    const uint64_t signatureOffset = bitmapOffset + result.plan.blockBytes;
    const uint64_t pointsOffset = signatureOffset + kSignatureBlockSize;
    if (pointsOffset + kPointsSectionHead > std::numeric_limits<uint32_t>::max())
        return stopped(result, SiteWriteStatus::TooLarge);

    const std::vector<uint8_t> white(kSignatureBlockSize, 0xFF);
    if (int error = out.writeAt(signatureOffset, white.data(), white.size()))
        return stopped(result, SiteWriteStatus::WriteFailed, error);
    PointsAppender head;
    head.addSectionHead();
    if (int error = out.writeAt(pointsOffset, head.bytes().data(), head.bytes().size()))
        return stopped(result, SiteWriteStatus::WriteFailed, error);
    if (!site.points.empty()) {
        if (int error = out.writeAt(pointsOffset + kPointsSectionHead, site.points.data(),
                                    site.points.size()))
            return stopped(result, SiteWriteStatus::WriteFailed, error);
    }

    SiteHeader& header = result.header;
    header.setHeaderLength(site.headerLength);
    header.setMagic(SiteHeader::kMagic);
    header.setVersion(site.version);
    header.setPixelsPerUnitX(site.pixelsPerUnitX);
    header.setPixelsPerUnitY(site.pixelsPerUnitY);
    header.setBitmapOffset(static_cast<uint32_t>(bitmapOffset));
    header.setSignatureOffset(static_cast<uint32_t>(signatureOffset));
    header.setPointsOffset(static_cast<uint32_t>(pointsOffset));
    // A 151-byte header ends before byte 151, where the floor-plan block starts.
    const size_t headerBytes = std::min<size_t>(site.headerLength, header.bytes.size());
    if (int error = out.writeAt(0, header.bytes.data(), headerBytes))
        return stopped(result, SiteWriteStatus::WriteFailed, error);
    return result;
}

} // namespace

int FdPositionalSink::writeAt(uint64_t offset, const uint8_t* bytes, size_t n) {
    return writeAllAt(fd, bytes, n, offset);
}

int MemoryPositionalSink::writeAt(uint64_t offset, const uint8_t* bytes, size_t n) {
    if (offset + n > into.size()) into.resize(static_cast<size_t>(offset + n));
    std::memcpy(into.data() + offset, bytes, n);
    return 0;
}

SiteWriteResult writeSiteFile(PositionalSink& out, int planFd, const NewSiteFile& site) {
    return layOut(out, site, [planFd](ByteSink& sink) { return compressFloorPlan(planFd, sink); });
}

SiteWriteResult writeSiteFile(PositionalSink& out, std::span<const uint8_t> plan,
                              const NewSiteFile& site) {
    return layOut(out, site, [plan](ByteSink& sink) { return compressFloorPlan(plan, sink); });
}

SiteWriteResult writeSiteFileWithBlock(PositionalSink& out, std::span<const uint8_t> block,
                                       const NewSiteFile& site) {
    return layOut(out, site, [block](ByteSink& sink) {
        CompressResult written;
        written.blockBytes = block.size();
        if (block.size() >= kPlanBlockLengthSize)
            written.blockBytes = std::max<uint64_t>(readLe32(block.data()), block.size());
        if (!block.empty() && !sink.write(block.data(), block.size())) {
            written.status = CompressStatus::WriteFailed;
            written.error = sink.error();
        }
        return written;
    });
}

} // namespace walkmere
