#pragma once
// JPEG files written with libjpeg, for tests of floor plans read from JPEG. A test that
// includes this links JPEG::JPEG.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace walkmere::testkit {

enum class JpegKind { Grey, Colour, AdobeCmyk };

inline int jpegComponents(JpegKind kind) {
    return kind == JpegKind::Grey ? 1 : kind == JpegKind::Colour ? 3 : 4;
}

// The body of an APP1 Exif segment whose first directory holds an image width (a tag before
// the one asked for) and an Orientation of `orientation`, in Motorola byte order when
// `bigEndian`, else Intel's.
inline std::vector<uint8_t> exifOrientation(uint16_t orientation, bool bigEndian) {
    std::vector<uint8_t> e = {'E', 'x', 'i', 'f', 0, 0};
    const auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            e.push_back(uint8_t(v >> (8 * (bigEndian ? bytes - 1 - i : i))));
    };
    e.insert(e.end(), bigEndian ? 2 : 0, 'M');
    e.insert(e.end(), bigEndian ? 0 : 2, 'I');
    put(42, 2);
    put(8, 4);                            // the first directory, after this header
    put(2, 2);                            // two entries
    put(0x0100, 2), put(3, 2), put(1, 4); // ImageWidth, SHORT, one
    put(640, 2), put(0, 2);               // its value, left-justified
    put(0x0112, 2), put(3, 2), put(1, 4); // Orientation, SHORT, one
    put(orientation, 2), put(0, 2);
    put(0, 4); // no next directory
    return e;
}

// A JPEG of width x height from `samples`: jpegComponents(kind) a pixel, rows from the top;
// `exif`, when given, as an APP1 segment.
inline std::vector<uint8_t> writeJpeg(uint32_t width, uint32_t height, JpegKind kind,
                                      const std::vector<uint8_t>& samples, int quality = 90,
                                      bool progressive = false,
                                      const std::vector<uint8_t>& exif = {}) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = jpegComponents(kind);
    c.in_color_space = kind == JpegKind::Grey     ? JCS_GRAYSCALE
                       : kind == JpegKind::Colour ? JCS_RGB
                                                  : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    if (!exif.empty())
        jpeg_write_marker(&c, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    const size_t perRow = size_t{width} * c.input_components;
    std::vector<uint8_t> row;
    for (uint32_t y = 0; y < height; ++y) {
        row.assign(samples.begin() + y * perRow, samples.begin() + (y + 1) * perRow);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

} // namespace walkmere::testkit
