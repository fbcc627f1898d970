#pragma once
// PNG files written with libpng, for tests of floor plans read from PNG. A test that includes
// this links PNG::PNG.

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include <png.h>
#include <zlib.h>

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

inline void putBe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

inline void appendChunk(std::vector<uint8_t>& b, const char* type,
                        const std::vector<uint8_t>& data) {
    const size_t at = b.size();
    b.resize(at + 8);
    putBe32(b, at, static_cast<uint32_t>(data.size()));
    std::copy(type, type + 4, b.begin() + static_cast<std::ptrdiff_t>(at + 4));
    b.insert(b.end(), data.begin(), data.end());
    b.resize(b.size() + 4);
    putBe32(b, b.size() - 4,
            static_cast<uint32_t>(crc32(0, &b[at + 4], static_cast<uInt>(4 + data.size()))));
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

// A PNG announcing an 8-bit RGB picture of width x height whose image data is one compressed
// zero byte: a picture of any size, as far as its header goes.
inline std::vector<uint8_t> pngAnnouncing(uint32_t width, uint32_t height) {
    std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header(13, 0);
    pngbytes::putBe32(header, 0, width);
    pngbytes::putBe32(header, 4, height);
    header[8] = 8; // bit depth; colour type RGB
    header[9] = 2;
    pngbytes::appendChunk(b, "IHDR", header);
    pngbytes::appendChunk(b, "IDAT", {0x78, 0x9C, 0x63, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01});
    pngbytes::appendChunk(b, "IEND", {});
    return b;
}

// A PNG of width x height written a row at a time, for pictures too large to hold: `fill`
// gets each row's bytes as libpng stores them (samples packed, 16-bit ones big-endian), sized
// for the colour type and bit depth. Empty when libpng would not write it.
inline std::vector<uint8_t>
writePngRows(uint32_t width, uint32_t height, int colourType, int bitDepth,
             const std::function<void(uint32_t, std::span<uint8_t>)>& fill, int zlibLevel = 6) {
    std::vector<uint8_t> out;
    PngPicture shape;
    shape.colourType = colourType;
    std::vector<uint8_t> row((uint64_t{width} * shape.channels() * bitDepth + 7) / 8);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, pngbytes::appendTo, nullptr);
    png_set_compression_level(png, zlibLevel);
    png_set_IHDR(png, info, width, height, bitDepth, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < height; ++y) {
        fill(y, row);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace walkmere::testkit
