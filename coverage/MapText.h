#pragma once

#include "coverage/RssiColour.h"
#include "image/RgbImage.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace walkmere {

// The 5 x 7 pixel font of the maps' legends and labels, drawn in black with `scale` image
// pixels a font pixel; characters stand 6 font pixels apart. A character the font lacks is
// left blank.
void drawText(RgbImage& image, int32_t x, int32_t y, const std::string& text, int32_t scale);
inline int32_t textWidth(const std::string& text, int32_t scale) {
    return int32_t(text.size()) * 6 * scale;
}

// A name as the font writes it: letters in capitals, and '?' for each character the font
// lacks (a character of several UTF-8 bytes counts once).
std::string fontText(std::string_view name);

// Fills the part of [x0, x1) x [y0, y1) that lies on the image.
void fillRect(RgbImage& image, int32_t x0, int32_t y0, int32_t x1, int32_t y1, Rgb colour);

} // namespace walkmere
