#pragma once

#include "image/RowSink.h"
#include "survey/BmpInfo.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace walkmere {

// The size a width x height picture gets: unchanged, or scaled down so that its longer side
// is maxSide (the shorter side rounded, at least 1).
PictureSize fittedPlanSize(uint64_t width, uint64_t height, std::optional<uint32_t> maxSide);

// The widest or tallest picture a decoder may hand over for scaling down: the row buffers
// stay within a few megabytes.
inline constexpr uint64_t kMaxSourceSide = kMaxPictureSide;
// The most pixels a picture handed over for scaling down may have: ten plans' worth, which
// holds a 600 dpi scan of an A0 sheet. Every source pixel is decoded and added up, so this
// bounds the time a scaling takes; a small, highly compressed file could otherwise announce
// a million pixels a side and keep the decoder busy for hours.
inline constexpr uint64_t kMaxSourcePixels = 10 * kMaxPlanPixels;

// Where a decoder puts a floor plan's pixels. It is told the picture's size before any pixel
// is decoded, and refuses a picture that would be larger than kMaxPlanPixels once fitted
// to maxSide; then it takes the rows, top to bottom, 3 bytes (red, green, blue) a pixel,
// and keeps them as they come or averaged down to the fitted size.
class PlanRaster final : public RowSink {
public:
    explicit PlanRaster(std::optional<uint32_t> maxSide) : maxSide(maxSide) {}

    // The picture fitted to maxSide.
    PictureSize keptSize(uint64_t width, uint64_t height) const override;
    // "" when the rows may come; else why the picture is refused. `kept` is the size the rows
    // are averaged down to (at most width x height): a decoder may have shrunk the picture
    // part of the way already.
    std::string start(uint64_t width, uint64_t height, PictureSize kept) override;
    // The same for a picture handed over at its own size.
    std::string start(uint64_t width, uint64_t height) {
        return start(width, height, keptSize(width, height));
    }
    // A picture held whole may have no more pixels than a plan.
    std::string allowWhole(uint64_t width, uint64_t height) override;
    void addRow(const uint8_t* rgb) override;

    // Turns the kept picture as an EXIF orientation (1 to 8) says the rows that came are to be
    // shown: the sizes and rows below are then those of the picture turned. Other values
    // leave it as it came.
    void orient(int exifOrientation) override;

    uint32_t sourceWidth() const { return swapsSides() ? srcHeight : srcWidth; }
    uint32_t sourceHeight() const { return swapsSides() ? srcWidth : srcHeight; }
    uint32_t width() const { return swapsSides() ? outHeight : outWidth; }
    uint32_t height() const { return swapsSides() ? outWidth : outHeight; }
    // Whether all the rows have come.
    bool complete() const { return started && keptRows == outHeight; }
    // Row y of the picture, y < height(): where it is kept, or, when the picture is turned,
    // gathered into `scratch`.
    const uint8_t* row(uint32_t y, std::vector<uint8_t>& scratch) const;

private:
    void keep(const uint8_t* rgb);
    bool swapsSides() const { return orientation >= 5; }
    const uint8_t* keptRow(uint32_t y) const {
        return blocks[y / rowsPerBlock].data() + size_t{y % rowsPerBlock} * outWidth * 3;
    }
    void flushBand();

    std::optional<uint32_t> maxSide;
    bool started = false;
    uint32_t srcWidth = 0, srcHeight = 0;
    uint32_t outWidth = 0, outHeight = 0;
    uint32_t rowsPerBlock = 1;
    std::vector<std::vector<uint8_t>> blocks; // rowsPerBlock rows each, filled as they come
    uint32_t keptRows = 0;
    int orientation = 1;

    // Scaling down: how many source columns each output column averages (they follow each
    // other), the sums of the current band of source rows and where that band ends.
    bool reducing = false;
    uint32_t srcRowsTaken = 0;
    uint32_t bandStart = 0, bandEnd = 0;
    std::vector<uint32_t> columnWidth;
    std::vector<uint64_t> sums;
    std::vector<uint8_t> reduced;
};

// "more than a floor plan may have (N pixels)", N being kMaxPlanPixels.
std::string morePixelsThanAPlan();
// A message naming the limit, for a width x height picture above kMaxPlanPixels; without a
// largest side it says that one would scale the picture down.
std::string planTooLarge(uint64_t width, uint64_t height, bool maxSideGiven);

} // namespace walkmere
