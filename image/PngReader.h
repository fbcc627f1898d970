#pragma once

#include "image/RgbImage.h"
#include "image/RowSink.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace walkmere {

// Decodes any PNG held in memory into `sink`, a row at a time: 16-bit samples scaled to 8,
// grey and palettes expanded, transparency laid on white. An interlaced picture is held
// whole while it is decoded, when the sink allows it. Returns "" or a sentence saying why the
// file cannot be read; a refusal of the sink's is given as it is.
std::string decodePng(const uint8_t* data, size_t size, RowSink& sink);

// The same into a picture in memory.
std::string decodePng(const uint8_t* data, size_t size, RgbImage& image);

} // namespace walkmere
