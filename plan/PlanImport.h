#pragma once

#include "plan/PlanChild.h"
#include "survey/BmpInfo.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace walkmere {

// How a floor plan is read.
struct PlanImportOptions {
    // The page of a PDF, from 1.
    int page = 1;
    // The resolution a PDF page is rendered at; unset: the largest that keeps the longer side
    // within the largest side below.
    std::optional<double> dpi;
    // The largest side of the plan. When given, a picture with a longer side is scaled down
    // (each pixel the average of the pixels it covers) so that it fits, and so may a picture
    // above kMaxPlanPixels. When not given, pictures are kept at their size, and a picture
    // above kMaxPlanPixels is refused; a PDF page is then fitted to kDefaultMaxSide.
    std::optional<uint32_t> maxSide;
    // What rendering a PDF page may take: it is done in a child process held to these.
    ChildBounds pdfBounds;

    static constexpr uint32_t kDefaultMaxSide = 4000;
};

// A floor plan as a Windows bitmap file in memory, ready to be stored in a site file.
struct ImportedPlan {
    std::vector<uint8_t> bmp; // the whole file: 8-bit with its colours or 24-bit, bottom-up
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t sourceWidth = 0; // the size the picture had before any scaling
    uint32_t sourceHeight = 0;
    std::string format; // "BMP", "PNG", "JPEG" or "PDF"
    int pageCount = 0;  // PDF only: the pages of the document
    double dpi = 0;     // PDF only: the resolution the page was rendered at
    // PDF only: the page's size as it is shown (a quarter turn swaps its sides), in points of
    // 1/72 inch: its size on paper.
    double pageWidth = 0;
    double pageHeight = 0;
};

struct PlanImportResult {
    ImportedPlan plan;
    std::string error; // empty when the plan was read; else a sentence starting with the name
    bool ok() const { return error.empty(); }
};

// Reads a floor plan from a BMP, PNG, JPEG or PDF file; the format is told by the file's
// first bytes, not its name. A bitmap that needs no scaling is kept byte for byte; any other
// plan is written afresh. PNG transparency is laid on white; a CMYK JPEG is turned into RGB;
// a PDF page is rendered on white. The page is used for PDFs only. The file may take at most
// kMaxPlanFileBytes. Never throws: every failure, running out of memory included, is in
// the result's error.
PlanImportResult importPlan(const std::string& path, const PlanImportOptions& options = {});

// The same for a file already in memory; `name` begins the error messages.
PlanImportResult importPlanBytes(const uint8_t* data, size_t size, const std::string& name,
                                 const PlanImportOptions& options = {});

// Whether a bitmap that needs no scaling is stored as it is: a plain one (uncompressed, with
// a colour table or 24 or 32 bits of blue, green and red). Any other is written afresh.
bool bitmapKeptAsItIs(const BmpInfo& info);

} // namespace walkmere
