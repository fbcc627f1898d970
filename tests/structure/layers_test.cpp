// The folders are layers, and the edges between them are listed here one by one: a file
// includes headers of its own folder and of the folders its folder may use, never others.
// Bottom up: platform and res; the shared drawing layer ui; link (with the board's wire
// format); scan beside wifi (the laptop's own adapter, which knows nl80211 and nothing of the
// board's records); sim (the simulated site, a source of scan dumps as the adapter is);
// board (the stand-in board, fed by a scenario or by the adapter); survey; image (the
// picture codecs), plan (floor plans from files), coverage (the maps, the report, a site
// model laid over its site file's plan and the coverage it predicts); siteview, app; then
// the tools. bench and fuzz may use everything.
//
// The same edges are the links of the folders' libraries (each folder's CMakeLists.txt),
// and tests/structure links every library alone so that a call across a missing edge fails
// to link.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace walkmere {
namespace {

namespace fs = std::filesystem;

using Edges = std::map<std::string, std::set<std::string>>;

const Edges kMayInclude = {
    {"platform", {}},
    {"res", {}},
    {"ui", {"res"}},
    {"link", {"platform"}},
    {"scan", {"link", "platform", "ui"}},
    {"wifi", {"link", "platform"}},
    {"sim", {"platform", "wifi"}},
    {"board", {"link", "platform", "scan", "wifi"}},
    {"survey", {"platform", "scan"}},
    {"image", {"platform", "survey"}},
    {"plan", {"image", "platform", "survey"}},
    {"coverage", {"image", "platform", "sim", "survey"}},
    {"siteview", {"coverage", "platform", "survey", "ui"}},
    {"app",
     {"board", "coverage", "image", "link", "platform", "res", "scan", "sim", "siteview", "survey",
      "ui"}},
    {"tools", {"board", "coverage", "image", "plan", "platform", "scan", "sim", "survey", "wifi"}},
};

struct IncludeScan {
    std::vector<std::string> against; // "file: include" along no listed edge
    Edges used;                       // the edges some include takes
};

IncludeScan scanIncludes(const fs::path& root) {
    const std::regex include(R"(^\s*#\s*include\s*"([a-z]+)/)");
    IncludeScan scan;
    for (const auto& [folder, allowed] : kMayInclude) {
        if (!fs::exists(root / folder)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".h" && ext != ".cpp") continue;
            std::ifstream in(entry.path());
            std::smatch m;
            for (std::string line; std::getline(in, line);) {
                if (!std::regex_search(line, m, include)) continue;
                const std::string to = m[1];
                if (to == folder || !kMayInclude.contains(to)) continue;
                if (allowed.contains(to))
                    scan.used[folder].insert(to);
                else
                    scan.against.push_back(fs::relative(entry.path(), root).string() + ": " + line);
            }
        }
    }
    return scan;
}

// A folder that reaches itself through the listed edges, or "".
std::string folderInACycle() {
    std::map<std::string, int> state; // 1 on the path, 2 done
    std::function<bool(const std::string&)> cycles = [&](const std::string& folder) {
        if (state[folder] == 1) return true;
        if (state[folder] == 2) return false;
        state[folder] = 1;
        for (const std::string& next : kMayInclude.at(folder))
            if (cycles(next)) return true;
        state[folder] = 2;
        return false;
    };
    for (const auto& [folder, edges] : kMayInclude)
        if (cycles(folder)) return folder;
    return {};
}

TEST(Layers, EveryIncludeTakesAListedEdgeAndEveryListedEdgeIsTaken) {
    const char* source = std::getenv("WALKMERE_SOURCE_DIR");
    ASSERT_TRUE(source && *source) << "WALKMERE_SOURCE_DIR is not set";
    ASSERT_TRUE(fs::exists(fs::path(source) / "survey")) << source;
    EXPECT_EQ(folderInACycle(), "") << "the listed edges make a cycle";

    IncludeScan scan = scanIncludes(source);
    std::string list;
    for (const std::string& w : scan.against)
        list += "\n  " + w;
    EXPECT_TRUE(scan.against.empty()) << scan.against.size() << " includes along no edge:" << list;

    // An edge nothing takes any more is taken out of the list (and of the folder's links).
    for (const auto& [folder, allowed] : kMayInclude)
        for (const std::string& to : allowed)
            EXPECT_TRUE(scan.used[folder].contains(to)) << folder << " -> " << to << " is unused";
}

} // namespace
} // namespace walkmere
