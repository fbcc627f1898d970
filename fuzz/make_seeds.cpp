// Writes the seed corpora of the fuzz targets: fuzz/corpus/<target>/<name>, small files
// that reach the interesting paths at once. Run once after changing it; its output is kept
// in the repository:  walkmere_fuzz_seeds <repo>/fuzz/corpus
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <png.h>

#include "link/FrameEncoder.h"
#include "scan/ApRecord.h"
#include "scan/BoardProtocol.h"
#include "survey/PointRecords.h"
#include "survey/SiteFileWriter.h"
#include "survey/SiteHeader.h"
#include "testkit/BmpBytes.h"
#include "testkit/JpegBytes.h"
#include "testkit/PdfBytes.h"
#include "wifi/ScanCapture.h"

namespace {

using namespace walkmere;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

fs::path root;

void save(const std::string& target, const std::string& name, const Bytes& b) {
    fs::create_directories(root / target);
    std::ofstream(root / target / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

void append(Bytes& a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
}

// ---- link_stream: split sizes, then frames as the board sends them ----

Bytes frame(uint8_t type, const Bytes& payload) {
    Bytes out;
    appendFrame(out, type, payload.data(), payload.size());
    return out;
}

Bytes entryPacket(uint8_t index, uint8_t macTail, int8_t rssi, int16_t age) {
    Bytes p(kEntryPacketSize, 0);
    p[0] = 0x01;
    p[2] = 0x1C;
    p[5] = index;
    p[11] = ApRecord::kSize;
    ApRecord r;
    const uint8_t mac[6] = {0x00, 0x11, 0x11, 0x22, 0x33, macTail}; // 0x11s need escaping
    r.setMac(mac);
    r.setRssi(rssi);
    r.setAge(age);
    r.setChannelCode(macTail % 3 == 0 ? 0 : 5030 + macTail);
    r.setSsid("net" + std::to_string(macTail));
    std::memcpy(p.data() + 12, r.bytes.data(), ApRecord::kSize);
    return frame(PKT_ENTRY, p);
}

Bytes sweep(uint8_t firstMac, int16_t age) {
    Bytes b;
    for (uint8_t i = 1; i <= 16; ++i)
        append(b, entryPacket(i, static_cast<uint8_t>(firstMac + i), static_cast<int8_t>(-30 - i),
                              age));
    return b;
}

void linkSeeds() {
    const Bytes firmware = frame(PKT_FIRMWARE, {'V', '2', '.', '1', 0});
    const Bytes serial = frame(PKT_SERIAL, {'A', 'B', '1', '2', '3', '4', '5', '6'});
    const Bytes radio = frame(PKT_RADIO_STATUS, {0});

    Bytes startup = {0}; // no split sizes: one read
    append(startup, firmware);
    append(startup, serial);
    append(startup, radio);
    save("link_stream", "startup", startup);

    Bytes sweeps = {3, 2, 7, 64}; // reads of 7 and 64 bytes, settle count 2
    append(sweeps, serial);
    append(sweeps, sweep(0, 1));
    append(sweeps, sweep(0, 90)); // every AP aged beyond its limit
    save("link_stream", "sweeps", sweeps);

    Bytes noisy = {2, 1, 3};
    append(noisy, {0x00, 0x00, 0x11, 0x11, 0x12, 0x11});
    append(noisy, entryPacket(16, 0x40, -50, 0));
    append(noisy, {0x11, 0x12, 0x04, 0x11, 0x12}); // a start inside a frame
    append(noisy, frame(0x11, {0x11, 0x11}));      // escaped type
    save("link_stream", "noise", noisy);

    Bytes full = {1, 255, 1};
    for (uint8_t s = 0; s < 3; ++s)
        append(full, sweep(static_cast<uint8_t>(s * 16), 0));
    save("link_stream", "three_sweeps", full);
}

// ---- site_open: whole site files ----

Bytes bmp(int32_t width, int32_t height) {
    testkit::BmpFile f{.width = width, .height = height};
    f.imageSize = 0;
    f.pixels.resize(testkit::bmpStride(width, 24) * uint32_t(height < 0 ? -height : height));
    for (size_t i = 0; i < f.pixels.size(); ++i) // every fifth byte of the file black
        f.pixels[i] = static_cast<uint8_t>((54 + i) % 5 == 0 ? 0 : 0xFF);
    return testkit::writeBmp(f);
}

Bytes point(int32_t x, int32_t y, uint8_t kind, int readings, int announced = -1) {
    PointRecord p;
    p.setX(x);
    p.setY(y);
    p.setLabel(kind == KIND_DYNAMIC_AP ? "AP" : "P");
    p.setReadingCount(static_cast<uint16_t>(announced >= 0 ? announced : readings));
    p.setKind(kind);
    Bytes b(p.bytes.begin(), p.bytes.end());
    for (int i = 0; i < readings; ++i) {
        ApReading r;
        r.setChannel(static_cast<uint8_t>(1 + i));
        r.setRssi256(static_cast<int16_t>((-40 - 10 * i) * 256));
        const uint8_t mac[6] = {0, 1, 2, 3, 4, static_cast<uint8_t>(i)};
        r.setMac(mac);
        r.setSsid("s");
        append(b, Bytes(r.bytes.begin(), r.bytes.end()));
    }
    return b;
}

// A file as the site file writer makes it, with no scale, and the two flags that opening
// clears set.
Bytes site(const Bytes& plan, const Bytes& points, uint32_t headerLength = 152) {
    NewSiteFile layout;
    layout.headerLength = headerLength;
    layout.pixelsPerUnitX = layout.pixelsPerUnitY = 0;
    layout.points = points;
    Bytes b;
    MemoryPositionalSink sink(b);
    if (writeSiteFile(sink, plan, layout).status != SiteWriteStatus::Ok) std::abort();
    b[SiteHeader::kClearedFlagAOffset] = 1;
    b[SiteHeader::kClearedFlagBOffset] = 1;
    return b;
}

void siteSeeds() {
    Bytes points = point(0, 0, KIND_SURVEY_POINT, 2);
    append(points, point(100, 101, KIND_SURVEY_POINT, 1));
    append(points, point(-5, 8, KIND_DYNAMIC_AP, 0));
    append(points, point(400, 300, KIND_DELETED, 1));
    save("site_open", "points", site(bmp(8, 6), points));
    save("site_open", "empty_top_down", site(bmp(5, -3), {}));

    Bytes torn = point(3, 4, KIND_SURVEY_POINT, 1);
    append(torn, point(97, 99, KIND_SURVEY_POINT, 2, 5)); // announces readings it lacks
    torn.resize(torn.size() + 30, 0xAB);                  // and a partial record
    save("site_open", "torn_tail", site(bmp(4, 4), torn, 151));

    Bytes notBmp(64, 'x');
    save("site_open", "plan_not_bmp", site(notBmp, point(1, 1, KIND_SURVEY_POINT, 0)));
}

// ---- snapshot_writer: width, height, quality, mode, [out w, out h], pixels ----

void snapshotSeeds() {
    auto header = [](int w, int h, int quality, int mode) {
        return Bytes{static_cast<uint8_t>(w),       static_cast<uint8_t>(w >> 8),
                     static_cast<uint8_t>(h),       static_cast<uint8_t>(h >> 8),
                     static_cast<uint8_t>(quality), static_cast<uint8_t>(mode)};
    };
    Bytes whole = header(16, 12, 75, 0);
    for (int i = 0; i < 16 * 12 * 3; ++i)
        whole.push_back(static_cast<uint8_t>(i * 7));
    save("snapshot_writer", "small_whole", whole);

    Bytes shortBuffer = header(320, 240, 90, 0); // claims far more than it holds
    for (int i = 0; i < 500; ++i)
        shortBuffer.push_back(static_cast<uint8_t>(i));
    save("snapshot_writer", "short_buffer", shortBuffer);

    Bytes wide = header(241, 3, 50, 1);
    append(wide, {255, 10});
    for (int i = 0; i < 241 * 3 * 3; ++i)
        wide.push_back(static_cast<uint8_t>(255 - i));
    save("snapshot_writer", "wide_odd_output", wide);

    save("snapshot_writer", "empty", header(0, 0, 75, 0));
    Bytes zeroOutput = header(7, 7, 10, 1);
    append(zeroOutput, {0, 0}); // a 0 x 0 picture, which the encoder refuses
    save("snapshot_writer", "zero_output", zeroOutput);
}

// ---- wifi_dump: scan captures, cut from the office walk in res/wifi ----

void wifiSeeds() {
    const fs::path office = root / ".." / ".." / "res" / "wifi" / "office.nlscan";
    std::ifstream in(office, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<ScanDump> dumps;
    std::string error;
    if (!parseScanCapture(file, dumps, error) || dumps.size() < 3) {
        std::fprintf(stderr, "%s: %s\n", office.c_str(), error.c_str());
        std::exit(1);
    }
    save("wifi_dump", "one_dump", dumps[0].raw);
    Bytes three;
    for (int i = 0; i < 3; ++i)
        append(three, dumps[i].raw);
    save("wifi_dump", "three_dumps", three);
    save("wifi_dump", "done_only", Bytes(dumps[0].raw.end() - 20, dumps[0].raw.end()));
    save("wifi_dump", "cut_short", Bytes(dumps[1].raw.begin(), dumps[1].raw.end() - 6));
}

// ---- plan_import: small BMP, PNG, JPEG and PDF files of each kind the importer handles ----

struct PngKind {
    int colourType;
    int bitDepth;
    bool interlaced;
};

void appendPng(png_structp png, png_bytep data, png_size_t n) {
    static_cast<Bytes*>(png_get_io_ptr(png))
        ->insert(static_cast<Bytes*>(png_get_io_ptr(png))->end(), data, data + n);
}

// A width x height PNG of the kind; samples a pattern, a palette of 6 colours, 3 of them
// partly transparent.
Bytes png(uint32_t width, uint32_t height, PngKind kind) {
    Bytes out;
    png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    if (setjmp(png_jmpbuf(p))) {
        std::fprintf(stderr, "libpng could not write a seed\n");
        std::exit(1);
    }
    png_set_write_fn(p, &out, appendPng, nullptr);
    png_set_IHDR(p, info, width, height, kind.bitDepth, kind.colourType,
                 kind.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const png_color palette[6] = {{0, 0, 0},     {255, 255, 255}, {200, 30, 30},
                                  {30, 200, 30}, {30, 30, 200},   {128, 128, 128}};
    const png_byte alphas[3] = {0, 128, 255};
    if (kind.colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(p, info, palette, 6);
        png_set_tRNS(p, info, alphas, 3, nullptr);
    }
    png_write_info(p, info);
    const size_t rowBytes = png_get_rowbytes(p, info);
    const uint8_t top = kind.colourType == PNG_COLOR_TYPE_PALETTE ? 6 : 255;
    Bytes rows(rowBytes * height);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<uint8_t>(i * 7 % top);
    std::vector<png_bytep> pointers;
    for (uint32_t y = 0; y < height; ++y)
        pointers.push_back(rows.data() + rowBytes * y);
    png_write_image(p, pointers.data());
    png_write_end(p, nullptr);
    png_destroy_write_struct(&p, &info);
    return out;
}

Bytes jpeg(uint32_t width, uint32_t height, testkit::JpegKind kind, bool progressive,
           const Bytes& exif = {}) {
    const size_t perRow = size_t{width} * testkit::jpegComponents(kind);
    Bytes samples(perRow * height);
    for (uint32_t y = 0; y < height; ++y)
        for (size_t i = 0; i < perRow; ++i)
            samples[y * perRow + i] = static_cast<uint8_t>(i * 9 + y * 13);
    return testkit::writeJpeg(width, height, kind, samples, 50, progressive, exif);
}

// A 6 x 4 run-length coded bitmap over a table of 4 colours.
Bytes runLengthBmp(bool fourBits, const Bytes& code) {
    testkit::BmpFile f;
    f.width = 6;
    f.height = 4;
    f.bits = fourBits ? 4 : 8;
    f.compression = fourBits ? 2 : 1;
    f.palette = {0xFFFFFF, 0xFF0000, 0x0000FF, 0x333333};
    f.pixels = code;
    return testkit::writeBmp(f);
}

void compressedBmpSeeds() {
    // Every escape of the code: runs, jumps, literal indices, row and picture ends.
    const std::vector<Bytes> rows = {
        {0, 0, 1, 1, 1, 2}, {3, 0, 0, 0, 0, 3}, {1, 1, 1, 1, 2, 2}, {0, 0, 0, 0, 0, 0}};
    save("plan_import", "bmp_rle8", runLengthBmp(false, testkit::runLengthCode(rows, false, 0, 1)));
    save("plan_import", "bmp_rle4", runLengthBmp(true, testkit::runLengthCode(rows, true, 0, 1)));
    // Hostile codes: a run past its row, a jump off the picture, a literal run past the file.
    save("plan_import", "bmp_rle8_overrun",
         runLengthBmp(false, {255, 1, 0, 0, 0, 2, 250, 1, 3, 2, 0, 2, 1, 200, 0, 9, 1, 2}));
    save("plan_import", "bmp_rle4_overrun",
         runLengthBmp(true, {0, 2, 250, 0, 7, 0x12, 0, 0, 255, 0x31, 0, 0, 0, 9, 0x12, 0x34}));
    save("plan_import", "bmp_565",
         testkit::writeBmp({3, 2, 16, 3, {}, {0xF800, 0x07E0, 0x001F}, Bytes(16, 0xA5)}));
}

void turnedJpegAndPdfSeeds() {
    save("plan_import", "jpeg_exif_turned",
         jpeg(16, 8, testkit::JpegKind::Colour, false, testkit::exifOrientation(6, true)));
    Bytes cutExif = testkit::exifOrientation(3, false);
    cutExif[6 + 8] = 0xFF; // a directory of 255 entries in a segment that holds 2
    save("plan_import", "jpeg_exif_cut", jpeg(8, 8, testkit::JpegKind::Colour, false, cutExif));
    save("plan_import", "pdf_page", testkit::writePdf({{40, 20, 5, 5, 10, 10}}));
    save("plan_import", "pdf_nested_forms",
         testkit::writePdf({{40, 20, 5, 5, 10, 10, "0 0 1", 90, {}, 3}}));
}

void planSeeds() {
    save("plan_import", "bmp", bmp(7, 5));
    save("plan_import", "png_rgb", png(9, 6, {PNG_COLOR_TYPE_RGB, 8, false}));
    save("plan_import", "png_palette_trns", png(8, 8, {PNG_COLOR_TYPE_PALETTE, 4, false}));
    save("plan_import", "png_grey16_interlaced", png(11, 9, {PNG_COLOR_TYPE_GRAY, 16, true}));
    save("plan_import", "png_rgba", png(6, 10, {PNG_COLOR_TYPE_RGB_ALPHA, 8, false}));
    save("plan_import", "png_wide", png(300, 2, {PNG_COLOR_TYPE_GRAY, 1, false}));
    save("plan_import", "jpeg_colour", jpeg(24, 16, testkit::JpegKind::Colour, false));
    save("plan_import", "jpeg_grey_progressive", jpeg(16, 24, testkit::JpegKind::Grey, true));
    save("plan_import", "jpeg_cmyk", jpeg(8, 8, testkit::JpegKind::AdobeCmyk, false));
    save("plan_import", "jpeg_wide", jpeg(200, 8, testkit::JpegKind::Colour, false));
    compressedBmpSeeds();
    turnedJpegAndPdfSeeds();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    root = argv[1];
    linkSeeds();
    siteSeeds();
    snapshotSeeds();
    wifiSeeds();
    planSeeds();
    return 0;
}
