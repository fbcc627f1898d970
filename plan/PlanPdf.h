#pragma once
// PDF floor plans behind importPlan (the other formats are decoded by image/). A page is
// rendered from a whole file held in memory, its size told the raster before any pixel and
// then its rows; each returns "" or a sentence saying why the page cannot be had.

#include "plan/PlanChild.h"
#include "plan/PlanImport.h"
#include "plan/PlanRaster.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace walkmere {

// One page of a PDF, rendered on white in a child process held to options.pdfBounds. Sets
// pageCount and dpi in `plan` as soon as known.
std::string renderPdfPlan(const uint8_t* data, size_t size, const PlanImportOptions& options,
                          PlanRaster& raster, ImportedPlan& plan);
// The parent's half of it: the page a rendering child handed over, into the raster; or why
// there is none, the child having been killed, crashed, run out of time or memory, or left
// its answer short.
std::string takeRenderedPage(const ChildOutcome& child, const ChildBounds& bounds,
                             PlanRaster& raster, ImportedPlan& plan);

} // namespace walkmere
