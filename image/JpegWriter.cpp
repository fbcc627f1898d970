#include "image/JpegWriter.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace walkmere {

namespace {

std::string lastError;

// The standard error manager with a jump target for the non-returning error exit.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf failure;
};

void storeMessage(const char* text) {
    lastError = text;
}
void clearMessage() {
    lastError.clear();
}

void onOutputMessage(j_common_ptr cinfo) {
    char buffer[JMSG_LENGTH_MAX]; // 200 bytes
    (*cinfo->err->format_message)(cinfo, buffer);
    storeMessage(buffer);
}

// The library must not come back from here: keep the message and jump to the failure path.
[[noreturn]] void onErrorExit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(manager->failure, 1);
}

void onResetErrorMgr(j_common_ptr cinfo) {
    cinfo->err->num_warnings = 0;
    cinfo->err->msg_code = 0;
    clearMessage();
}

// Where each scanline comes from. Rows inside the picture and at least `width` pixels wide are
// handed to the encoder in place; others go through padRow (picture pixels, then black), and
// rows below the picture are blackRow.
struct RowSource {
    const std::uint8_t* pixels;
    int pictureWidth;
    int pictureHeight;
    std::uint8_t* padRow;   // width * 3 bytes, black past the picture's width
    std::uint8_t* blackRow; // width * 3 bytes, all black
};

JSAMPROW scanline(const RowSource& src, int width, int s) {
    if (s >= src.pictureHeight) return src.blackRow;
    const std::uint8_t* row = src.pixels + static_cast<std::size_t>(s) * src.pictureWidth * 3;
    if (src.pictureWidth >= width) return const_cast<JSAMPROW>(row); // the encoder only reads
    std::memcpy(src.padRow, row, static_cast<std::size_t>(src.pictureWidth) * 3);
    return src.padRow;
}

enum class EncodeResult { Written, LibraryFailed, CloseFailed };

// The whole encoding. Kept free of objects with destructors: a failure inside the library
// jumps back to the setjmp below, past the library's own frames.
EncodeResult encode(std::FILE* file, int width, int height, int quality, const RowSource& src) {
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    ErrorManager manager;
    cinfo.err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = onErrorExit;
    manager.pub.output_message = onOutputMessage;
    manager.pub.reset_error_mgr = onResetErrorMgr;
    if (setjmp(manager.failure)) {
        jpeg_destroy_compress(&cinfo);
        std::fclose(file);
        return EncodeResult::LibraryFailed;
    }

    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = scanline(src, width, static_cast<int>(cinfo.next_scanline));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    int closed = std::fclose(file);
    jpeg_destroy_compress(&cinfo);
    return closed == 0 ? EncodeResult::Written : EncodeResult::CloseFailed;
}

} // namespace

const std::string& snapshotError() {
    return lastError;
}

bool WriteJpegFile(const std::string& path, int width, int height, int quality,
                   const RgbImage& picture) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        lastError = "Can't open file\"" + path + "\"";
        return false;
    }

    // Trust only as many whole rows as the pixel buffer really holds.
    int pictureWidth = std::max(picture.width, 0);
    int pictureHeight = std::max(picture.height, 0);
    if (pictureWidth == 0) {
        pictureHeight = 0;
    } else {
        std::size_t rowBytes = static_cast<std::size_t>(pictureWidth) * 3;
        pictureHeight = static_cast<int>(
            std::min<std::size_t>(pictureHeight, picture.pixels.size() / rowBytes));
    }

    std::size_t rowBytes = static_cast<std::size_t>(std::max(width, 0)) * 3;
    std::vector<std::uint8_t> padding(rowBytes * 2, 0);
    RowSource src{picture.pixels.data(), pictureWidth, pictureHeight, padding.data(),
                  padding.data() + rowBytes};
    switch (encode(file, width, height, quality, src)) {
    case EncodeResult::Written:
        return true;
    case EncodeResult::LibraryFailed:
        return false; // lastError holds the library's message
    case EncodeResult::CloseFailed:
        // The last bytes did not reach the disk: a failure, not a finished picture.
        lastError = "Can't write file\"" + path + "\"";
        return false;
    }
    return false;
}

} // namespace walkmere
