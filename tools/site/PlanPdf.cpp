#include "tools/site/PlanDecoders.h"

#include "survey/BmpInfo.h"

#include <cmath>
#include <memory>
#include <vector>

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

namespace walkmere::sitetool {

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

std::string renderPage(const poppler::document& doc, const PlanImportOptions& options,
                       PlanRaster& raster, ImportedPlan& plan) {
    plan.pageCount = doc.pages();
    if (options.page < 1 || options.page > plan.pageCount)
        return "there is no page " + std::to_string(options.page) + "; the document has " +
               std::to_string(plan.pageCount) + (plan.pageCount == 1 ? " page" : " pages");
    const std::unique_ptr<poppler::page> page(doc.create_page(options.page - 1));
    if (!page) return "page " + std::to_string(options.page) + " cannot be read";

    // The page as it is shown: a quarter turn swaps its sides.
    const poppler::rectf box = page->page_rect();
    double across = box.width();
    double down = box.height();
    const auto turn = page->orientation();
    if (turn == poppler::page::landscape || turn == poppler::page::seascape)
        std::swap(across, down);
    if (!(across > 0 && down > 0) || !std::isfinite(across) || !std::isfinite(down))
        return "page " + std::to_string(options.page) + " has no area";

    // At the dpi asked for, or the largest that keeps the longer side within the largest
    // side; a dpi asked for is lowered when the page would not fit a largest side given.
    const double longer = std::max(across, down);
    const double fitting =
        options.maxSide.value_or(PlanImportOptions::kDefaultMaxSide) * kPointsPerInch / longer;
    double dpi = options.dpi.value_or(fitting);
    if (options.dpi && options.maxSide && dpi > fitting) dpi = fitting;
    if (!(dpi > 0) || !std::isfinite(dpi)) return "the resolution must be above 0 dpi";
    const uint64_t width = pixelsFor(across, dpi);
    const uint64_t height = pixelsFor(down, dpi);
    if (width * height > kMaxPlanPixels || width > kMaxSourceSide || height > kMaxSourceSide)
        return "page " + std::to_string(options.page) + " at " + std::to_string(std::lround(dpi)) +
               " dpi would be " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels, " + morePixelsThanAPlan() + "; give a lower dpi";
    plan.dpi = dpi;

    poppler::page_renderer renderer;
    renderer.set_paper_color(0xFFFFFFFF);
    renderer.set_render_hint(poppler::page_renderer::antialiasing);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing);
    renderer.set_image_format(poppler::image::format_argb32);
    const poppler::image image = renderer.render_page(page.get(), dpi, dpi);
    if (!image.is_valid() || image.format() != poppler::image::format_argb32 ||
        image.width() <= 0 || image.height() <= 0)
        return "page " + std::to_string(options.page) + " cannot be rendered";

    const auto w = static_cast<uint32_t>(image.width());
    const auto h = static_cast<uint32_t>(image.height());
    const std::string refusal = raster.start(w, h);
    if (!refusal.empty()) return refusal;
    std::vector<uint8_t> rgb(size_t{w} * 3);
    for (uint32_t y = 0; y < h; ++y) {
        // Each pixel a native-endian 32-bit 0xAARRGGBB: blue first in memory here.
        const auto* row = reinterpret_cast<const uint8_t*>(image.const_data()) +
                          size_t{y} * image.bytes_per_row();
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = row + size_t{x} * 4;
            rgb[size_t{x} * 3] = onWhite(p[2], p[3]);
            rgb[size_t{x} * 3 + 1] = onWhite(p[1], p[3]);
            rgb[size_t{x} * 3 + 2] = onWhite(p[0], p[3]);
        }
        raster.addRow(rgb.data());
    }
    return {};
}

} // namespace

std::string renderPdfPlan(const uint8_t* data, size_t size, const PlanImportOptions& options,
                          PlanRaster& raster, ImportedPlan& plan) {
    if (size > size_t{INT32_MAX}) return "the PDF is too large";
    std::string complaint;
    poppler::set_debug_error_function(keepPopplerMessage, &complaint);
    std::string result;
    {
        // poppler reads the bytes in place; they outlive the document.
        const std::unique_ptr<poppler::document> doc(poppler::document::load_from_raw_data(
            reinterpret_cast<const char*>(data), static_cast<int>(size)));
        if (!doc)
            result = "damaged PDF" + (complaint.empty() ? std::string() : ": " + complaint);
        else if (doc->is_locked())
            result = "the PDF is protected by a password";
        else
            result = renderPage(*doc, options, raster, plan);
    }
    poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr);
    return result;
}

} // namespace walkmere::sitetool
