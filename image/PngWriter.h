#pragma once

#include "image/RgbImage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace walkmere {

class ByteSink;

// Encodes a picture as an 8-bit RGB PNG into `out`. Returns "" or why it failed.
// zlibLevel trades size for speed (1 fast, 9 small).
std::string encodePng(const RgbImage& image, std::vector<uint8_t>& out, int zlibLevel = 3);
// The same, handing the PNG's bytes to `sink` as the encoder makes them, so that the whole
// PNG is never held; a sink that refuses a write stops the encoding.
std::string encodePng(const RgbImage& image, ByteSink& sink, int zlibLevel = 3);

} // namespace walkmere
