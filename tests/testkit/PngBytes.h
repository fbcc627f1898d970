#pragma once
// PNG files written with libpng, for tests of floor plans read from PNG. A test that includes
// this links PNG::PNG.

#include <csetjmp>
#include <cstdint>
#include <vector>

#include <png.h>

namespace walkmere::testkit {

struct PngPicture {
    uint32_t width = 0, height = 0;
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> alphas;   // tRNS of a palette picture
    std::vector<uint16_t> samples; // channels of each pixel, rows from the top
    int channels() const {
        constexpr int kByType[] = {1, 0, 3, 1, 2, 0, 4}; // indexed by PNG colour type
        return kByType[colourType];
    }
};

namespace pngbytes {
inline void appendTo(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
} // namespace pngbytes

// The picture as a PNG file; empty when libpng would not write it.
inline std::vector<uint8_t> writePng(const PngPicture& p) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, pngbytes::appendTo, nullptr);
    png_set_IHDR(png, info, p.width, p.height, p.bitDepth, p.colourType,
                 p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!p.palette.empty())
        png_set_PLTE(png, info, p.palette.data(), static_cast<int>(p.palette.size()));
    if (!p.alphas.empty())
        png_set_tRNS(png, info, p.alphas.data(), static_cast<int>(p.alphas.size()), nullptr);
    png_write_info(png, info);
    if (p.bitDepth < 8) png_set_packing(png);
    const size_t perRow = size_t{p.width} * p.channels();
    std::vector<std::vector<uint8_t>> rows(p.height);
    std::vector<png_bytep> pointers;
    for (uint32_t y = 0; y < p.height; ++y) {
        for (size_t i = 0; i < perRow; ++i) {
            const uint16_t v = p.samples[y * perRow + i];
            if (p.bitDepth == 16) rows[y].push_back(static_cast<uint8_t>(v >> 8));
            rows[y].push_back(static_cast<uint8_t>(v));
        }
        pointers.push_back(rows[y].data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace walkmere::testkit
