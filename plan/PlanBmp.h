#pragma once

#include "plan/PlanRaster.h"

#include <cstdint>
#include <vector>

namespace walkmere {

// Writes a complete raster as a Windows bitmap file: a 40-byte info header, rows bottom-up
// and padded to 4 bytes; 8 bits a pixel with a colour table of the colours used (sorted)
// when there are at most 256 of them, else 24 bits a pixel.
std::vector<uint8_t> encodePlanBmp(const PlanRaster& raster);

} // namespace walkmere
