#include "image/PngReader.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <png.h>
#include <vector>

namespace walkmere {

namespace {

// Everything a decoding touches lives here, outside the frames libpng's longjmp crosses:
// those frames hold nothing with a destructor.
struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t at = 0;
    char message[200] = {};
    bool refused = false;             // the message is ours, not libpng's
    std::vector<uint8_t> row;         // one decoded row, RGB or RGBA
    std::unique_ptr<uint8_t[]> whole; // an interlaced picture, RGB or RGBA
    std::vector<uint8_t> rgb;         // one row with alpha laid on white
};

void onError(png_structp png, png_const_charp message) {
    auto* read = static_cast<PngRead*>(png_get_error_ptr(png));
    std::snprintf(read->message, sizeof read->message, "%s", message ? message : "unknown error");
    png_longjmp(png, 1);
}
void onWarning(png_structp, png_const_charp) {}

void readBytes(png_structp png, png_bytep out, png_size_t n) {
    auto* read = static_cast<PngRead*>(png_get_io_ptr(png));
    if (read->size - read->at < n) png_error(png, "the file is cut short");
    std::memcpy(out, read->data + read->at, n);
    read->at += n;
}

bool refuse(PngRead& read, const std::string& why) {
    std::snprintf(read.message, sizeof read.message, "%s", why.c_str());
    read.refused = true;
    return false;
}

bool begin(PngRead& read, RowSink& sink, png_uint_32 width, png_uint_32 height) {
    const std::string refusal = sink.start(width, height, sink.keptSize(width, height));
    return refusal.empty() || refuse(read, refusal);
}

// An interlaced picture is held whole while it is decoded.
bool mayHoldWhole(PngRead& read, RowSink& sink, png_uint_32 width, png_uint_32 height) {
    const std::string refusal = sink.allowWhole(width, height);
    return refusal.empty() || refuse(read, "an interlaced PNG is decoded whole, and " + refusal +
                                               "; save it without interlacing");
}

// Hands the sink a decoded row, its alpha (when it has one) laid on white first.
void addRow(PngRead& read, RowSink& sink, const uint8_t* row, uint32_t width, bool alpha) {
    if (!alpha) {
        sink.addRow(row);
        return;
    }
    uint8_t* out = read.rgb.data();
    for (uint32_t x = 0; x < width; ++x, row += 4, out += 3) {
        const uint8_t a = row[3];
        for (int c = 0; c < 3; ++c)
            out[c] = a == 255 ? row[c] : onWhite(row[c], a);
    }
    sink.addRow(read.rgb.data());
}

// The decoding proper; a libpng error longjmps out of it.
bool decode(PngRead& read, RowSink& sink) {
    png_structp png = read.png;
    png_infop info = read.info;
    png_set_read_fn(png, &read, readBytes);
    png_set_user_limits(png, static_cast<png_uint_32>(kMaxPictureSide),
                        static_cast<png_uint_32>(kMaxPictureSide));
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    // Opaque pictures are decoded straight to RGB: most plans have no transparency.
    const bool alpha = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) != 0 ||
                       png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    // Before libpng allocates anything the size of a row or of the picture.
    if (!begin(read, sink, width, height)) return false;
    if (interlaced && !mayHoldWhole(read, sink, width, height)) return false;

    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    if (alpha) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = size_t{width} * (alpha ? 4 : 3);
    if (png_get_rowbytes(png, info) != rowBytes) return refuse(read, "unexpected PNG layout");
    if (alpha) read.rgb.resize(size_t{width} * 3);

    if (!interlaced) {
        read.row.resize(rowBytes);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, read.row.data(), nullptr);
            addRow(read, sink, read.row.data(), width, alpha);
        }
    } else {
        // Each pass adds pixels to every row: the whole picture is needed until the last.
        read.whole.reset(new uint8_t[rowBytes * height]);
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y)
                png_read_row(png, read.whole.get() + rowBytes * y, nullptr);
        for (png_uint_32 y = 0; y < height; ++y)
            addRow(read, sink, read.whole.get() + rowBytes * y, width, alpha);
    }
    png_read_end(png, nullptr);
    return true;
}

bool guarded(PngRead& read, RowSink& sink) {
    if (setjmp(png_jmpbuf(read.png))) return false;
    return decode(read, sink);
}

} // namespace

std::string decodePng(const uint8_t* data, size_t size, RowSink& sink) {
    PngRead read;
    read.data = data;
    read.size = size;
    read.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read, onError, onWarning);
    if (!read.png) return "cannot start the PNG decoder";
    read.info = png_create_info_struct(read.png);
    if (!read.info) {
        png_destroy_read_struct(&read.png, nullptr, nullptr);
        return "cannot start the PNG decoder";
    }
    bool decoded = false;
    bool memory = true;
    try {
        decoded = guarded(read, sink);
    } catch (const std::bad_alloc&) {
        memory = false;
    }
    png_destroy_read_struct(&read.png, &read.info, nullptr);
    if (!memory) return "not enough memory to decode the PNG";
    if (decoded) return {};
    return read.refused ? std::string(read.message) : "damaged PNG: " + std::string(read.message);
}

std::string decodePng(const uint8_t* data, size_t size, RgbImage& image) {
    ImageRows rows(image);
    const std::string problem = decodePng(data, size, rows);
    if (problem.empty() && !rows.complete()) return "the PNG picture is incomplete";
    return problem;
}

} // namespace walkmere
