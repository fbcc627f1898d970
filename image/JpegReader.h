#pragma once

#include "image/RgbImage.h"
#include "image/RowSink.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace walkmere {

// Decodes a baseline or progressive JPEG held in memory, in grey, colour (YCbCr or RGB) or
// CMYK, which is turned into RGB (Adobe's inverted CMYK included), into `sink` a row at a
// time; then tells the sink the picture's EXIF orientation. libjpeg decodes at the smallest
// of 1/8, 1/4, 1/2 or full size that is no smaller than the sink's keptSize. Returns "" or a
// sentence saying why the file cannot be read; a refusal of the sink's is given as it is.
std::string decodeJpeg(const uint8_t* data, size_t size, RowSink& sink);

// The same into a picture in memory, at full size and as stored (not turned).
std::string decodeJpeg(const uint8_t* data, size_t size, RgbImage& image);

} // namespace walkmere
