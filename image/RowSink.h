#pragma once

#include "image/RgbImage.h"

#include <cstdint>
#include <string>

namespace walkmere {

// The widest or tallest picture the decoders take, so that a row stays within a few
// megabytes. libpng takes no wider picture by default either.
inline constexpr uint64_t kMaxPictureSide = 1'000'000;

struct PictureSize {
    uint64_t width = 0;
    uint64_t height = 0;
};

// Where a decoder puts the picture it decodes, a row at a time, so that no picture has to be
// held whole: the sink may keep the rows as they come or average them down, and may refuse
// the picture by its size before any pixel is decoded.
class RowSink {
public:
    virtual ~RowSink() = default;

    // The size the sink ends up keeping of a width x height picture. A decoder that can shrink
    // a picture while decoding it (JPEG, by eighths) hands over the smallest picture it can
    // that is no smaller than this; the others hand over the picture as it is.
    virtual PictureSize keptSize(uint64_t width, uint64_t height) const { return {width, height}; }
    // Told before any pixel is decoded: the rows will be width x height, to end up `kept` (what
    // keptSize said of the picture's own size). "" when the rows may come; else why the
    // picture is refused, and the decoder stops with that sentence.
    virtual std::string start(uint64_t width, uint64_t height, PictureSize kept) = 0;
    // Asked before a decoder holds the whole width x height picture at once (an interlaced
    // PNG, whose passes each add to every row): "" when it may, else why not.
    virtual std::string allowWhole(uint64_t /*width*/, uint64_t /*height*/) { return {}; }
    // The rows, top to bottom, 3 bytes (red, green, blue) a pixel.
    virtual void addRow(const uint8_t* rgb) = 0;
    // Once every row has come: how the picture says its rows are to be turned to be shown,
    // as an EXIF orientation (1 to 8; 1 as they are).
    virtual void orient(int /*exifOrientation*/) {}
};

// Keeps the rows in an RgbImage as they come, as stored: the EXIF orientation is not applied.
// A picture above kMaxRgbImagePixels is refused.
class ImageRows final : public RowSink {
public:
    explicit ImageRows(RgbImage& image) : image(image) {}
    std::string start(uint64_t width, uint64_t height, PictureSize kept) override;
    void addRow(const uint8_t* rgb) override;
    // Whether every row has come.
    bool complete() const { return image.height > 0 && row == image.height; }

private:
    RgbImage& image;
    int32_t row = 0;
};

} // namespace walkmere
