// Floor plans from BMP, PNG, JPEG and PDF files: the bitmap made of each, pixel for pixel
// where the format is exact; pages and resolutions of a PDF; scaling to a largest side; the
// pixel limit checked from the headers; damaged files refused with a reason.
#include "image/BmpReader.h"
#include "plan/PlanImport.h"
#include "survey/BmpInfo.h"
#include "testkit/BmpBytes.h"
#include "testkit/JpegBytes.h"
#include "testkit/PdfBytes.h"
#include "testkit/PngBytes.h"
#include "testkit/TempDir.h"
#include "tools/site/SiteTool.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace walkmere {
namespace {

using Bytes = std::vector<uint8_t>;
using testkit::JpegKind;
using testkit::PngPicture;
using testkit::writePdf;
using testkit::writePng;

// ---- files made by the test kit: PNG and JPEG with their libraries, PDF by hand ----

uint8_t onWhite(unsigned value, unsigned alpha) {
    return static_cast<uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

// What the PNG should look like in 8-bit RGB on white, worked out from its samples.
Bytes expectedRgb(const PngPicture& p) {
    const unsigned top = (1u << p.bitDepth) - 1;
    const auto eight = [&](unsigned v) { return (v * 255 + top / 2) / top; };
    Bytes rgb;
    const int n = p.channels();
    for (size_t at = 0; at < p.samples.size(); at += n) {
        const uint16_t* s = &p.samples[at];
        unsigned c[3], alpha = 255;
        if (p.colourType == PNG_COLOR_TYPE_PALETTE) {
            const png_color& e = p.palette[s[0]];
            c[0] = e.red, c[1] = e.green, c[2] = e.blue;
            if (s[0] < p.alphas.size()) alpha = p.alphas[s[0]];
        } else {
            const bool grey = n <= 2;
            for (int i = 0; i < 3; ++i)
                c[i] = eight(s[grey ? 0 : i]);
            if (n == 2 || n == 4) alpha = eight(s[n - 1]);
        }
        for (unsigned v : c)
            rgb.push_back(onWhite(v, alpha));
    }
    return rgb;
}

// A JPEG of width x height whose pixels follow a pattern (or one sample per channel repeated).
Bytes patternJpeg(uint32_t width, uint32_t height, JpegKind kind, Bytes solid = {}) {
    const size_t perRow = size_t{width} * testkit::jpegComponents(kind);
    Bytes samples;
    for (uint32_t y = 0; y < height; ++y)
        for (size_t i = 0; i < perRow; ++i)
            samples.push_back(solid.empty() ? static_cast<uint8_t>((i * 3 + y * 5) ^ (y * i / 7))
                                            : solid[i % solid.size()]);
    return testkit::writeJpeg(width, height, kind, samples);
}

// libjpeg's own RGB decoding of a JPEG, to hold the importer's against.
Bytes libjpegRgb(const Bytes& jpeg) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), jpeg.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    Bytes rgb(size_t{d.output_width} * d.output_height * 3);
    while (d.output_scanline < d.output_height) {
        JSAMPROW r = &rgb[size_t{d.output_scanline} * d.output_width * 3];
        jpeg_read_scanlines(&d, &r, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return rgb;
}

// ---- what came out ----

struct Decoded {
    BmpInfo info;
    RgbImage image;
};

// The bitmap made, through the program's own checks and reader.
Decoded decodeBmp(const ImportedPlan& plan) {
    Decoded d;
    const BmpCheck check = checkBmp(plan.bmp.data(), plan.bmp.size(), plan.bmp.size());
    EXPECT_TRUE(check.loadable) << check.problem;
    if (!check.loadable) return d;
    d.info = *check.info;
    EXPECT_EQ(readBmpPixels(plan.bmp.data(), plan.bmp.size(), d.image), "");
    EXPECT_EQ(uint32_t(d.image.width), plan.width);
    EXPECT_EQ(uint32_t(d.image.height), plan.height);
    return d;
}

struct ToolOutput {
    int code = -1;
    std::string out, err;
};

ToolOutput runTool(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"walkmere-site"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    ToolOutput r;
    r.code = sitetool::runSiteTool(int(argv.size()), argv.data(), out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

PlanImportResult import(const Bytes& file, PlanImportOptions options = {}) {
    return importPlanBytes(file.data(), file.size(), "plan", options);
}

// ---- PNG, pixel for pixel ----

PngPicture patterned(uint32_t w, uint32_t h, int type, int depth, uint32_t values) {
    PngPicture p{w, h, type, depth, false, {}, {}, {}};
    const size_t n = size_t{w} * h * p.channels();
    for (size_t i = 0; i < n; ++i)
        p.samples.push_back(static_cast<uint16_t>((i * 2654435761u >> 7) % values));
    return p;
}

PngPicture withPalette(uint32_t w, uint32_t h, size_t colours, Bytes alphas = {}) {
    PngPicture p = patterned(w, h, PNG_COLOR_TYPE_PALETTE, 8, static_cast<uint32_t>(colours));
    for (size_t i = 0; i < colours; ++i)
        p.palette.push_back({uint8_t(i * 37), uint8_t(255 - i), uint8_t(i * 11 + 3)});
    p.alphas = std::move(alphas);
    return p;
}

// Exactly `colours` colours: the first pixels run through them all, the rest repeat them.
PngPicture rgbColours(uint32_t w, uint32_t h, uint32_t colours) {
    PngPicture p{w, h, PNG_COLOR_TYPE_RGB, 8, false, {}, {}, {}};
    for (uint32_t i = 0; i < w * h; ++i)
        p.samples.insert(p.samples.end(),
                         {uint16_t(i % colours % 256), uint16_t(i % colours / 256), 7});
    return p;
}

struct PngCase {
    const char* name;
    PngPicture picture;
    uint16_t bits; // of the bitmap made
};

TEST(PlanImportPng, DecodesBackPixelForPixel) {
    PngPicture interlaced = patterned(21, 17, PNG_COLOR_TYPE_RGB, 8, 256);
    interlaced.interlaced = true;
    const PngCase cases[] = {
        {"rgb, many colours", patterned(37, 23, PNG_COLOR_TYPE_RGB, 8, 256), 24},
        {"palette", withPalette(13, 7, 5), 8},
        {"palette with tRNS", withPalette(9, 5, 4, {0, 128, 255}), 8},
        {"grey 16-bit", patterned(11, 6, PNG_COLOR_TYPE_GRAY, 16, 65536), 8},
        {"grey 2-bit", patterned(15, 3, PNG_COLOR_TYPE_GRAY, 2, 4), 8},
        {"grey+alpha", patterned(10, 10, PNG_COLOR_TYPE_GRAY_ALPHA, 8, 256), 8},
        {"rgba, transparent", patterned(40, 30, PNG_COLOR_TYPE_RGBA, 8, 256), 24},
        {"rgba 16-bit", patterned(5, 9, PNG_COLOR_TYPE_RGBA, 16, 65536), 8},
        {"interlaced", interlaced, 24},
        {"256 colours", rgbColours(32, 9, 256), 8},
        {"257 colours", rgbColours(32, 9, 257), 24},
    };
    for (const PngCase& c : cases) {
        SCOPED_TRACE(c.name);
        const PlanImportResult r = import(writePng(c.picture));
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.plan.format, "PNG");
        const Decoded d = decodeBmp(r.plan);
        EXPECT_EQ(d.info.bitCount, c.bits);
        EXPECT_EQ(d.info.height, int32_t(c.picture.height)); // bottom-up
        EXPECT_EQ(d.image.pixels, expectedRgb(c.picture));
    }
}

// ---- each format ----

TEST(PlanImport, ReadsEachFormatByItsContent) {
    const Bytes bmp = testkit::makeBmp(9, 4);
    const Bytes jpegColour = patternJpeg(33, 17, JpegKind::Colour);
    const Bytes jpegGrey = patternJpeg(8, 30, JpegKind::Grey);
    struct Case {
        const char* name;
        Bytes file;
        const char* format;
        uint32_t width, height;
        Bytes pixels; // empty: not compared
    };
    const Case cases[] = {
        {"bmp", bmp, "BMP", 9, 4, {}},
        {"jpeg colour", jpegColour, "JPEG", 33, 17, libjpegRgb(jpegColour)},
        {"jpeg grey", jpegGrey, "JPEG", 8, 30, libjpegRgb(jpegGrey)},
        {"pdf", writePdf({{40, 20, 10, 5, 20, 10}}), "PDF", 4000, 2000, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PlanImportResult r = import(c.file);
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.plan.format, c.format);
        EXPECT_EQ(r.plan.width, c.width);
        EXPECT_EQ(r.plan.height, c.height);
        const Decoded d = decodeBmp(r.plan);
        if (!c.pixels.empty()) {
            EXPECT_EQ(d.image.pixels, c.pixels);
        }
    }
    // A bitmap that needs no scaling is kept as it is.
    EXPECT_EQ(import(bmp).plan.bmp, bmp);
}

TEST(PlanImport, TurnsAdobeCmykJpegIntoRgb) {
    // Adobe stores ink inverted: cyan 255 and black 255 mean none of either; full magenta
    // and yellow leave red.
    const PlanImportResult r = import(patternJpeg(16, 16, JpegKind::AdobeCmyk, {255, 0, 0, 255}));
    ASSERT_TRUE(r.ok()) << r.error;
    const Decoded d = decodeBmp(r.plan);
    const uint8_t* p = d.image.at(8, 8);
    EXPECT_NEAR(p[0], 255, 3);
    EXPECT_NEAR(p[1], 0, 3);
    EXPECT_NEAR(p[2], 0, 3);
}

TEST(PlanImport, TurnsAJpegAsItsExifOrientationSays) {
    // Stored 64 x 32: red and green above blue and white, in blocks the JPEG keeps whole.
    const std::map<char, std::array<int, 3>> colours = {
        {'R', {255, 0, 0}}, {'G', {0, 255, 0}}, {'B', {0, 0, 255}}, {'W', {255, 255, 255}}};
    Bytes samples;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            for (int v : colours.at(y < 16 ? (x < 32 ? 'R' : 'G') : (x < 32 ? 'B' : 'W')))
                samples.push_back(uint8_t(v));
    struct Case {
        uint16_t orientation;
        bool bigEndian;
        std::optional<uint32_t> maxSide;
        const char* corners; // top left, top right, bottom left, bottom right, as shown
    };
    const Case cases[] = {
        {1, false, {}, "RGBW"}, {2, true, {}, "GRWB"},
        {3, false, {}, "WBGR"}, {3, true, {}, "WBGR"},
        {4, true, {}, "BWRG"},  {5, false, {}, "RBGW"},
        {6, true, {}, "BRWG"},  {6, false, 16, "BRWG"},
        {7, false, {}, "WGBR"}, {8, true, {}, "GWRB"},
        {8, false, {}, "GWRB"}, {9, false, {}, "RGBW"}, // unknown: as stored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.orientation) + (c.bigEndian ? " MM" : " II"));
        const Bytes jpeg = testkit::writeJpeg(64, 32, JpegKind::Colour, samples, 90, false,
                                              testkit::exifOrientation(c.orientation, c.bigEndian));
        const PlanImportResult r = import(jpeg, {1, {}, c.maxSide, {}});
        ASSERT_TRUE(r.ok()) << r.error;
        const bool turned = c.orientation >= 5 && c.orientation <= 8;
        const uint32_t scale = c.maxSide ? 64 / *c.maxSide : 1;
        ASSERT_EQ(r.plan.width, (turned ? 32 : 64) / scale);
        ASSERT_EQ(r.plan.height, (turned ? 64 : 32) / scale);
        const Decoded d = decodeBmp(r.plan);
        const int right = int(r.plan.width) - 2, bottom = int(r.plan.height) - 2;
        const std::pair<int, int> spots[] = {{1, 1}, {right, 1}, {1, bottom}, {right, bottom}};
        for (int i = 0; i < 4; ++i) {
            const uint8_t* p = d.image.at(spots[i].first, spots[i].second);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(p[k], colours.at(c.corners[i])[size_t(k)], 40) << "corner " << i;
        }
    }
}

// ---- PDF pages and resolutions ----

TEST(PlanImportPdf, RendersThePageAskedForAtTheResolutionAskedFor) {
    // Page 1 is 200 x 100 points with a red rectangle in its middle; page 2 is 100 x 300
    // with a blue one; page 3 is turned a quarter.
    const Bytes pdf = writePdf({{200, 100, 50, 25, 100, 50, "1 0 0"},
                                {100, 300, 0, 0, 50, 150, "0 0 1"},
                                {100, 40, 0, 0, 10, 10, "0 1 0", 90}});
    struct Case {
        int page;
        std::optional<double> dpi;
        std::optional<uint32_t> maxSide;
        uint32_t width, height;
        double dpiUsed;
        int x, y;          // a pixel inside the rectangle
        uint8_t inside[3]; // its colour
    };
    const Case cases[] = {
        {1, 72, {}, 200, 100, 72, 100, 50, {255, 0, 0}},
        {1, {}, {}, 4000, 2000, 1440, 2000, 1000, {255, 0, 0}},
        {1, {}, 50, 50, 25, 18, 25, 12, {255, 0, 0}},
        {1, 72, 100, 100, 50, 36, 50, 25, {255, 0, 0}}, // the dpi lowered to fit
        {2, 144, {}, 200, 600, 144, 10, 590, {0, 0, 255}},
        {3, 72, {}, 40, 100, 72, 5, 5, {0, 255, 0}}, // the bottom left turned to the top left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("page " + std::to_string(c.page) + " at " + std::to_string(c.dpiUsed));
        const PlanImportResult r = import(pdf, {c.page, c.dpi, c.maxSide, {}});
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.plan.pageCount, 3);
        EXPECT_DOUBLE_EQ(r.plan.dpi, c.dpiUsed);
        EXPECT_EQ(r.plan.width, c.width);
        EXPECT_EQ(r.plan.height, c.height);
        const Decoded d = decodeBmp(r.plan);
        ASSERT_EQ(uint32_t(d.image.height), c.height);
        EXPECT_EQ(Bytes(d.image.at(c.x, c.y), d.image.at(c.x, c.y) + 3),
                  Bytes(c.inside, c.inside + 3));
        EXPECT_EQ(Bytes(d.image.at(c.width - 1, 0), d.image.at(c.width - 1, 0) + 3),
                  Bytes(3, 255)); // white paper in the top right corner
    }
}

TEST(PlanImportPdf, RefusesAPageItDoesNotHaveOrCannotHold) {
    const Bytes pdf = writePdf({{200, 100, 0, 0, 1, 1}, {200, 100, 0, 0, 1, 1}});
    EXPECT_EQ(import(pdf, {3, {}, {}, {}}).error,
              "plan: there is no page 3; the document has 2 pages");
    EXPECT_EQ(import(pdf, {0, {}, {}, {}}).error,
              "plan: there is no page 0; the document has 2 pages");
    // 200 x 100 points at 7200 dpi is 20000 x 10000 pixels: refused before rendering.
    const std::string huge = import(pdf, {1, 7200, {}, {}}).error;
    EXPECT_NE(huge.find("20000 x 10000 pixels"), std::string::npos) << huge;
    EXPECT_NE(huge.find("100000000"), std::string::npos) << huge;
}

// ---- scaling to a largest side ----

TEST(PlanImport, ScalesDownToTheLargestSideByAveraging) {
    // Black and white pixels in a checkerboard average to mid-grey; a picture within the
    // largest side, or with none given, keeps its size.
    PngPicture checker{64, 32, PNG_COLOR_TYPE_GRAY, 8, false, {}, {}, {}};
    for (uint32_t i = 0; i < 64 * 32; ++i)
        checker.samples.push_back((i % 64 + i / 64) % 2 ? 255 : 0);
    const Bytes wide = writePng(patterned(5000, 2, PNG_COLOR_TYPE_GRAY, 8, 256));
    struct Case {
        const char* name;
        Bytes file;
        std::optional<uint32_t> maxSide;
        uint32_t width, height;
    };
    const Case cases[] = {
        {"checker halved", writePng(checker), 32, 32, 16},
        {"checker within", writePng(checker), 64, 64, 32},
        {"wider than 4000, no side given", wide, {}, 5000, 2},
        {"jpeg", patternJpeg(640, 480, JpegKind::Colour), 100, 100, 75},
        {"jpeg portrait", patternJpeg(90, 700, JpegKind::Grey), 70, 9, 70},
        {"bmp", testkit::makeBmp(300, 100), 30, 30, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PlanImportResult r = import(c.file, {1, {}, c.maxSide, {}});
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.plan.width, c.width);
        EXPECT_EQ(r.plan.height, c.height);
        decodeBmp(r.plan);
    }
    const Decoded grey = decodeBmp(import(writePng(checker), {1, {}, 32, {}}).plan);
    EXPECT_EQ(grey.image.pixels, Bytes(32 * 16 * 3, 128));
}

// ---- the pixel limit, from the headers alone ----

// A small JPEG whose frame header is changed to announce width x height.
Bytes jpegAnnouncing(uint16_t width, uint16_t height) {
    Bytes b = patternJpeg(16, 16, JpegKind::Colour);
    for (size_t i = 0; i + 8 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == 0xC0) {
            b[i + 5] = uint8_t(height >> 8), b[i + 6] = uint8_t(height);
            b[i + 7] = uint8_t(width >> 8), b[i + 8] = uint8_t(width);
            break;
        }
    return b;
}

TEST(PlanImport, RefusesAPictureAboveTheLimitBeforeDecodingIt) {
    struct Case {
        const char* name;
        Bytes file;
        std::optional<uint32_t> maxSide;
        const char* said;
    };
    const Case cases[] = {
        {"png", testkit::pngAnnouncing(20000, 20000), {}, "20000 x 20000 pixels is more"},
        {"jpeg", jpegAnnouncing(60000, 50000), {}, "60000 x 50000 pixels is more"},
        {"side too large", testkit::pngAnnouncing(20000, 20000), 15000,
         "15000 x 15000 pixels is more"},
        // A largest side lets a large picture through: this one then has no pixel data.
        {"png, side given", testkit::pngAnnouncing(20000, 20000), 1000, "damaged PNG"},
        {"jpeg, side given", jpegAnnouncing(60000, 50000), 1000, "damaged JPEG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string error = import(c.file, {1, {}, c.maxSide, {}}).error;
        EXPECT_NE(error.find(c.said), std::string::npos) << error;
        if (std::string(c.said).find("more") != std::string::npos) {
            EXPECT_NE(error.find("(100000000 pixels:"), std::string::npos) << error;
        }
    }
}

// ---- damaged and foreign files ----

Bytes cut(Bytes b, size_t keep) {
    b.resize(keep);
    return b;
}

Bytes flipped(Bytes b, size_t at) {
    b[at] ^= 0x5A;
    return b;
}

TEST(PlanImport, RefusesDamagedFilesWithAReason) {
    const Bytes png = writePng(patterned(40, 40, PNG_COLOR_TYPE_RGB, 8, 256));
    const Bytes jpeg = patternJpeg(40, 40, JpegKind::Colour);
    struct Case {
        const char* name;
        Bytes file;
        const char* said;
    };
    const Case cases[] = {
        {"png cut short", cut(png, png.size() / 2), "plan: damaged PNG: the file is cut short"},
        {"png data changed", flipped(png, png.size() / 2), "plan: damaged PNG"},
        {"png signature only", cut(png, 8), "plan: damaged PNG"},
        {"jpeg cut short", cut(jpeg, jpeg.size() / 2), "plan: damaged JPEG: the file is cut short"},
        {"jpeg marker only", cut(jpeg, 3), "plan: damaged JPEG"},
        {"bmp cut short", cut(testkit::makeBmp(20, 20), 300), "plan: not a usable bitmap"},
        {"pdf garbage", Bytes{'%', 'P', 'D', 'F', '-', '1', '.', '4', '\n', 'x'},
         "plan: damaged PDF"},
        {"empty", {}, "plan: not a floor plan this tool reads (BMP, PNG, JPEG or PDF)"},
        {"gif", Bytes{'G', 'I', 'F', '8', '9', 'a'}, "plan: not a floor plan this tool reads"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PlanImportResult r = import(c.file);
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.error.rfind(c.said, 0), 0u) << r.error;
        EXPECT_TRUE(r.plan.bmp.empty());
    }
}

TEST(PlanImport, ReadsFilesByContentAndNamesThemInErrors) {
    testkit::TempDir dir;
    const std::string text = dir.file("plan.txt").string();
    testkit::writeFileBytes(text, {'w', 'a', 'l', 'l', 's', '\n'});
    EXPECT_EQ(importPlan(text).error,
              text + ": not a floor plan this tool reads (BMP, PNG, JPEG or PDF)");

    const std::string named = dir.file("plan.bmp").string(); // a PNG whatever its name
    const Bytes png = writePng(withPalette(3, 3, 2));
    testkit::writeFileBytes(named, png);
    const PlanImportResult r = importPlan(named);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.plan.format, "PNG");

    const std::string missing = dir.file("none.png").string();
    EXPECT_EQ(importPlan(missing).error, missing + ": No such file or directory");
}

// The bitmap made goes into a site file with the tool's create command and comes back out
// of it with the plan command.
TEST(PlanImport, MakesBitmapsTheSiteToolStores) {
    const Bytes files[] = {
        writePng(withPalette(13, 7, 5)),
        writePng(patterned(37, 23, PNG_COLOR_TYPE_RGB, 8, 256)),
        writePdf({{30, 20, 5, 5, 10, 10}}),
    };
    testkit::TempDir dir;
    const std::string bmp = dir.file("plan.bmp").string();
    const std::string site = dir.file("site.kvs").string();
    const std::string back = dir.file("back.bmp").string();
    const auto tool = [](std::vector<const char*> argv) {
        std::ostringstream out, err;
        argv.insert(argv.begin(), "walkmere-site");
        const int code = sitetool::runSiteTool(int(argv.size()), argv.data(), out, err);
        EXPECT_EQ(code, 0) << err.str();
    };
    for (const Bytes& file : files) {
        const PlanImportResult r = import(file, {1, {}, 200, {}});
        ASSERT_TRUE(r.ok()) << r.error;
        testkit::writeFileBytes(bmp, r.plan.bmp);
        tool({"create", bmp.c_str(), "-o", site.c_str(), "--force"});
        tool({"plan", site.c_str(), "-o", back.c_str(), "--force"});
        EXPECT_EQ(testkit::readFileBytes(back), r.plan.bmp);
        std::filesystem::remove(back);
    }
}

// The create command reads each format by its content and stores the plan; the plan
// command gives back the pixels.
TEST(PlanImport, CreateStoresEachFormatThePlanCommandGivesBack) {
    const PngPicture png = withPalette(13, 7, 5, {0, 128, 255, 60});
    const Bytes grey = patternJpeg(24, 16, JpegKind::Grey);
    const Bytes greyRgb = libjpegRgb(grey);
    // Page 2 is 40 x 30 points with a blue rectangle from 10,10 to 30,20 (from the bottom).
    const Bytes pdf =
        writePdf({{30, 20, 5, 5, 10, 10}, {40, 30, 10, 10, 20, 10, "0 0 1"}, {50, 50, 0, 0, 5, 5}});
    struct Case {
        const char* name;
        Bytes file;
        std::vector<std::string> options;
        uint32_t width, height;
        Bytes pixels;                                // every pixel, or empty
        std::vector<std::pair<int, int>> samples;    // else these pixels ...
        std::vector<std::array<uint8_t, 3>> colours; // ... have these colours
        const char* said;                            // in what create prints
    };
    const auto at = [](const Bytes& rgb, int width, int x, int y) {
        const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
        return std::array<uint8_t, 3>{p[0], p[1], p[2]};
    };
    const Case cases[] = {
        {"png with alpha and a palette",
         writePng(png),
         {},
         13,
         7,
         expectedRgb(png),
         {},
         {},
         "13 x 7 floor plan from a PNG,"},
        {"grey jpeg",
         grey,
         {},
         24,
         16,
         {},
         {{0, 0}, {23, 15}, {7, 9}},
         {at(greyRgb, 24, 0, 0), at(greyRgb, 24, 23, 15), at(greyRgb, 24, 7, 9)},
         "24 x 16 floor plan from a JPEG,"},
        {"pdf page 2",
         pdf,
         {"--page", "2", "--dpi", "72"},
         40,
         30,
         {},
         {{20, 15}, {2, 2}, {39, 29}},
         {{{0, 0, 255}}, {{255, 255, 255}}, {{255, 255, 255}}},
         "40 x 30 floor plan from page 2 of 3 of a PDF at 72 dpi,"},
    };
    testkit::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string plan = dir.file("plan").string(); // no extension: told by content
        const std::string site = dir.file("site.kvs").string();
        const std::string back = dir.file("back.bmp").string();
        testkit::writeFileBytes(plan, c.file);
        std::vector<std::string> args = {"create", plan, "-o", site, "--force"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ToolOutput created = runTool(args);
        ASSERT_EQ(created.code, 0) << created.err;
        EXPECT_NE(created.out.find(c.said), std::string::npos) << created.out;
        ASSERT_EQ(runTool({"plan", site, "-o", back, "--force"}).code, 0);

        const Bytes stored = testkit::readFileBytes(back);
        RgbImage image;
        ASSERT_EQ(readBmpPixels(stored.data(), stored.size(), image), "");
        EXPECT_EQ(uint32_t(image.width), c.width);
        ASSERT_EQ(uint32_t(image.height), c.height);
        if (!c.pixels.empty()) {
            EXPECT_EQ(image.pixels, c.pixels);
        }
        for (size_t i = 0; i < c.samples.size(); ++i) {
            const auto [x, y] = c.samples[i];
            EXPECT_EQ(at(image.pixels, image.width, x, y), c.colours[i]) << x << "," << y;
        }
    }
}

TEST(PlanImport, CreateRefusesWhatItCannotStoreAndSaysWhy) {
    testkit::TempDir dir;
    const std::string site = dir.file("site.kvs").string();
    const std::string text = dir.file("walls.txt").string();
    testkit::writeFileBytes(text, {'w', 'a', 'l', 'l', 's', '\n'});
    const std::string pdf = dir.file("two.pdf").string();
    testkit::writeFileBytes(pdf, writePdf({{30, 20, 5, 5, 10, 10}, {30, 20, 5, 5, 10, 10}}));
    // 12000 x 9000 pixels said by the PNG's header, more than a plan may have.
    const std::string large = dir.file("large.png").string();
    testkit::writeFileBytes(large, testkit::pngAnnouncing(12000, 9000));
    const std::string largeBmp = dir.file("large.bmp").string();
    Bytes bmp = testkit::makeBmp(4, 4);
    testkit::put32(bmp, 18, 12000);
    testkit::put32(bmp, 22, 9000);
    testkit::writeFileBytes(largeBmp, bmp);
    // Bitmaps the program's loader refuses, plain and with colour masks.
    const std::string manyColours = dir.file("colours.bmp").string();
    testkit::writeFileBytes(manyColours,
                            testkit::writeBmp({2, 1, 8, 0, {0}, {}, {0, 0, 0, 0}, 300}));
    const std::string noMasks = dir.file("masks.bmp").string();
    testkit::writeFileBytes(noMasks, testkit::writeBmp({2, 1, 16, 3, {}, {}, {0, 0, 0, 0}}));
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {{"create", text, "-o", site},
         1,
         text + ": not a floor plan this tool reads (BMP, PNG, JPEG or PDF)"},
        {{"create", pdf, "-o", site, "--page", "3"}, 1, "there is no page 3"},
        {{"create", pdf, "-o", site, "--page", "0"}, 2, "'--page' needs a whole number"},
        {{"create", pdf, "-o", site, "--max-side", "x"}, 2, "'--max-side' needs a whole number"},
        {{"create", large, "-o", site},
         1,
         "12000 x 9000 pixels is more than a floor plan may have (100000000 pixels: the "
         "program keeps the decoded plan in memory to map it)"},
        {{"create", largeBmp, "-o", site},
         1,
         "12000 x 9000 pixels is more than a floor plan may have (100000000 pixels: the "
         "program keeps the decoded plan in memory to map it); give --max-side"},
        {{"create", manyColours, "-o", site},
         1,
         manyColours + ": not a usable bitmap: the bitmap's colour table claims more than 256 "
                       "colours"},
        {{"create", noMasks, "-o", site},
         1,
         noMasks + ": not a usable bitmap: the bitmap's colour masks are cut short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const ToolOutput r = runTool(c.args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(site));
    }
}

} // namespace
} // namespace walkmere
