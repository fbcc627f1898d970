#pragma once

#include <QImage>

#include <string>
#include <vector>

namespace walkmere::screenshot {

// Reads a window dump as xwd writes it (X11 XWD version 7, ZPixmap, true colour at 24 or 32
// bits a pixel) into an RGB image. A null image, with a reason, for anything else or for a
// file that ends early.
QImage decodeXwd(const std::vector<unsigned char>& bytes, std::string& error);

} // namespace walkmere::screenshot
