#pragma once
// The floor-plan decoders behind importPlan. Each reads a whole file held in memory, tells the
// raster the picture's size before decoding any pixel and hands it the rows; each returns ""
// or a sentence saying why the file cannot be read.

#include "tools/site/PlanChild.h"
#include "tools/site/PlanImport.h"
#include "tools/site/PlanRaster.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace walkmere::sitetool {

// Any PNG: 16-bit samples scaled to 8, grey and palettes expanded, transparency laid on white.
std::string decodePngPlan(const uint8_t* data, size_t size, PlanRaster& raster);

// A baseline or progressive JPEG in grey, colour (YCbCr or RGB) or CMYK, which is turned
// into RGB (Adobe's inverted CMYK included), and turned as its EXIF orientation says. With a
// largest side, libjpeg decodes at the smallest of 1/8, 1/4, 1/2 or full size that is still no
// smaller than the plan.
std::string decodeJpegPlan(const uint8_t* data, size_t size, PlanRaster& raster,
                           std::optional<uint32_t> maxSide);

// One page of a PDF, rendered on white in a child process held to options.pdfBounds. Sets
// pageCount and dpi in `plan` as soon as known.
std::string renderPdfPlan(const uint8_t* data, size_t size, const PlanImportOptions& options,
                          PlanRaster& raster, ImportedPlan& plan);
// The parent's half of it: the page a rendering child handed over, into the raster; or why
// there is none, the child having been killed, crashed, run out of time or memory, or left
// its answer short.
std::string takeRenderedPage(const ChildOutcome& child, const ChildBounds& bounds,
                             PlanRaster& raster, ImportedPlan& plan);

// Lays a colour with alpha on white.
inline uint8_t onWhite(uint8_t value, uint8_t alpha) {
    return static_cast<uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

} // namespace walkmere::sitetool
