#include "tools/site/PngImage.h"

#include "survey/CodecStreams.h"

#include <csetjmp>
#include <cstring>
#include <png.h>

namespace walkmere::sitetool {

namespace {

// libpng reports errors by longjmp; the message is kept here first.
struct PngErrorState {
    std::string message;
};

void onPngError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
    state->message = message ? message : "unknown PNG error";
    png_longjmp(png, 1);
}
void onPngWarning(png_structp, png_const_charp) {}

// The sink never throws: an exception must not cross libpng's C frames.
void writeToSink(png_structp png, png_bytep data, png_size_t n) {
    if (!static_cast<ByteSink*>(png_get_io_ptr(png))->write(data, n))
        png_error(png, "the PNG could not be written out");
}
void noFlush(png_structp) {}

struct ReadCursor {
    const std::vector<uint8_t>* bytes;
    size_t at = 0;
};
void readBytes(png_structp png, png_bytep data, png_size_t n) {
    auto* cursor = static_cast<ReadCursor*>(png_get_io_ptr(png));
    if (cursor->bytes->size() - cursor->at < n) png_error(png, "PNG data cut short");
    std::memcpy(data, cursor->bytes->data() + cursor->at, n);
    cursor->at += n;
}

} // namespace

std::string encodePng(const RgbImage& image, std::vector<uint8_t>& out, int zlibLevel) {
    out.clear();
    VectorSink sink(out);
    const std::string problem = encodePng(image, sink, zlibLevel);
    if (!problem.empty()) out.clear();
    return problem;
}

std::string encodePng(const RgbImage& image, ByteSink& sink, int zlibLevel) {
    if (image.width <= 0 || image.height <= 0) return "the picture has no pixels";
    PngErrorState state;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, onPngError, onPngWarning);
    if (!png) return "cannot start the PNG encoder";
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return "cannot start the PNG encoder";
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return state.message;
    }
    png_set_write_fn(png, &sink, writeToSink, noFlush);
    png_set_compression_level(png, zlibLevel);
    // Maps are large flat areas: the Sub filter alone compresses them well and fast.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < image.height; ++y)
        png_write_row(png, const_cast<png_bytep>(image.at(0, y)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return {};
}

std::string decodePng(const std::vector<uint8_t>& bytes, RgbImage& image) {
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) return "not a PNG file";
    PngErrorState state;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, onPngError, onPngWarning);
    if (!png) return "cannot start the PNG decoder";
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return "cannot start the PNG decoder";
    }
    ReadCursor cursor{&bytes};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return state.message;
    }
    png_set_read_fn(png, &cursor, readBytes);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != size_t{width} * 3) png_error(png, "unexpected PNG layout");
    image = RgbImage(static_cast<int32_t>(width), static_cast<int32_t>(height));
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, image.at(0, static_cast<int32_t>(y)), nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return {};
}

} // namespace walkmere::sitetool
