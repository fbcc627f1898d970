#pragma once
// Helpers for the site tool's tests: running the tool in-process and making site files.

#include "testkit/TempDir.h"
#include "tools/site/SiteTool.h"

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

inline void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A 24-bit bottom-up Windows bitmap file with a pattern of pixels.
inline Bytes makeBmp(int32_t width, int32_t height) {
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
    const uint32_t pixels = stride * static_cast<uint32_t>(height);
    Bytes b(54 + pixels);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, 54 + pixels);
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, static_cast<uint32_t>(width));
    put32(b, 22, static_cast<uint32_t>(height));
    b[26] = 1;
    b[28] = 24;
    for (uint32_t i = 0; i < pixels; ++i)
        b[54 + i] = static_cast<unsigned char>((i % 97) * 3 + (i / stride) % 5);
    return b;
}

// Makes PLAN.bmp and SITE.kvs in `dir` with the tool's create command; returns the site path.
inline std::string createSite(const testkit::TempDir& dir, int32_t width = 40, int32_t height = 30,
                              const std::string& name = "site.kvs") {
    const auto plan = dir.file(name + ".plan.bmp");
    testkit::writeFileBytes(plan, makeBmp(width, height));
    const std::string site = dir.file(name).string();
    ToolRun r = runTool({"create", plan.string(), "-o", site});
    if (r.code != 0) throw std::runtime_error("create failed: " + r.err);
    return site;
}

} // namespace walkmere::sitetooltest
