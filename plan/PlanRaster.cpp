#include "plan/PlanRaster.h"

#include "survey/BmpInfo.h"

#include <algorithm>

namespace walkmere {

namespace {

// Rows are kept in blocks of about this many bytes, so that no single allocation is the
// whole picture and a picture cut short costs only what it delivered.
constexpr size_t kBlockBytes = size_t{1} << 20;

} // namespace

PictureSize fittedPlanSize(uint64_t width, uint64_t height, std::optional<uint32_t> maxSide) {
    const uint64_t longer = std::max(width, height);
    if (!maxSide || *maxSide == 0 || longer <= *maxSide) return {width, height};
    const uint64_t side = *maxSide;
    const auto shorten = [&](uint64_t v) {
        return std::max<uint64_t>(1, std::min(side, (v * side + longer / 2) / longer));
    };
    return width >= height ? PictureSize{side, shorten(height)} : PictureSize{shorten(width), side};
}

std::string morePixelsThanAPlan() {
    return "more than a floor plan may have (" + std::to_string(kMaxPlanPixels) +
           " pixels: the program keeps the decoded plan in memory to map it)";
}

std::string planTooLarge(uint64_t width, uint64_t height, bool maxSideGiven) {
    std::string text = std::to_string(width) + " x " + std::to_string(height) + " pixels is " +
                       morePixelsThanAPlan();
    if (!maxSideGiven) text += "; give a largest side to scale it down";
    return text;
}

PictureSize PlanRaster::keptSize(uint64_t width, uint64_t height) const {
    return fittedPlanSize(width, height, maxSide);
}

std::string PlanRaster::allowWhole(uint64_t width, uint64_t height) {
    if (width * height > kMaxPlanPixels) return planTooLarge(width, height, true);
    return {};
}

std::string PlanRaster::start(uint64_t width, uint64_t height, PictureSize kept) {
    if (started) return "the picture's size was given twice";
    if (width == 0 || height == 0) return "the picture has no pixels";
    PictureSize out = kept;
    out.width = std::clamp<uint64_t>(out.width, 1, width);
    out.height = std::clamp<uint64_t>(out.height, 1, height);
    if (out.width * out.height > kMaxPlanPixels)
        return planTooLarge(out.width, out.height, maxSide.has_value());
    reducing = out.width != width || out.height != height;
    if (reducing && (width > kMaxSourceSide || height > kMaxSourceSide))
        return std::to_string(width) + " x " + std::to_string(height) +
               " pixels is too large to scale down (at most " + std::to_string(kMaxSourceSide) +
               " pixels a side); save the picture at a smaller size";
    if (reducing && width * height > kMaxSourcePixels)
        return std::to_string(width) + " x " + std::to_string(height) +
               " pixels is too large to scale down (at most " + std::to_string(kMaxSourcePixels) +
               " pixels); save the picture at a smaller size";
    srcWidth = static_cast<uint32_t>(width);
    srcHeight = static_cast<uint32_t>(height);
    outWidth = static_cast<uint32_t>(out.width);
    outHeight = static_cast<uint32_t>(out.height);
    rowsPerBlock =
        static_cast<uint32_t>(std::clamp<uint64_t>(kBlockBytes / (out.width * 3), 1, outHeight));
    blocks.reserve((outHeight + rowsPerBlock - 1) / rowsPerBlock);
    if (reducing) {
        columnWidth.assign(outWidth, 0);
        for (uint32_t x = 0; x < srcWidth; ++x)
            ++columnWidth[static_cast<size_t>(uint64_t{x} * outWidth / srcWidth)];
        sums.assign(size_t{outWidth} * 3, 0);
        reduced.resize(size_t{outWidth} * 3);
        bandStart = 0;
        bandEnd = static_cast<uint32_t>((uint64_t{1} * srcHeight + outHeight - 1) / outHeight);
    }
    started = true;
    return {};
}

void PlanRaster::keep(const uint8_t* rgb) {
    if (keptRows % rowsPerBlock == 0) blocks.emplace_back(size_t{rowsPerBlock} * outWidth * 3);
    std::copy_n(rgb, size_t{outWidth} * 3,
                blocks.back().data() + size_t{keptRows % rowsPerBlock} * outWidth * 3);
    ++keptRows;
}

void PlanRaster::addRow(const uint8_t* rgb) {
    if (!started || srcRowsTaken >= srcHeight) return;
    ++srcRowsTaken;
    if (!reducing) {
        keep(rgb);
        return;
    }
    // A run of at most kMaxSourceSide pixels adds up to less than 2^32 a channel.
    const uint8_t* p = rgb;
    uint64_t* sum = sums.data();
    for (uint32_t ox = 0; ox < outWidth; ++ox, sum += 3) {
        uint32_t red = 0, green = 0, blue = 0;
        for (uint32_t n = columnWidth[ox]; n != 0; --n, p += 3) {
            red += p[0];
            green += p[1];
            blue += p[2];
        }
        sum[0] += red;
        sum[1] += green;
        sum[2] += blue;
    }
    if (srcRowsTaken == bandEnd) flushBand();
}

void PlanRaster::orient(int exifOrientation) {
    orientation = exifOrientation >= 1 && exifOrientation <= 8 ? exifOrientation : 1;
}

// The kept picture is outWidth x outHeight; shown turned, pixel (x, y) of row y is kept at
// (across, down): mirrored left to right (2), turned half round (3), mirrored top to bottom
// (4), mirrored about the diagonal (5), turned a quarter clockwise (6), mirrored about the
// other diagonal (7) or turned a quarter the other way (8).
const uint8_t* PlanRaster::row(uint32_t y, std::vector<uint8_t>& scratch) const {
    if (orientation == 1) return keptRow(y);
    const uint32_t w = width();
    scratch.resize(size_t{w} * 3);
    const uint32_t lastX = outWidth - 1, lastY = outHeight - 1;
    for (uint32_t x = 0; x < w; ++x) {
        uint32_t across = x, down = y;
        switch (orientation) {
        case 2:
            across = lastX - x;
            break;
        case 3:
            across = lastX - x, down = lastY - y;
            break;
        case 4:
            down = lastY - y;
            break;
        case 5:
            across = y, down = x;
            break;
        case 6:
            across = y, down = lastY - x;
            break;
        case 7:
            across = lastX - y, down = lastY - x;
            break;
        case 8:
            across = lastX - y, down = x;
            break;
        default:
            break;
        }
        std::copy_n(keptRow(down) + size_t{across} * 3, 3, &scratch[size_t{x} * 3]);
    }
    return scratch.data();
}

// Output row keptRows covers the source rows y with y * outHeight / srcHeight == keptRows.
void PlanRaster::flushBand() {
    const uint64_t rows = bandEnd - bandStart;
    for (uint32_t ox = 0; ox < outWidth; ++ox) {
        const uint64_t n = rows * columnWidth[ox];
        for (int c = 0; c < 3; ++c) {
            uint64_t& sum = sums[size_t{ox} * 3 + c];
            reduced[size_t{ox} * 3 + c] = static_cast<uint8_t>((sum + n / 2) / n);
            sum = 0;
        }
    }
    keep(reduced.data());
    bandStart = bandEnd;
    bandEnd =
        static_cast<uint32_t>(((uint64_t{keptRows} + 1) * srcHeight + outHeight - 1) / outHeight);
}

} // namespace walkmere
