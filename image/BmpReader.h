#pragma once

#include "image/RgbImage.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace walkmere {

// Reads the pixels of a Windows bitmap file held in memory: every picture the program's own
// loader takes. 1-, 4- and 8-bit pictures with a colour table, 8- and 4-bit ones run-length
// coded (BI_RLE8, BI_RLE4), 16-bit (5 bits a colour) and 24- and 32-bit ones, 16- and 32-bit
// ones with colour masks (BI_BITFIELDS); bottom-up or top-down. A run-length code that runs
// past a row or off the picture is cut there; pixels it never sets are colour 0. Returns ""
// and fills `image`, or a sentence saying why the picture cannot be read (cut short, a colour
// table or masks missing, ...).
std::string readBmpPixels(const uint8_t* data, size_t size, RgbImage& image);

// The start of a bitmap file that says whether readBmpPixels can read it: the headers, of
// which the largest is 124 bytes.
inline constexpr size_t kBmpLayoutBytes = 14 + 124;

// Why readBmpPixels would refuse a bitmap, judged from the first bytes of its file (at least
// kBmpLayoutBytes, or the whole file when shorter) and its size: "" when it would read it.
// Nothing is decoded, so this costs the same for any picture.
std::string bmpLayoutProblem(const uint8_t* data, size_t size, uint64_t fileSize);
// The same for a file on disk; a file that cannot be read gives the system's reason.
std::string bmpFileLayoutProblem(const std::string& path);

} // namespace walkmere
