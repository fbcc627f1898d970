// A floor plan from a PNG, a JPEG, a PDF and compressed bitmaps, made into a site by the site
// tool's create command and opened the way the program opens a site named on its command
// line: the site view shows, pixel for pixel, the picture the import decoded, and in it the
// drawing's own colours where the drawing put them.
#include <gtest/gtest.h>

#include "image/BmpReader.h"
#include "plan/PlanImport.h"
#include "survey/SiteFileWriter.h"
#include "testkit/BmpBytes.h"
#include "testkit/JpegBytes.h"
#include "testkit/PdfBytes.h"
#include "testkit/PngBytes.h"
#include "testkit/SiteToolTesting.h"
#include "testkit/SiteViewFixture.h"
#include "tools/site/SiteTool.h"

#include <QImage>

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace walkmere {
namespace {

using Bytes = std::vector<uint8_t>;
using Rgb = std::array<int, 3>;

// The drawing: 60 x 40, white, a red room, a blue room and a dark wall between them, placed
// off the middle so that a plan turned or mirrored does not match.
constexpr int kWidth = 60, kHeight = 40;
struct Room {
    int x, y, w, h; // from the top left
    Rgb colour;
    const char* pdfColour;
};
const Room kRooms[] = {
    {6, 4, 24, 16, {255, 0, 0}, "1 0 0"},
    {36, 22, 20, 14, {0, 0, 255}, "0 0 1"},
    {32, 0, 2, 40, {51, 51, 51}, "0.2 0.2 0.2"},
};
constexpr Rgb kWhite = {255, 255, 255};

Rgb drawn(int x, int y) {
    Rgb c = kWhite;
    for (const Room& r : kRooms)
        if (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) c = r.colour;
    return c;
}

Bytes rgbSamples() {
    Bytes rgb;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int v : drawn(x, y))
                rgb.push_back(static_cast<uint8_t>(v));
    return rgb;
}

Bytes pngFile() {
    testkit::PngPicture p;
    p.width = kWidth;
    p.height = kHeight;
    for (uint8_t v : rgbSamples())
        p.samples.push_back(v);
    return testkit::writePng(p);
}

Bytes pdfFile() {
    // One point a pixel at 72 dpi; PDF counts from the bottom.
    testkit::PdfPage page{kWidth, kHeight, 0, 0, kWidth, kHeight, "1 1 1"};
    for (const Room& r : kRooms)
        page.more.push_back({r.x, kHeight - r.y - r.h, r.w, r.h, r.pdfColour});
    return testkit::writePdf({page});
}

// The drawing as a bitmap: indexed and run-length coded (white runs inside a row skipped,
// red ones written index by index), or in 16 bits of 5, 6 and 5 or 32 bits of 10 each.
constexpr uint32_t kPalette[] = {0xFFFFFF, 0xFF0000, 0x0000FF, 0x333333};

Bytes bmpFile(uint32_t compression, uint16_t bits, std::vector<uint32_t> masks = {},
              bool skipWhite = true) {
    testkit::BmpFile f{kWidth, kHeight, bits, compression, {}, masks, {}};
    std::vector<Bytes> indices;
    for (int y = 0; y < kHeight; ++y) {
        Bytes& row = indices.emplace_back();
        for (int x = 0; x < kWidth; ++x) {
            const Rgb c = drawn(x, y);
            const uint32_t rgb = uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | uint32_t(c[2]);
            row.push_back(uint8_t(std::find(std::begin(kPalette), std::end(kPalette), rgb) -
                                  std::begin(kPalette)));
        }
    }
    if (bits <= 8) {
        f.palette.assign(std::begin(kPalette), std::end(kPalette));
        f.pixels = testkit::runLengthCode(indices, bits == 4, skipWhite ? 0 : -1, 1);
        return testkit::writeBmp(f);
    }
    const auto field = [](int v, uint32_t mask) { // v of 255 under the mask
        const uint32_t low = mask & -mask;
        return uint32_t(v * (mask / low) / 255) * low;
    };
    for (int y = kHeight - 1; y >= 0; --y)
        for (int x = 0; x < kWidth; ++x) {
            const Rgb c = drawn(x, y);
            const uint32_t v =
                field(c[0], masks[0]) | field(c[1], masks[1]) | field(c[2], masks[2]);
            for (int i = 0; i < bits / 8; ++i)
                f.pixels.push_back(uint8_t(v >> (8 * i)));
        }
    return testkit::writeBmp(f);
}

int runTool(std::vector<std::string> args, std::string& err) {
    args.insert(args.begin(), "walkmere-site");
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, errors;
    const int code = sitetool::runSiteTool(int(argv.size()), argv.data(), out, errors);
    err = errors.str();
    return code;
}

TEST(PlanOpen, SitesCreatedFromEachFormatOpenInTheSiteViewWithTheirPlans) {
    struct Case {
        const char* name;
        Bytes file;
        std::vector<std::string> options; // of create
        PlanImportOptions import;         // the same, for the import's own decoding
        int tolerance;                    // of the drawing's colours
    };
    const Case cases[] = {
        {"png", pngFile(), {}, {}, 0},
        {"jpeg",
         testkit::writeJpeg(kWidth, kHeight, testkit::JpegKind::Colour, rgbSamples()),
         {},
         {},
         40},
        {"pdf", pdfFile(), {"--dpi", "72"}, {1, 72, {}, {}}, 0},
        {"rle8", bmpFile(1, 8), {}, {}, 0},
        {"rle4", bmpFile(2, 4), {}, {}, 0},
        {"565", bmpFile(3, 16, {0xF800, 0x07E0, 0x001F}), {}, {}, 8},
        {"32-bit fields", bmpFile(3, 32, {0x3FF00000, 0x000FFC00, 0x000003FF}), {}, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        siteinputtest::SiteViewFixture f;
        const std::string plan = f.dir.file(std::string("plan.") + c.name).string();
        const std::string site = f.dir.file("made.kvs").string();
        testkit::writeFileBytes(plan, c.file);
        std::vector<std::string> args = {"create", plan, "-o", site};
        args.insert(args.end(), c.options.begin(), c.options.end());
        std::string err;
        ASSERT_EQ(runTool(args, err), 0) << err;

        // As from the command line: no file dialog; a fresh site's question answered Yes.
        f.makeView();
        f.prompter.scriptYesNo(true);
        ASSERT_TRUE(f.view->openSite(site));
        EXPECT_EQ(f.prompter.messages(), std::vector<std::string>{}); // no "Cannot Load Bitmap"
        EXPECT_EQ(f.store.sitePath(), site);
        EXPECT_EQ(f.viewport.bounds(), (EdgeRect{0, 0, kWidth, kHeight}));
        const QImage shown = f.view->floorPlan.convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(shown.size(), QSize(kWidth, kHeight));

        const PlanImportResult imported = importPlan(plan, c.import);
        ASSERT_TRUE(imported.ok()) << imported.error;
        RgbImage decoded;
        ASSERT_EQ(readBmpPixels(imported.plan.bmp.data(), imported.plan.bmp.size(), decoded), "");
        ASSERT_EQ(QSize(decoded.width, decoded.height), shown.size());
        int differing = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const QRgb s = shown.pixel(x, y);
                const uint8_t* d = decoded.at(x, y);
                differing += qRed(s) != d[0] || qGreen(s) != d[1] || qBlue(s) != d[2];
            }
        EXPECT_EQ(differing, 0) << "pixels unlike the import's picture";

        // The middle of each room and two corners of the drawing.
        std::vector<std::pair<int, int>> spots = {{0, 0}, {kWidth - 1, kHeight - 1}};
        for (const Room& r : kRooms)
            spots.push_back({r.x + r.w / 2, r.y + r.h / 2});
        for (const auto& [x, y] : spots) {
            const QRgb s = shown.pixel(x, y);
            const Rgb want = drawn(x, y);
            EXPECT_NEAR(qRed(s), want[0], c.tolerance) << x << "," << y;
            EXPECT_NEAR(qGreen(s), want[1], c.tolerance) << x << "," << y;
            EXPECT_NEAR(qBlue(s), want[2], c.tolerance) << x << "," << y;
        }
    }
}

// Site files made before create wrote compressed bitmaps afresh hold them as they came: each
// is shown by the program and read by the tools pixel for pixel alike. (The program's loader
// leaves pixels a run-length code skips undefined, so these codes skip none.)
TEST(PlanOpen, SitesHoldingCompressedBitmapsAreReadByTheProgramAndEveryCommand) {
    const std::pair<const char*, Bytes> plans[] = {
        {"rle8", bmpFile(1, 8, {}, false)},
        {"rle4", bmpFile(2, 4, {}, false)},
        {"565", bmpFile(3, 16, {0xF800, 0x07E0, 0x001F})},
    };
    for (const auto& [name, bmp] : plans) {
        SCOPED_TRACE(name);
        siteinputtest::SiteViewFixture f;
        std::vector<std::string> sites;
        for (const char* copy : {"a.kvs", "b.kvs"}) {
            sites.push_back(f.dir.file(copy).string());
            const OwnedFd fd(::open(sites.back().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
            FdPositionalSink sink(fd.get());
            const Bytes point = sitetooltest::surveyPointBytes(30, 20, -50);
            NewSiteFile layout;
            layout.points = point;
            ASSERT_EQ(writeSiteFile(sink, bmp, layout).status, SiteWriteStatus::Ok);
        }
        f.makeView();
        f.prompter.scriptYesNo(true);
        ASSERT_TRUE(f.view->openSite(sites[0]));
        const QImage shown = f.view->floorPlan.convertToFormat(QImage::Format_RGB888);
        RgbImage decoded;
        ASSERT_EQ(readBmpPixels(bmp.data(), bmp.size(), decoded), "");
        ASSERT_EQ(QSize(decoded.width, decoded.height), shown.size());
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const QRgb s = shown.pixel(x, y);
                const uint8_t* d = decoded.at(x, y);
                ASSERT_EQ((Rgb{qRed(s), qGreen(s), qBlue(s)}), (Rgb{d[0], d[1], d[2]}))
                    << x << "," << y;
            }
        std::string err;
        const std::string out = f.dir.file("out").string();
        EXPECT_EQ(runTool({"heatmap", sites[0], "-o", out + ".png"}, err), 0) << err;
        EXPECT_EQ(runTool({"report", sites[0], "-o", out + ".html"}, err), 0) << err;
        EXPECT_EQ(runTool({"merge", sites[0], sites[1], "-o", out + ".kvs"}, err), 0) << err;
    }
}

} // namespace
} // namespace walkmere
