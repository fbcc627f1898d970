#pragma once

#include "platform/OwnedFd.h"
#include "survey/PointsWalk.h"
#include "survey/SignatureBlock.h"
#include "survey/SiteHeader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace walkmere {

// Message box caption of every refusal below.
inline constexpr const char* kFileErrorCaption = "File Error";
inline constexpr const char* kNotASiteFileText = "Not a Site File.";
inline constexpr const char* kObsoleteSiteFileText =
    "Obsolete Site File, recreate using Planwright";
// What the user reads when another program holds the site file (the handheld's system said
// this for a sharing violation); the system's own text for EWOULDBLOCK says nothing useful.
inline constexpr const char* kFileInUseText = "The file is in use by another program.";

// The signature block: 100 rows of 26 bytes.
inline constexpr uint32_t kSignatureBlockSize = signature::kBlockSize;
// The floor-plan block starts with its blockLength, this field included.
inline constexpr uint32_t kPlanBlockLengthSize = 4;

enum class SiteFileProblem {
    CannotOpen,   // the system refused to open or lock the file
    NotASiteFile, // wrong magic
    Obsolete,     // version below 4
    Damaged,      // the header's numbers do not describe a usable file
};

// The refusal of a file whose points are damaged: "Damaged Site File: the point record at
// byte N announces M readings (at most 32)."
std::string damagedPointsText(const PointsDamage& damage);

// Why a file was not opened as a site. The user interface shows text with the caption
// kFileErrorCaption and the stop icon.
struct SiteFileRefusal {
    SiteFileProblem problem;
    std::string text;
};

// A site file that passed validation.
struct SiteLayout {
    SiteHeader header; // the first headerLength bytes, at most 152 of them
    uint64_t fileSize = 0;
    uint32_t planBlockLength = 0; // as stored at bitmapOffset
    // The bytes of the floor-plan block that the file holds: the block may be cut short
    // by the end of the file.
    uint64_t planBlockBytes() const;
};

struct SiteValidation {
    std::optional<SiteFileRefusal> refusal;
    // Meaningful without a refusal, and with one for damaged points (pointsDamage set): the
    // header and blocks are sound then, only the survey points are not.
    SiteLayout layout;
    std::optional<PointsDamage> pointsDamage;
    bool accepted() const { return !refusal; }
};

// Reads the header of the file open on fd and checks, in this order: the magic, the
// version, then that the layout is usable: a header of at least 151 bytes that the file
// holds, a points section inside the file after the header with record sizes 71 and 41,
// a signature block between the header and the points section, a floor-plan block that
// starts inside the file, and last that no point record announces more readings than a
// point can have (which would make every later point unreadable, and must never be taken
// for a write cut short). That last check reads the points section once more, in one
// buffered sequential pass (bench/store BM_ValidateSiteFile): 5 to 15 ms for 100,000 points
// of 10 readings (48 MB) in the page cache, as much as loading them; from a cold disk, one
// sequential read of the section, after which loading finds it cached. Only reads; the
// file is never changed here.
SiteValidation validateSiteFile(int fd);

// Opens a site file for reading only and validates it: what the site tool uses, which
// never changes a file.
struct ReadOnlySite {
    OwnedFd fd;
    SiteValidation validation;
    bool accepted() const { return fd.valid() && validation.accepted(); }
};
ReadOnlySite openSiteReadOnly(const std::string& path);

// pread until n bytes or the end of the file; returns the bytes read, or -1 on an error
// (errno set).
ssize_t readFullyAt(int fd, void* buffer, size_t n, uint64_t offset);

} // namespace walkmere
