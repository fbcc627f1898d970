#include "image/RowSink.h"

#include <algorithm>

namespace walkmere {

std::string ImageRows::start(uint64_t width, uint64_t height, PictureSize) {
    if (width == 0 || height == 0) return "the picture has no pixels";
    if (width * height > kMaxRgbImagePixels) return "the picture is too large to read";
    image = RgbImage(static_cast<int32_t>(width), static_cast<int32_t>(height));
    row = 0;
    return {};
}

void ImageRows::addRow(const uint8_t* rgb) {
    if (row >= image.height) return;
    std::copy_n(rgb, size_t(image.width) * 3, image.at(0, row));
    ++row;
}

} // namespace walkmere
