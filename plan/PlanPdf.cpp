#include "plan/PlanPdf.h"

#include "image/RgbImage.h"
#include "plan/PlanChild.h"
#include "survey/BmpInfo.h"
#include "survey/FileOps.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

namespace walkmere {

namespace {

constexpr double kPointsPerInch = 72.0;

// poppler's own complaints go here instead of to standard error; the last one tells why a
// document did not load.
void keepPopplerMessage(const std::string& message, void* closure) {
    *static_cast<std::string*>(closure) = message;
}

// Splash sizes the picture by rounding the page's extent in pixels.
uint64_t pixelsFor(double points, double dpi) {
    const double pixels = std::floor(points * dpi / kPointsPerInch + 0.5);
    return pixels < 1 ? 1 : pixels > 1e12 ? uint64_t{1'000'000'000'000} : uint64_t(pixels);
}

// What the child hands back at the start of the reply file; the page's rows follow it, top
// to bottom, 3 bytes (red, green, blue) a pixel. It is written after the rows, so a child
// that ends half-way leaves none. Both sides are this program, so the layout is its own.
struct PdfReply {
    static constexpr uint32_t kMagic = 0x46445057; // "WPDF"
    uint32_t magic = 0;
    uint32_t refused = 0; // 1: `message` says why there is no picture
    int32_t pageCount = 0;
    uint32_t width = 0, height = 0;
    double dpi = 0;
    double across = 0, down = 0; // the page as shown, in points
    char message[480] = {};
};

PdfReply refusal(int pageCount, const std::string& why) {
    PdfReply reply;
    reply.magic = PdfReply::kMagic;
    reply.refused = 1;
    reply.pageCount = pageCount;
    std::snprintf(reply.message, sizeof reply.message, "%s", why.c_str());
    return reply;
}

// In the child: renders the page and writes its rows to `fd` after the reply's place.
PdfReply drawPage(const poppler::document& doc, const PlanImportOptions& options, int fd) {
    const int pageCount = doc.pages();
    if (options.page < 1 || options.page > pageCount)
        return refusal(pageCount, "there is no page " + std::to_string(options.page) +
                                      "; the document has " + std::to_string(pageCount) +
                                      (pageCount == 1 ? " page" : " pages"));
    const std::unique_ptr<poppler::page> page(doc.create_page(options.page - 1));
    if (!page)
        return refusal(pageCount, "page " + std::to_string(options.page) + " cannot be read");

    // The page as it is shown: a quarter turn swaps its sides.
    const poppler::rectf box = page->page_rect();
    double across = box.width();
    double down = box.height();
    const auto turn = page->orientation();
    if (turn == poppler::page::landscape || turn == poppler::page::seascape)
        std::swap(across, down);
    if (!(across > 0 && down > 0) || !std::isfinite(across) || !std::isfinite(down))
        return refusal(pageCount, "page " + std::to_string(options.page) + " has no area");

    // At the dpi asked for, or the largest that keeps the longer side within the largest
    // side; a dpi asked for is lowered when the page would not fit a largest side given.
    const double longer = std::max(across, down);
    const double fitting =
        options.maxSide.value_or(PlanImportOptions::kDefaultMaxSide) * kPointsPerInch / longer;
    double dpi = options.dpi.value_or(fitting);
    if (options.dpi && options.maxSide && dpi > fitting) dpi = fitting;
    if (!(dpi > 0) || !std::isfinite(dpi))
        return refusal(pageCount, "the resolution must be above 0 dpi");
    const uint64_t width = pixelsFor(across, dpi);
    const uint64_t height = pixelsFor(down, dpi);
    if (width * height > kMaxPlanPixels || width > kMaxSourceSide || height > kMaxSourceSide)
        return refusal(pageCount, "page " + std::to_string(options.page) + " at " +
                                      std::to_string(std::lround(dpi)) + " dpi would be " +
                                      std::to_string(width) + " x " + std::to_string(height) +
                                      " pixels, " + morePixelsThanAPlan() + "; give a lower dpi");

    poppler::page_renderer renderer;
    renderer.set_paper_color(0xFFFFFFFF);
    renderer.set_render_hint(poppler::page_renderer::antialiasing);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing);
    renderer.set_image_format(poppler::image::format_argb32);
    const poppler::image image = renderer.render_page(page.get(), dpi, dpi);
    if (!image.is_valid() || image.format() != poppler::image::format_argb32 ||
        image.width() <= 0 || image.height() <= 0 || uint64_t(image.width()) > width + 1 ||
        uint64_t(image.height()) > height + 1)
        return refusal(pageCount, "page " + std::to_string(options.page) + " cannot be rendered");

    PdfReply reply;
    reply.magic = PdfReply::kMagic;
    reply.pageCount = pageCount;
    reply.dpi = dpi;
    reply.across = across;
    reply.down = down;
    reply.width = static_cast<uint32_t>(image.width());
    reply.height = static_cast<uint32_t>(image.height());
    std::vector<uint8_t> rgb(size_t{reply.width} * 3);
    for (uint32_t y = 0; y < reply.height; ++y) {
        // Each pixel a native-endian 32-bit 0xAARRGGBB: blue first in memory here.
        const auto* row = reinterpret_cast<const uint8_t*>(image.const_data()) +
                          size_t{y} * image.bytes_per_row();
        for (uint32_t x = 0; x < reply.width; ++x) {
            const uint8_t* p = row + size_t{x} * 4;
            rgb[size_t{x} * 3] = onWhite(p[2], p[3]);
            rgb[size_t{x} * 3 + 1] = onWhite(p[1], p[3]);
            rgb[size_t{x} * 3 + 2] = onWhite(p[0], p[3]);
        }
        const int failed =
            writeAllAt(fd, rgb.data(), rgb.size(), sizeof(PdfReply) + uint64_t{y} * rgb.size());
        if (failed != 0)
            return refusal(pageCount,
                           std::string("cannot hand over the page: ") + std::strerror(failed));
    }
    return reply;
}

// The child's work: the reply is written whatever happened, last.
int renderInChild(const uint8_t* data, size_t size, const PlanImportOptions& options, int fd) {
    std::string complaint;
    poppler::set_debug_error_function(keepPopplerMessage, &complaint);
    PdfReply reply;
    // poppler reads the bytes in place; they outlive the document.
    const std::unique_ptr<poppler::document> doc(poppler::document::load_from_raw_data(
        reinterpret_cast<const char*>(data), static_cast<int>(size)));
    if (!doc)
        reply = refusal(0, "damaged PDF" + (complaint.empty() ? std::string() : ": " + complaint));
    else if (doc->is_locked())
        reply = refusal(0, "the PDF is protected by a password");
    else
        reply = drawPage(*doc, options, fd);
    return writeAllAt(fd, &reply, sizeof reply, 0) == 0 ? 0 : kChildFailed;
}

const char* const kExportInstead = "; export the page as a PNG and make the site from that";

bool saysOutOfMemory(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text.find("out of memory") != std::string::npos;
}

// Why the child gave no page, when it did not end as it should.
std::string childFailure(const ChildOutcome& child, const ChildBounds& bounds) {
    using End = ChildOutcome::End;
    if (child.end == End::Failed) return "cannot run the PDF renderer: " + child.problem;
    if (child.end == End::OverTime)
        return "the PDF page takes too long to draw (more than " +
               std::to_string(bounds.wallSeconds) + " s)" + kExportInstead;
    if (child.end == End::Signalled && child.signal == SIGXCPU)
        return "the PDF page takes too long to draw (more than " +
               std::to_string(bounds.cpuSeconds) + " s of processor time)" + kExportInstead;
    if ((child.end == End::Exited && child.exitCode == kChildOutOfMemory) ||
        saysOutOfMemory(child.messages))
        return "the PDF page needs more memory to draw than the " +
               std::to_string(bounds.memoryBytes >> 20) + " MB allowed" + kExportInstead;
    if (child.end == End::Signalled)
        return std::string("the PDF renderer failed on this page (") + ::strsignal(child.signal) +
               ")" + kExportInstead;
    if (child.exitCode != 0)
        return "the PDF renderer failed on this page (exit code " + std::to_string(child.exitCode) +
               ")" + kExportInstead;
    return {};
}

// Reads exactly n bytes at `at`.
bool readAt(int fd, void* bytes, size_t n, uint64_t at) {
    return readUpTo(fd, bytes, n, at) == static_cast<ssize_t>(n);
}

} // namespace

std::string takeRenderedPage(const ChildOutcome& child, const ChildBounds& bounds,
                             PlanRaster& raster, ImportedPlan& plan) {
    std::string failure = childFailure(child, bounds);
    if (!failure.empty()) return failure;
    const std::string incomplete = "the PDF renderer handed over an incomplete page";
    PdfReply reply;
    struct stat st {};
    if (::fstat(child.reply.get(), &st) != 0 ||
        !readAt(child.reply.get(), &reply, sizeof reply, 0) || reply.magic != PdfReply::kMagic)
        return incomplete;
    reply.message[sizeof reply.message - 1] = '\0';
    plan.pageCount = reply.pageCount;
    if (reply.refused) return reply.message[0] ? reply.message : incomplete;
    const uint64_t rowBytes = uint64_t{reply.width} * 3;
    if (reply.width == 0 || reply.height == 0 || reply.width > kMaxSourceSide ||
        reply.height > kMaxSourceSide || uint64_t{reply.width} * reply.height > kMaxPlanPixels ||
        !(reply.dpi > 0) || !std::isfinite(reply.dpi) || !(reply.across > 0) ||
        !std::isfinite(reply.across) || !(reply.down > 0) || !std::isfinite(reply.down) ||
        static_cast<uint64_t>(st.st_size) < sizeof reply + rowBytes * reply.height)
        return incomplete;
    plan.dpi = reply.dpi;
    plan.pageWidth = reply.across;
    plan.pageHeight = reply.down;
    const std::string refused = raster.start(reply.width, reply.height);
    if (!refused.empty()) return refused;
    std::vector<uint8_t> rgb(rowBytes);
    for (uint32_t y = 0; y < reply.height; ++y) {
        if (!readAt(child.reply.get(), rgb.data(), rgb.size(), sizeof reply + rowBytes * y))
            return incomplete;
        raster.addRow(rgb.data());
    }
    return {};
}

std::string renderPdfPlan(const uint8_t* data, size_t size, const PlanImportOptions& options,
                          PlanRaster& raster, ImportedPlan& plan) {
    if (size > size_t{INT32_MAX}) return "the PDF is too large";
    // poppler runs in a child process: a page can take without end to draw, and nothing
    // stops poppler from outside but the end of its process.
    const ChildOutcome child = runBounded(options.pdfBounds, [&](int replyFd) {
        return renderInChild(data, size, options, replyFd);
    });
    return takeRenderedPage(child, options.pdfBounds, raster, plan);
}

} // namespace walkmere
