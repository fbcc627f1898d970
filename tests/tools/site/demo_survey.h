#pragma once
// The bundled demo office after a short scripted survey: a walk down the corridor and back
// through the rooms with four access points heard, one of them placed on the plan. Shared
// by the tests that look at the demo's heatmap and report.

#include "scan/ApRecord.h"
#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"
#include "testkit/TempDir.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace walkmere::demosurvey {

struct DemoAp {
    uint8_t macTail;
    int x, y;
    int channel;
    const char* ssid;
};

// Four access points of the demo office; what a point hears falls off with distance. The
// guest network's second AP shares channel 1 with the first office AP, so their cells
// overlap on one channel.
inline const DemoAp kAps[] = {{0x11, 150, 150, 1, "office"},
                              {0x12, 650, 150, 6, "office"},
                              {0x13, 400, 480, 11, "guest"},
                              {0x14, 420, 220, 1, "guest"}};

inline std::vector<ApRecord> heardAt(int x, int y) {
    std::vector<ApRecord> heard;
    for (const DemoAp& ap : kAps) {
        const double d = std::hypot(x - ap.x, y - ap.y);
        const int rssi = static_cast<int>(-35 - d / 8);
        if (rssi < -92) continue;
        ApRecord r;
        const uint8_t mac[6] = {0x00, 0x0A, 0xF8, 0x12, 0x34, ap.macTail};
        r.setMac(mac);
        r.setRssi(static_cast<int8_t>(rssi));
        r.setChannelCode(static_cast<uint16_t>(5000 + 5 * ap.channel));
        r.setSsid(ap.ssid);
        heard.push_back(r);
    }
    return heard;
}

// Copies res/demo/office.kvs into `dir` as office.kvs, surveys it and returns its path.
// Throws when any step of the walk is refused.
inline std::string makeSurveyedDemoSite(const testkit::TempDir& dir) {
    const char* source = std::getenv("WALKMERE_SOURCE_DIR");
    if (!source) throw std::runtime_error("WALKMERE_SOURCE_DIR is not set");
    const std::string site = dir.file("office.kvs").string();
    std::filesystem::copy_file(std::filesystem::path(source) / "res/demo/office.kvs", site);

    CSurveyStore store;
    ReadOnlySite opened = openSiteReadOnly(site);
    if (!opened.accepted()) throw std::runtime_error(site + ": the demo site is not accepted");
    store.adoptSite(site, opened.validation.layout.header);

    // A walk down the corridor and back through the rooms.
    Notices told; // what the survey had to tell the surveyor
    auto take = [&](int x, int y) {
        store.beginPoint(x, y, "TEST");
        const CommitOutcome committed = store.commitPoint(heardAt(x, y));
        told.insert(told.end(), committed.notices.begin(), committed.notices.end());
        if (committed.stored != 1)
            throw std::runtime_error("the point at " + std::to_string(x) + "," + std::to_string(y) +
                                     " was not stored");
    };
    for (int x = 80; x <= 720; x += 80) {
        take(x, 300);
        take(x, x % 160 ? 150 : 450);
    }
    const StoreOutcome placed = store.placeAccessPoint(kAps[2].x, kAps[2].y);
    told.insert(told.end(), placed.notices.begin(), placed.notices.end());
    if (!placed) throw std::runtime_error("the access point was not placed");
    if (!told.empty()) throw std::runtime_error("the survey asked: " + told.front().text);
    return site;
}

// The build folder's artifacts/, where tests keep pictures and pages for people to look at
// (the system's temporary folder when run outside the build).
inline std::filesystem::path artifactsFolder() {
    const char* build = std::getenv("WALKMERE_BUILD_DIR");
    std::filesystem::path dir =
        build ? std::filesystem::path(build) / "artifacts" : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace walkmere::demosurvey
