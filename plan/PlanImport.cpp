#include "plan/PlanImport.h"

#include "image/BmpReader.h"
#include "image/JpegReader.h"
#include "image/PngReader.h"
#include "plan/PlanBmp.h"
#include "plan/PlanPdf.h"
#include "plan/PlanRaster.h"
#include "survey/BmpInfo.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace walkmere {

namespace {

enum class PlanFormat { Unknown, Bmp, Png, Jpeg, Pdf };

bool startsWith(const uint8_t* data, size_t size, const char* magic, size_t n) {
    return size >= n && std::memcmp(data, magic, n) == 0;
}

PlanFormat formatOf(const uint8_t* data, size_t size) {
    if (startsWith(data, size, "BM", 2)) return PlanFormat::Bmp;
    if (startsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) return PlanFormat::Png;
    if (startsWith(data, size, "\xFF\xD8\xFF", 3)) return PlanFormat::Jpeg;
    if (startsWith(data, size, "%PDF-", 5)) return PlanFormat::Pdf;
    return PlanFormat::Unknown;
}

} // namespace

bool bitmapKeptAsItIs(const BmpInfo& info) {
    return info.compression == BmpInfo::kBiRgb && info.bitCount != 16;
}

namespace {

// A plain bitmap is kept as it is when it needs no scaling: the site file takes every bitmap
// the program loads. Any other is decoded and written afresh: the program's loader leaves the
// pixels a run-length code skips undefined, and shows colour masks wider than 8 bits black,
// so only a plain bitmap is sure to look the same to the program and to the tools.
std::string importBmp(const uint8_t* data, size_t size, const PlanImportOptions& options,
                      PlanRaster& raster, ImportedPlan& plan) {
    const BmpCheck check = checkBmp(data, size, size);
    if (!check.loadable) return "not a usable bitmap: " + check.problem;
    const std::string unreadable = bmpLayoutProblem(data, size, size);
    if (!unreadable.empty()) return "not a usable bitmap: " + unreadable;
    const uint64_t width = static_cast<uint64_t>(check.info->width);
    const uint64_t height = check.info->pixelHeight();
    plan.sourceWidth = static_cast<uint32_t>(width);
    plan.sourceHeight = static_cast<uint32_t>(height);
    const PictureSize fitted = fittedPlanSize(width, height, options.maxSide);
    const bool scaled = fitted.width != width || fitted.height != height;
    if (!scaled && width * height > kMaxPlanPixels)
        return planTooLarge(width, height, options.maxSide.has_value());
    if (!scaled && bitmapKeptAsItIs(*check.info)) {
        plan.bmp.assign(data, data + size);
        plan.width = plan.sourceWidth;
        plan.height = plan.sourceHeight;
        return {};
    }
    // Decoding goes through the whole picture in memory, so it stays within the limit.
    if (width * height > kMaxPlanPixels)
        return "a bitmap is scaled down whole, and " + planTooLarge(width, height, true);
    RgbImage image;
    const std::string problem = readBmpPixels(data, size, image);
    if (!problem.empty()) return problem;
    std::string refusal = raster.start(width, height);
    if (!refusal.empty()) return refusal;
    for (int32_t y = 0; y < image.height; ++y)
        raster.addRow(image.at(0, y));
    return {};
}

std::string importAny(const uint8_t* data, size_t size, const PlanImportOptions& options,
                      ImportedPlan& plan) {
    const PlanFormat format = formatOf(data, size);
    if (format == PlanFormat::Unknown)
        return "not a floor plan this tool reads (BMP, PNG, JPEG or PDF)";
    if (options.maxSide && *options.maxSide == 0) return "the largest side must be at least 1";
    if (options.dpi && !(*options.dpi > 0)) return "the resolution must be above 0 dpi";

    std::optional<uint32_t> maxSide = options.maxSide;
    if (format == PlanFormat::Pdf && !options.dpi && !maxSide)
        maxSide = PlanImportOptions::kDefaultMaxSide;
    PlanRaster raster(maxSide);
    std::string problem;
    switch (format) {
    case PlanFormat::Bmp:
        plan.format = "BMP";
        problem = importBmp(data, size, options, raster, plan);
        if (problem.empty() && !plan.bmp.empty()) return {};
        break;
    case PlanFormat::Png:
        plan.format = "PNG";
        problem = decodePng(data, size, raster);
        break;
    case PlanFormat::Jpeg:
        plan.format = "JPEG";
        problem = decodeJpeg(data, size, raster);
        break;
    case PlanFormat::Pdf:
        plan.format = "PDF";
        problem = renderPdfPlan(data, size, options, raster, plan);
        break;
    case PlanFormat::Unknown:
        break;
    }
    if (!problem.empty()) return problem;
    if (!raster.complete()) return "the " + plan.format + " picture is incomplete";
    plan.bmp = encodePlanBmp(raster);
    plan.width = raster.width();
    plan.height = raster.height();
    plan.sourceWidth = raster.sourceWidth();
    plan.sourceHeight = raster.sourceHeight();
    return {};
}

} // namespace

PlanImportResult importPlanBytes(const uint8_t* data, size_t size, const std::string& name,
                                 const PlanImportOptions& options) {
    PlanImportResult result;
    try {
        result.error = importAny(data, size, options, result.plan);
    } catch (const std::bad_alloc&) {
        result.error = "not enough memory to read the floor plan";
    } catch (const std::exception& e) {
        result.error = std::string("cannot read the floor plan: ") + e.what();
    }
    if (!result.error.empty()) {
        result.error = name + ": " + result.error;
        result.plan = ImportedPlan{};
    }
    return result;
}

PlanImportResult importPlan(const std::string& path, const PlanImportOptions& options) {
    PlanImportResult result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.error = path + ": " + std::strerror(errno);
        return result;
    }
    struct stat st {};
    std::vector<uint8_t> bytes;
    std::string problem;
    if (::fstat(fd, &st) != 0) {
        problem = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        problem = "not a file";
    } else if (static_cast<uint64_t>(st.st_size) > kMaxPlanFileBytes) {
        // No floor plan within kMaxPlanPixels takes more, compressed or not.
        problem = "the file is larger than a floor plan may be (" +
                  std::to_string(kMaxPlanFileBytes / 1'000'000) + " MB)";
    } else {
        try {
            bytes.resize(static_cast<size_t>(st.st_size));
        } catch (const std::bad_alloc&) {
            problem = "not enough memory to read the file";
        }
        size_t got = 0;
        while (problem.empty() && got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) problem = std::strerror(errno);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        bytes.resize(got); // a file that shrank while it was read is taken as it ended
    }
    ::close(fd);
    if (!problem.empty()) {
        result.error = path + ": " + problem;
        return result;
    }
    return importPlanBytes(bytes.data(), bytes.size(), path, options);
}

} // namespace walkmere
