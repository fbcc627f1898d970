#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "survey/BitmapCompressor.h"
#include "survey/SiteHeader.h"

namespace walkmere {

// Where a new site file goes. Each piece is written at its offset: the floor-plan block
// is coded straight into place, and the header, which gives the blocks' offsets, last.
class PositionalSink {
public:
    virtual ~PositionalSink() = default;
    // Writes all n bytes at `offset`; 0, or the errno of the failure.
    virtual int writeAt(uint64_t offset, const uint8_t* bytes, size_t n) = 0;
};

// Into an open file, through writeAllAt.
class FdPositionalSink final : public PositionalSink {
public:
    explicit FdPositionalSink(int fd) : fd(fd) {}
    int writeAt(uint64_t offset, const uint8_t* bytes, size_t n) override;

private:
    int fd;
};

// Into memory: the bytes grow to hold every write; what no write reached stays zero.
class MemoryPositionalSink final : public PositionalSink {
public:
    explicit MemoryPositionalSink(std::vector<uint8_t>& into) : into(into) {}
    int writeAt(uint64_t offset, const uint8_t* bytes, size_t n) override;

private:
    std::vector<uint8_t>& into;
};

// Floor-plan pixels per unit of site length, when nobody says otherwise.
inline constexpr double kDefaultPixelsPerUnit = 10.0;

// What a new site file holds besides its floor plan.
struct NewSiteFile {
    // The floor-plan block starts right after the header. Header bytes past the 152 that
    // the program knows are left unwritten.
    uint32_t headerLength = SiteHeader::kHeldLength;
    uint16_t version = SiteHeader::kMinVersion; // the lowest the program accepts
    double pixelsPerUnitX = kDefaultPixelsPerUnit;
    double pixelsPerUnitY = kDefaultPixelsPerUnit;
    // Point records, each followed by its readings, after the points section's head.
    std::span<const uint8_t> points;
};

enum class SiteWriteStatus {
    Ok,
    PlanFailed,  // the floor plan could not be coded: see plan
    TooLarge,    // the points section would start beyond what a 32-bit offset reaches
    WriteFailed, // see error
};

struct SiteWriteResult {
    SiteWriteStatus status = SiteWriteStatus::Ok;
    CompressResult plan; // blockBytes: the room the floor-plan block takes
    int error = 0;       // errno of the write that failed
    SiteHeader header;   // as written, once the blocks have their places
};

// Writes a site file: the header, the floor-plan block, a white signature block and the
// points section with `site.points`, in that order, with uninterpreted header bytes zero.
// The floor plan is the bitmap file open on `planFd`, coded without holding it whole.
SiteWriteResult writeSiteFile(PositionalSink& out, int planFd, const NewSiteFile& site);
// The same with the bitmap file's bytes in memory.
SiteWriteResult writeSiteFile(PositionalSink& out, std::span<const uint8_t> plan,
                              const NewSiteFile& site);
// The same with a floor-plan block coded already. It takes the room its blockLength gives,
// and the bytes of that room it lacks are left unwritten; an empty block takes none.
SiteWriteResult writeSiteFileWithBlock(PositionalSink& out, std::span<const uint8_t> block,
                                       const NewSiteFile& site);

} // namespace walkmere
