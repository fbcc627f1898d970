// The open path of a site file and the survey store working on it: the input is the file.
//
// Each run writes the input to a site file in a private folder (on /dev/shm when there is
// one, so the store's flushes cost nothing), validates it, opens it for surveying (which
// decodes the floor plan into a temporary file), checks the decoded bitmap's headers, then
// loads the points, finds, reads, deletes, measures a point and places an access point, and
// checks that the store's counters agree with a store that loads the file afresh.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "scan/ApRecord.h"
#include "survey/BmpInfo.h"
#include "survey/FileOps.h"
#include "survey/OpenedSite.h"
#include "survey/PointRecords.h"
#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"

namespace {

using namespace walkmere;

constexpr size_t kMaxInput = 65536;

const std::string& workFolder() {
    static const std::string folder = [] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/walkmere-fuzz-site.XXXXXX";
        if (!mkdtemp(pattern.data())) __builtin_trap();
        // The decoded floor plan goes beside the site file or into $TMPDIR, and the copy
        // kept before a torn tail is repaired into the data folder: keep all of them here.
        setenv("TMPDIR", pattern.c_str(), 1);
        setenv("WALKMERE_HOME", pattern.c_str(), 1);
        return pattern;
    }();
    return folder;
}

void writeSite(const std::string& path, const uint8_t* data, size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || writeAllAt(fd, data, size, 0) != 0) __builtin_trap();
    close(fd);
}

ApRecord apFrom(uint8_t tail, int8_t rssi) {
    ApRecord r;
    const uint8_t mac[6] = {0x02, 0x11, 0x22, 0x33, 0x44, tail};
    r.setMac(mac);
    r.setRssi(rssi);
    r.setChannelCode(5030);
    r.setSsid("fuzz");
    return r;
}

// v + d, kept inside int32 (a point may sit at INT32_MIN or INT32_MAX).
int32_t nudged(int32_t v, int32_t d) {
    const int64_t n = int64_t{v} + d;
    return n > INT32_MAX || n < INT32_MIN ? v - (d > 0 ? d : -d) * (v > 0 ? 1 : -1) : int32_t(n);
}

struct Counters {
    int32_t locations;
    int32_t readings;
    std::vector<std::array<int64_t, 5>> live; // x, y, kind, readingCount, fileOffset

    static Counters of(const CSurveyStore& store) {
        Counters c{store.locationCount(), store.readingTotal(), {}};
        for (const PointIndexEntry& e : store.index())
            if (e.kind != KIND_DELETED)
                c.live.push_back({e.x, e.y, e.kind, e.readingCount, e.fileOffset});
        return c;
    }
    bool operator==(const Counters&) const = default;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput) return 0;
    const std::string path = workFolder() + "/site.kvs";
    writeSite(path, data, size);
    std::error_code ignored;
    std::filesystem::remove_all(workFolder() + "/repaired", ignored); // the last run's copies

    // Validation alone never changes the file and must agree with the open flow.
    bool acceptedReadOnly;
    {
        ReadOnlySite readOnly = openSiteReadOnly(path);
        acceptedReadOnly = readOnly.accepted();
        if (acceptedReadOnly) {
            const SiteLayout& layout = readOnly.validation.layout;
            if (layout.fileSize != size) __builtin_trap();
            if (layout.header.bitmapOffset() >= size) __builtin_trap();
            if (layout.header.pointsOffset() >= size) __builtin_trap();
            if (layout.planBlockBytes() > size) __builtin_trap();
        } else if (readOnly.fd.valid() && readOnly.validation.refusal->text.empty()) {
            __builtin_trap();
        }
    }

    CSurveyStore store;
    {
        SiteOpenResult opened = openSiteForSurvey(path, store);
        if (!opened.site) {
            if (!opened.refusal || opened.refusal->text.empty()) __builtin_trap();
            if (acceptedReadOnly) __builtin_trap();
            return 0;
        }
        if (!acceptedReadOnly) __builtin_trap();
        const OpenedSite& site = *opened.site;
        if (!site.floorPlanPath().empty()) {
            BmpCheck again = checkBmpFile(site.floorPlanPath());
            if (again.loadable != site.floorPlanCheck().loadable) __builtin_trap();
            if (again.loadable &&
                (!again.info || again.info->pixelHeight() == 0 || again.info->width <= 0))
                __builtin_trap();
        }
        if (!site.hasFloorPlan() && site.floorPlanProblem().empty()) __builtin_trap();
    } // the decoded plan's temporary file goes here

    if (!store.loadPoints()) return 0;

    // Find at the first few points and at a few fixed places; read what is found.
    std::vector<std::pair<int32_t, int32_t>> places = {{0, 0}, {100, 100}, {-5, 7}};
    for (size_t i = 0; i < store.index().size() && i < 4; ++i)
        places.push_back({nudged(store.index()[i].x, 3), nudged(store.index()[i].y, -2)});
    for (auto [x, y] : places) {
        int16_t kind = store.findNearest(x, y);
        if (kind < 0) continue;
        if (store.foundPosition() < 0 ||
            static_cast<size_t>(store.foundPosition()) >= store.index().size())
            __builtin_trap();
        const int count = store.found().readingCount;
        for (int r = 0; r <= count + 1 && r < 4; ++r)
            (void)store.readReading(r);
        if (count > 0) (void)store.readReading(count);
    }
    if (store.findNearest(places.back().first, places.back().second) >= 0)
        (void)store.deletePoint();

    // A measured point with two readings and a placed access point.
    const std::array<ApRecord, 2> heard = {apFrom(1, -40), apFrom(2, -70)};
    store.beginPoint(50, 60, "FUZZ");
    (void)store.commitPoint(heard);
    (void)store.placeAccessPoint(70, 80);

    const Counters kept = Counters::of(store);
    if (!store.loadPoints()) return 0;
    const Counters reloaded = Counters::of(store);
    if (!(kept == reloaded)) __builtin_trap();

    CSurveyStore fresh;
    fresh.adoptSite(path, store.header());
    if (!fresh.loadPoints()) __builtin_trap();
    if (!(Counters::of(fresh) == reloaded)) __builtin_trap();
    return 0;
}
