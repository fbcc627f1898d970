#pragma once
// Helpers for the site tool's tests: running the tool in-process and making site files.

#include "scan/ApRecord.h"
#include "survey/PointRecords.h"
#include "testkit/BmpBytes.h"
#include "testkit/TempDir.h"
#include "tools/site/SiteTool.h"

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace walkmere::sitetooltest {

using Bytes = std::vector<unsigned char>;

struct ToolRun {
    int code = -1;
    std::string out;
    std::string err;
};

inline ToolRun runTool(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"walkmere-site"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    ToolRun run;
    run.code = sitetool::runSiteTool(static_cast<int>(argv.size()), argv.data(), out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

using testkit::makeBmp;
using testkit::put32;

// A record as the board reports it, on the 5 GHz band.
inline ApRecord heardAp(uint8_t macTail, int8_t rssi, int channel, const std::string& ssid) {
    ApRecord r;
    const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, macTail};
    r.setMac(mac);
    r.setRssi(rssi);
    r.setChannelCode(static_cast<uint16_t>(5000 + 5 * channel));
    r.setSsid(ssid);
    return r;
}

// How many times `what` stands in `text`, overlaps included.
inline size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Makes PLAN.bmp and SITE.kvs in `dir` with the tool's create command, at 10 pixels a unit;
// returns the site path.
inline std::string createSite(const testkit::TempDir& dir, int32_t width = 40, int32_t height = 30,
                              const std::string& name = "site.kvs") {
    const auto plan = dir.file(name + ".plan.bmp");
    testkit::writeFileBytes(plan, makeBmp(width, height));
    const std::string site = dir.file(name).string();
    ToolRun r =
        runTool({"create", plan.string(), "-o", site, "--scale-x", "10", "--scale-y", "10"});
    if (r.code != 0) throw std::runtime_error("create failed: " + r.err);
    return site;
}

// A survey point at (x, y) that heard one access point, as the points section holds it.
inline Bytes surveyPointBytes(int32_t x, int32_t y, int rssiDbm) {
    PointRecord point;
    point.setX(x);
    point.setY(y);
    point.setLabel("TEST");
    point.setReadingCount(1);
    ApReading reading;
    reading.setChannel(6);
    reading.setRssi256(static_cast<int16_t>(rssiDbm * 256));
    const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    reading.setMac(mac);
    reading.setSsid("office");
    Bytes bytes(kPointRecordSize + kReadingSize);
    std::copy(point.bytes.begin(), point.bytes.end(), bytes.begin());
    std::copy(reading.bytes.begin(), reading.bytes.end(), bytes.begin() + kPointRecordSize);
    return bytes;
}

// Appends such a point to a site whose points section ends the file, as createSite makes it.
inline void appendSurveyPoint(const std::string& site, int32_t x, int32_t y, int rssiDbm) {
    Bytes bytes = testkit::readFileBytes(site);
    const Bytes point = surveyPointBytes(x, y, rssiDbm);
    bytes.insert(bytes.end(), point.begin(), point.end());
    testkit::writeFileBytes(site, bytes);
}

} // namespace walkmere::sitetooltest
