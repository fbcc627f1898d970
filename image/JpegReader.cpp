#include "image/JpegReader.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace walkmere {

namespace {

// The most memory libjpeg may take for one picture: a progressive JPEG keeps all its
// coefficients, 2 bytes a sample, which for a plan of kMaxPlanPixels in full colour is 600 MB.
constexpr long kMaxJpegMemory = 800L * 1024 * 1024;
// A progressive JPEG is decoded once a scan; real ones have about ten, hostile ones
// thousands, each costing a pass over the picture.
constexpr int kMaxScans = 200;

// Everything a decoding touches lives here, outside the frames libjpeg's longjmp crosses:
// those frames hold nothing with a destructor.
struct JpegRead {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
    bool refused = false; // the message is ours, not libjpeg's
    std::vector<uint8_t> samples;
    std::vector<uint8_t> rgb;
};

JpegRead& readOf(j_common_ptr cinfo) {
    return *static_cast<JpegRead*>(cinfo->client_data);
}

// libjpeg's default ends the process; this keeps the message and leaves the decoding.
void onError(j_common_ptr cinfo) {
    JpegRead& read = readOf(cinfo);
    if (cinfo->err->msg_code == JERR_NO_BACKING_STORE)
        std::snprintf(read.message, sizeof read.message, "it needs more than %ld MB to decode",
                      kMaxJpegMemory / (1024 * 1024));
    else
        (*cinfo->err->format_message)(cinfo, read.message);
    std::longjmp(read.jump, 1);
}

// Warnings are ignored but two: the file or the picture data ending early, where libjpeg
// would make up the rest of the picture.
void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    const int code = cinfo->err->msg_code;
    if (code != JWRN_JPEG_EOF && code != JWRN_HIT_MARKER) return;
    JpegRead& read = readOf(cinfo);
    std::snprintf(read.message, sizeof read.message,
                  code == JWRN_JPEG_EOF ? "the file is cut short" : "the picture data ends early");
    std::longjmp(read.jump, 1);
}

void onProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        JpegRead& read = readOf(cinfo);
        std::snprintf(read.message, sizeof read.message, "more than %d scans", kMaxScans);
        std::longjmp(read.jump, 1);
    }
}

bool refuse(JpegRead& read, const std::string& why) {
    std::snprintf(read.message, sizeof read.message, "%s", why.c_str());
    read.refused = true;
    return false;
}

bool begin(JpegRead& read, RowSink& sink, uint64_t width, uint64_t height, PictureSize kept) {
    const std::string refusal = sink.start(width, height, kept);
    return refusal.empty() || refuse(read, refusal);
}

// The eighths libjpeg can scale by while decoding: the smallest picture no smaller than
// the one the sink keeps, so that the rest of the way is averaged.
unsigned decodedEighths(const jpeg_decompress_struct& cinfo, PictureSize target) {
    unsigned eighths = 8;
    for (unsigned e : {1u, 2u, 4u}) {
        const uint64_t w = (uint64_t{cinfo.image_width} * e + 7) / 8;
        const uint64_t h = (uint64_t{cinfo.image_height} * e + 7) / 8;
        if (w >= target.width && h >= target.height) {
            eighths = e;
            break;
        }
    }
    return eighths;
}

// The Orientation (tag 0x0112) in the first directory of an APP1 Exif segment, 1 to 8: how
// the stored rows are to be turned to be shown (a phone photo taken upright is stored lying,
// and says 6). 1, as stored, when the segment has none or cannot be read.
int exifOrientation(const uint8_t* segment, size_t size) {
    constexpr uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    if (size < sizeof kExifHeader || std::memcmp(segment, kExifHeader, sizeof kExifHeader) != 0)
        return 1;
    // The TIFF structure after it: byte order, 42, the first directory's offset; each directory
    // a count and 12-byte entries (tag, type, count, value). Offsets count from the TIFF start.
    const uint8_t* tiff = segment + sizeof kExifHeader;
    const size_t n = size - sizeof kExifHeader;
    if (n < 8) return 1;
    const bool motorola = tiff[0] == 'M' && tiff[1] == 'M';
    if (!motorola && !(tiff[0] == 'I' && tiff[1] == 'I')) return 1;
    const auto u16 = [&](size_t at) {
        return motorola ? uint16_t(tiff[at] << 8 | tiff[at + 1])
                        : uint16_t(tiff[at + 1] << 8 | tiff[at]);
    };
    const auto u32 = [&](size_t at) {
        return motorola ? uint32_t{u16(at)} << 16 | u16(at + 2)
                        : uint32_t{u16(at + 2)} << 16 | u16(at);
    };
    if (u16(2) != 42) return 1;
    const uint64_t directory = u32(4);
    if (directory + 2 > n) return 1;
    const unsigned entries = u16(directory);
    for (unsigned i = 0; i < entries; ++i) {
        const uint64_t entry = directory + 2 + uint64_t{i} * 12;
        if (entry + 12 > n) return 1;
        if (u16(entry) != 0x0112) continue;
        const uint16_t type = u16(entry + 2); // 3 SHORT, left-justified in the value; 4 LONG
        const uint32_t value = type == 3 ? u16(entry + 8) : type == 4 ? u32(entry + 8) : 0;
        return u32(entry + 4) >= 1 && value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

int orientationOf(const jpeg_decompress_struct& cinfo) {
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m != nullptr; m = m->next)
        if (m->marker == JPEG_APP0 + 1) {
            const int orientation = exifOrientation(m->data, m->data_length);
            if (orientation != 1) return orientation;
        }
    return 1;
}

void toRgb(JpegRead& read, J_COLOR_SPACE space, bool adobe, uint32_t width) {
    const uint8_t* in = read.samples.data();
    uint8_t* out = read.rgb.data();
    for (uint32_t x = 0; x < width; ++x, out += 3) {
        if (space == JCS_GRAYSCALE) {
            out[0] = out[1] = out[2] = in[x];
        } else if (space == JCS_CMYK) {
            // Adobe's CMYK is stored inverted: 255 is no ink.
            const uint8_t* p = in + size_t{x} * 4;
            for (int c = 0; c < 3; ++c) {
                const unsigned ink = adobe ? p[c] : 255u - p[c];
                const unsigned black = adobe ? p[3] : 255u - p[3];
                out[c] = static_cast<uint8_t>((ink * black + 127) / 255);
            }
        } else {
            out[0] = in[size_t{x} * 3];
            out[1] = in[size_t{x} * 3 + 1];
            out[2] = in[size_t{x} * 3 + 2];
        }
    }
}

// The decoding proper; a libjpeg error longjmps out of it.
bool decode(JpegRead& read, const uint8_t* data, size_t size, RowSink& sink) {
    jpeg_decompress_struct& cinfo = read.cinfo;
    jpeg_create_decompress(&cinfo);
    cinfo.client_data = &read;
    cinfo.mem->max_memory_to_use = kMaxJpegMemory;
    cinfo.progress = &read.progress;
    jpeg_mem_src(&cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    const int orientation = orientationOf(cinfo); // the saved markers go with the decoding

    const J_COLOR_SPACE space =
        cinfo.jpeg_color_space == JCS_GRAYSCALE                                    ? JCS_GRAYSCALE
        : cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK ? JCS_CMYK
                                                                                   : JCS_RGB;
    cinfo.out_color_space = space;
    const PictureSize kept = sink.keptSize(cinfo.image_width, cinfo.image_height);
    cinfo.scale_num = decodedEighths(cinfo, kept);
    cinfo.scale_denom = 8;
    jpeg_calc_output_dimensions(&cinfo);
    // Before libjpeg allocates anything the size of the picture.
    if (!begin(read, sink, cinfo.output_width, cinfo.output_height, kept)) return false;

    jpeg_start_decompress(&cinfo);
    const uint32_t width = cinfo.output_width;
    const int components = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
    if (cinfo.output_components != components) return refuse(read, "unexpected JPEG layout");
    read.samples.resize(size_t{width} * components);
    read.rgb.resize(size_t{width} * 3);
    const bool adobe = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = read.samples.data();
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) return refuse(read, "no more rows");
        toRgb(read, space, adobe, width);
        sink.addRow(read.rgb.data());
    }
    jpeg_finish_decompress(&cinfo);
    sink.orient(orientation);
    return true;
}

bool guarded(JpegRead& read, const uint8_t* data, size_t size, RowSink& sink) {
    if (setjmp(read.jump)) return false;
    return decode(read, data, size, sink);
}

} // namespace

std::string decodeJpeg(const uint8_t* data, size_t size, RowSink& sink) {
    JpegRead read;
    read.cinfo.err = jpeg_std_error(&read.err);
    read.err.error_exit = onError;
    read.err.emit_message = onMessage;
    read.progress.progress_monitor = onProgress;
    read.cinfo.client_data = &read;
    bool decoded = false;
    bool memory = true;
    try {
        decoded = guarded(read, data, size, sink);
    } catch (const std::bad_alloc&) {
        memory = false;
    }
    jpeg_destroy_decompress(&read.cinfo);
    if (!memory) return "not enough memory to decode the JPEG";
    if (decoded) return {};
    return read.refused ? std::string(read.message) : "damaged JPEG: " + std::string(read.message);
}

std::string decodeJpeg(const uint8_t* data, size_t size, RgbImage& image) {
    ImageRows rows(image);
    const std::string problem = decodeJpeg(data, size, rows);
    if (problem.empty() && !rows.complete()) return "the JPEG picture is incomplete";
    return problem;
}

} // namespace walkmere
