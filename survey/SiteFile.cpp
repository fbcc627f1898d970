#include "survey/SiteFile.h"

#include "platform/ByteOrder.h"
#include "platform/RegularFile.h"
#include "survey/PointRecords.h"
#include "survey/PointsWalk.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace walkmere {

namespace {

SiteValidation refused(SiteFileProblem problem, std::string text) {
    SiteValidation v;
    v.refusal = SiteFileRefusal{problem, std::move(text)};
    return v;
}

SiteValidation damaged(const std::string& what) {
    return refused(SiteFileProblem::Damaged, "Damaged Site File: " + what);
}

SiteValidation systemFailure(int error = errno) {
    return refused(SiteFileProblem::CannotOpen, std::strerror(error));
}

// A read of bytes that fstat said were there came back short or failed.
SiteValidation readFailure(ssize_t got) {
    if (got < 0) return systemFailure();
    return damaged("the file changed while it was read.");
}

// Walks the points section (the head is checked already) to the end. Only a count that no
// commit writes is refused here: the end of a write cut short is the store's to repair.
std::optional<SiteValidation> checkPoints(int fd, const SiteLayout& layout) {
    const PointsWalkEnd end = walkPointsSection(fd, layout.header.pointsOffset());
    switch (end.status) {
    case PointsWalkEnd::Status::End:
        return std::nullopt;
    case PointsWalkEnd::Status::Damaged: {
        SiteValidation v = refused(SiteFileProblem::Damaged, damagedPointsText(*end.damage));
        v.layout = layout;
        v.pointsDamage = end.damage;
        return v;
    }
    case PointsWalkEnd::Status::ReadError:
        return systemFailure(end.error);
    default: // the head was read a moment ago
        return readFailure(0);
    }
}

} // namespace

std::string damagedPointsText(const PointsDamage& damage) {
    return "Damaged Site File: " + damage.describe();
}

uint64_t SiteLayout::planBlockBytes() const {
    const uint64_t start = header.bitmapOffset();
    const uint64_t end = std::min<uint64_t>(start + planBlockLength, fileSize);
    return end > start ? end - start : 0;
}

ssize_t readFullyAt(int fd, void* buffer, size_t n, uint64_t offset) {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::pread(fd, out + got, n - got, static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    return static_cast<ssize_t>(got);
}

SiteValidation validateSiteFile(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return systemFailure();
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);

    // The magic and version are read where they stand, whatever headerLength says, so
    // that a foreign file is named as such before its layout is judged.
    SiteHeader raw;
    const ssize_t got = readFullyAt(fd, raw.bytes.data(), raw.bytes.size(), 0);
    if (got < 0) return systemFailure();
    if (got < 8 || raw.magic() != SiteHeader::kMagic)
        return refused(SiteFileProblem::NotASiteFile, kNotASiteFileText);
    if (got < 10) return damaged("the file ends inside its header.");
    if (raw.version() < SiteHeader::kMinVersion)
        return refused(SiteFileProblem::Obsolete, kObsoleteSiteFileText);

    const uint32_t headerLength = raw.headerLength();
    if (headerLength < SiteHeader::kMinLength) return damaged("header shorter than 151 bytes.");
    if (headerLength > fileSize) return damaged("the file ends inside its header.");

    // Hold the header up to the bytes this program knows; the rest of a longer header
    // stays in the file untouched. Byte 151 after a 151-byte header is not header.
    SiteLayout layout;
    layout.fileSize = fileSize;
    SiteHeader& header = layout.header;
    const size_t held = std::min<uint64_t>(headerLength, SiteHeader::kHeldLength);
    std::copy_n(raw.bytes.begin(), held, header.bytes.begin());

    const uint64_t pointsOffset = header.pointsOffset();
    if (pointsOffset + kPointsSectionHead > fileSize)
        return damaged("points section outside the file.");
    if (pointsOffset < headerLength) return damaged("points section overlaps the header.");
    uint8_t sizes[kPointsSectionHead];
    if (ssize_t n = readFullyAt(fd, sizes, sizeof sizes, pointsOffset); n != sizeof sizes)
        return readFailure(n);
    const uint32_t recordSize = readLe32(sizes);
    const uint32_t readingSize = readLe32(sizes + 4);
    if (recordSize != kPointRecordSize || readingSize != kReadingSize)
        return damaged("points section gives record sizes " + std::to_string(recordSize) + " and " +
                       std::to_string(readingSize) + " instead of 71 and 41.");

    // The signature block must lie between the header and the points section.
    const uint64_t signatureOffset = header.signatureOffset();
    const uint64_t signatureEnd = signatureOffset + kSignatureBlockSize;
    if (signatureOffset < headerLength) return damaged("signature block overlaps the header.");
    if (signatureEnd > fileSize && signatureOffset >= pointsOffset)
        return damaged("signature block outside the file.");
    if (signatureEnd > pointsOffset) return damaged("signature block overlaps the points section.");

    const uint64_t bitmapOffset = header.bitmapOffset();
    if (bitmapOffset + kPlanBlockLengthSize > fileSize)
        return damaged("floor-plan block outside the file.");
    uint8_t blockLength[kPlanBlockLengthSize];
    if (ssize_t n = readFullyAt(fd, blockLength, sizeof blockLength, bitmapOffset);
        n != sizeof blockLength)
        return readFailure(n);
    layout.planBlockLength = readLe32(blockLength);

    SiteValidation v;
    v.layout = layout;
    if (std::optional<SiteValidation> points = checkPoints(fd, layout)) return *points;
    return v;
}

ReadOnlySite openSiteReadOnly(const std::string& path) {
    ReadOnlySite site;
    RegularFileOpening opened = openRegularFile(path, O_RDONLY);
    if (!opened.fd.valid()) {
        site.validation = refused(SiteFileProblem::CannotOpen, opened.problem);
        return site;
    }
    site.fd = std::move(opened.fd);
    site.validation = validateSiteFile(site.fd.get());
    return site;
}

} // namespace walkmere
