// The survey report as a page: the survey dates it takes from the file system, and the
// memory it needs as the count of networks grows.
#include "testkit/SiteToolTesting.h"

#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"
#include "testkit/ScopedEnv.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <malloc.h>
#include <new>
#include <random>
#include <regex>
#include <sys/stat.h>

// Every allocation through new is counted, so that the test can read the most the heap held
// while the report was made.
namespace {
std::atomic<size_t> liveBytes{0};
std::atomic<size_t> peakBytes{0};

void* countedAllocation(size_t n) noexcept {
    void* p = std::malloc(n ? n : 1);
    if (!p) return nullptr;
    const size_t live = liveBytes += malloc_usable_size(p);
    size_t peak = peakBytes;
    while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) {
    }
    return p;
}

void countedRelease(void* p) noexcept {
    if (!p) return;
    liveBytes -= malloc_usable_size(p);
    std::free(p);
}
} // namespace

// Every form that a sanitizer's runtime also defines, so that none of its own is paired
// with these.
void* operator new(size_t n) {
    if (void* p = countedAllocation(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) {
    return operator new(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    return countedAllocation(n);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    return countedAllocation(n);
}
void operator delete(void* p) noexcept {
    countedRelease(p);
}
void operator delete[](void* p) noexcept {
    countedRelease(p);
}
void operator delete(void* p, size_t) noexcept {
    countedRelease(p);
}
void operator delete[](void* p, size_t) noexcept {
    countedRelease(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    countedRelease(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    countedRelease(p);
}

namespace walkmere {
namespace {

using namespace sitetooltest;

// A site of a width x height plan of noise (its maps do not compress), surveyed by the store
// at `points` points in a row, each hearing the access point `ap` of network "n<ap % networks>".
std::string surveyedSite(const testkit::TempDir& dir, int32_t width, int32_t height, int points,
                         int networks) {
    Bytes bmp = makeBmp(width, height);
    std::mt19937 random(5);
    for (size_t i = 54; i < bmp.size(); ++i)
        bmp[i] = uint8_t(random());
    const std::string name = "site-" + std::to_string(networks);
    testkit::writeFileBytes(dir.file(name + ".bmp"), bmp);
    const std::string site = dir.file(name + ".kvs").string();
    ToolRun created = runTool({"create", dir.file(name + ".bmp").string(), "-o", site});
    if (created.code != 0) throw std::runtime_error(created.err);

    CSurveyStore store;
    store.adoptSite(site, openSiteReadOnly(site).validation.layout.header);
    for (int ap = 0; ap < points; ++ap) {
        store.beginPoint(10 + ap * (width - 20) / points, height / 2, "TEST");
        const ApRecord heard[] = {
            heardAp(uint8_t(ap), -50, 6, "n" + std::to_string(ap % networks))};
        if (store.commitPoint(heard).stored != 1)
            throw std::runtime_error("a point was not stored");
    }
    return site;
}

// The file keeps no time per point, so the dates are the file's: a copy that kept the
// original's modification time (cp -p, rsync -a) was born after its last change, and then
// only the last change is given. The birth time cannot be set; the modification time is.
TEST(ReportDates, NeverRunBackwards) {
    struct Case {
        const char* zone;
        int64_t modified;
        const char* row; // a regular expression
    };
    const Case cases[] = {
        {"UTC0", 1768471200, // 2026-01-15 10:00 UTC, before the file was made
         "<td>last change 2026-01-15 10:00 UTC \\(the file&#39;s creation date is that of a "
         "copy\\) <small>"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1768471200,
         "<td>last change 2026-01-15 11:00 CET \\(the file&#39;s creation date is that of a "
         "copy\\) <small>"},
        {"<+0530>-5:30", 1768471200, // a zone without a name of its own
         "<td>last change 2026-01-15 15:30 \\+0530 \\(the file&#39;s creation date is that of a "
         "copy\\) <small>"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 4083998400, // 2099-06-01 12:00 UTC, after it was made
         "<td>20\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d CES?T to 2099-06-01 14:00 CEST <small>"},
    };
    testkit::TempDir dir;
    const std::string site = surveyedSite(dir, 40, 30, 1, 1);
    struct statx times {};
    ASSERT_EQ(statx(AT_FDCWD, site.c_str(), 0, STATX_BTIME, &times), 0);
    if (!(times.stx_mask & STATX_BTIME)) GTEST_SKIP() << "this file system keeps no birth time";

    const std::string page = dir.file("report.html").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone + std::string(" ") + std::to_string(c.modified));
        const struct timespec set[2] = {{0, UTIME_OMIT}, {c.modified, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, site.c_str(), set, 0), 0);
        testkit::ScopedEnv zone("TZ", c.zone);
        tzset();
        const ToolRun r = runTool({"report", site, "-o", page, "--force"});
        ASSERT_EQ(r.code, 0) << r.err;
        const auto bytes = testkit::readFileBytes(page);
        const std::string html(bytes.begin(), bytes.end());
        const std::string row = html.substr(html.find("<th>Survey dates</th><td>"), 200);
        EXPECT_TRUE(std::regex_search(row, std::regex(c.row))) << row;
    }
    tzset();
}

// Each network's map is written out as it is made: a site with 40 networks needs no more
// memory for its report than one with 2, over the same plan and points.
TEST(ReportMemory, DoesNotGrowWithTheCountOfNetworks) {
    constexpr int32_t kWidth = 240, kHeight = 180;
    testkit::TempDir dir;
    size_t growth[2] = {};
    const int networks[2] = {2, 40};
    for (int i = 0; i < 2; ++i) {
        const std::string site = surveyedSite(dir, kWidth, kHeight, 40, networks[i]);
        const std::string page = dir.file("report.html").string();
        const size_t before = liveBytes;
        peakBytes = before;
        const ToolRun r = runTool({"report", site, "-o", page, "--force"});
        ASSERT_EQ(r.code, 0) << r.err;
        growth[i] = peakBytes - before;
    }
    EXPECT_LT(growth[1], growth[0] + size_t(kWidth) * kHeight * 3)
        << "2 networks: " << growth[0] << " bytes, 40 networks: " << growth[1] << " bytes";
}

} // namespace
} // namespace walkmere
