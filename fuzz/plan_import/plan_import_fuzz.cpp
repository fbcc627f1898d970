// Floor plans read from BMP, PNG, JPEG and PDF files: the input is the file.
//
// Each input is imported at its own size and again fitted to a largest side of 48 pixels. A
// refusal must say why, after the name; a plan must be a bitmap the program's own checks and
// the tools' reader take, of the size reported, within the pixel limit and the largest side.
//
// A PDF is imported once, fitted to 48 pixels, through the same child process as create uses,
// held to a second of processor time, five of real time and 512 MB: poppler is not built
// with the fuzzer's hooks, so its faults show only as the child's end, which must be reported
// like any other. Forking for each PDF costs a few milliseconds; in-process rendering could
// not be bounded at all. The child resets the fuzzer's crash handlers, so a child that
// crashes leaves no artifact of its own.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "image/BmpReader.h"
#include "plan/PlanImport.h"
#include "survey/BmpInfo.h"

namespace {

using namespace walkmere;

constexpr size_t kMaxInput = 65536;
constexpr uint32_t kSmallSide = 48;
// A run-length code of a few bytes can stand for a bitmap of a hundred million pixels, which
// is decoded whole: bounded, but seconds a try under the sanitizers. Such inputs only slow
// the search; the decoding is the same for smaller pictures.
constexpr uint64_t kMostBitmapPixels = 4'000'000;

void checkPlan(const PlanImportResult& result, std::optional<uint32_t> maxSide) {
    if (!result.ok()) {
        if (result.error.rfind("fuzz: ", 0) != 0 || result.error.size() <= 6) __builtin_trap();
        if (!result.plan.bmp.empty()) __builtin_trap();
        return;
    }
    const ImportedPlan& plan = result.plan;
    if (plan.format.empty()) __builtin_trap();
    const BmpCheck check = checkBmp(plan.bmp.data(), plan.bmp.size(), plan.bmp.size());
    if (!check.loadable || !check.info) __builtin_trap();
    if (uint64_t{plan.width} * plan.height > kMaxPlanPixels) __builtin_trap();
    if (static_cast<uint32_t>(check.info->width) != plan.width ||
        check.info->pixelHeight() != plan.height)
        __builtin_trap();
    if (maxSide && (plan.width > *maxSide || plan.height > *maxSide)) __builtin_trap();
    // Kept as it came or written afresh, every command must be able to read it.
    RgbImage image;
    if (!readBmpPixels(plan.bmp.data(), plan.bmp.size(), image).empty()) __builtin_trap();
    if (static_cast<uint32_t>(image.width) != plan.width ||
        static_cast<uint32_t>(image.height) != plan.height)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput) return 0;
    const BmpCheck bitmap = checkBmp(data, size, size);
    if (bitmap.info &&
        uint64_t(std::max(bitmap.info->width, 0)) * bitmap.info->pixelHeight() > kMostBitmapPixels)
        return 0;
    if (size >= 5 && std::memcmp(data, "%PDF-", 5) == 0) {
        PlanImportOptions options;
        options.maxSide = kSmallSide;
        options.pdfBounds = {1, 5, uint64_t{512} << 20};
        checkPlan(importPlanBytes(data, size, "fuzz", options), options.maxSide);
        return 0;
    }
    for (const std::optional<uint32_t> maxSide : {std::optional<uint32_t>{}, {kSmallSide}}) {
        PlanImportOptions options;
        options.maxSide = maxSide;
        checkPlan(importPlanBytes(data, size, "fuzz", options), maxSide);
    }
    return 0;
}
