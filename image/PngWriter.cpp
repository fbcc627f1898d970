#include "image/PngWriter.h"

#include "survey/CodecStreams.h"

#include <csetjmp>
#include <png.h>

namespace walkmere {

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

} // namespace walkmere
