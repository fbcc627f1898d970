// Floor plans that would take without end: a PDF page drawn in a child process held to its
// bounds, every way that child can fail reported and reaped, and a large PNG scaled down
// with work in proportion to its pixels, a larger one refused before decoding.
#include "plan/PlanImport.h"
#include "plan/PlanPdf.h"
#include "testkit/PdfBytes.h"
#include "testkit/PngBytes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace walkmere {
namespace {

using Bytes = std::vector<uint8_t>;

// No child of this process is left, running or as a zombie.
bool noChildLeft() {
    siginfo_t info{};
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG) != 0 && errno == ECHILD;
}

TEST(PlanBounds, APdfPageThatDrawsWithoutEndIsStoppedAtItsBound) {
    // Forms 40 deep, each drawing the next twice: 2^40 squares.
    const Bytes pdf = testkit::writePdf({{200, 100, 0, 0, 10, 10, "1 0 0", 0, {}, 40}});
    PlanImportOptions options;
    options.pdfBounds.cpuSeconds = 1;
    const PlanImportResult r = importPlanBytes(pdf.data(), pdf.size(), "plan.pdf", options);
    EXPECT_EQ(r.error, "plan.pdf: the PDF page takes too long to draw (more than 1 s of processor "
                       "time); export the page as a PNG and make the site from that");
    EXPECT_TRUE(noChildLeft());
}

TEST(PlanBounds, EveryWayTheRenderingChildFailsIsReportedAndReaped) {
    // A second of processor time within a minute, or a second of real time for the child
    // that waits.
    ChildBounds bounds;
    bounds.cpuSeconds = 1;
    bounds.wallSeconds = 60;
    bounds.memoryBytes = uint64_t{64} << 20;
    struct Case {
        const char* name;
        std::function<int(int)> work;
        std::string said;
        unsigned wallSeconds = 60;
    };
    const Case cases[] = {
        {"crash", [](int) { return ::raise(SIGSEGV); }, "failed on this page (Segmentation fault)"},
        {"killed", [](int) { return ::raise(SIGKILL); }, "failed on this page (Killed)"},
        {"spins",
         [](int) {
             volatile unsigned spun = 0;
             for (;;)
                 spun = spun + 1;
             return 0;
         },
         "takes too long to draw (more than 1 s of processor time)"},
        {"waits", [](int) { return ::pause(); }, "takes too long to draw (more than 1 s)", 1},
        {"maps more than its memory",
         [&](int) {
             void* p = ::mmap(nullptr, bounds.memoryBytes * 2, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
             return p == MAP_FAILED ? 0 : 3; // an answer left short
         },
         "handed over an incomplete page"},
        {"out of memory", [](int) -> int { throw std::bad_alloc(); },
         "needs more memory to draw than the 64 MB allowed"},
        {"poppler out of memory",
         [](int) {
             std::fputs("Out of memory\n", stderr);
             std::abort();
             return 0;
         },
         "needs more memory to draw than the 64 MB allowed"},
        {"exits", [](int) { return 3; }, "failed on this page (exit code 3)"},
        {"short answer", [](int fd) { return ::write(fd, "WPDF", 4) == 4 ? 0 : 1; },
         "handed over an incomplete page"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlanRaster raster({});
        ImportedPlan plan;
        bounds.wallSeconds = c.wallSeconds;
        const std::string said = takeRenderedPage(runBounded(bounds, c.work), bounds, raster, plan);
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_FALSE(raster.complete());
        EXPECT_TRUE(noChildLeft());
    }
}

TEST(PlanBounds, ALargePngIsScaledDownAndALargerOneRefusedUnread) {
    // 20000 x 20000, four plans' worth of pixels in a few hundred kilobytes, scaled to 4000.
    const Bytes large =
        testkit::writePngRows(20000, 20000, PNG_COLOR_TYPE_GRAY, 1, [](uint32_t y, auto row) {
            std::memset(row.data(), y < 10000 ? 0x00 : 0xFF, row.size());
        });
    PlanImportOptions options;
    options.maxSide = 4000;
    const PlanImportResult r = importPlanBytes(large.data(), large.size(), "plan", options);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.plan.width, 4000u);
    EXPECT_EQ(r.plan.height, 4000u);

    // 100000 x 100000 announced, a hundred plans' worth: refused before a row is decoded.
    const Bytes larger = testkit::pngAnnouncing(100000, 100000);
    EXPECT_EQ(importPlanBytes(larger.data(), larger.size(), "plan", options).error,
              "plan: 100000 x 100000 pixels is too large to scale down (at most 1000000000 "
              "pixels); save the picture at a smaller size");
}

} // namespace
} // namespace walkmere
