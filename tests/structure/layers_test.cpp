// The folders are layers: a file includes headers of its own folder and of the folders
// below it, never above or beside. Bottom up: platform and res; the shared drawing layer ui;
// link (with the board's wire format); scan beside wifi (the laptop's own adapter, which
// knows nl80211 and nothing of the board's records); board (the stand-in board, fed by a
// scenario or by the adapter), survey; image (the picture codecs), plan (floor plans from
// files), coverage (the maps and the report); siteview, app; then the tools, and bench and
// fuzz on top of everything.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace walkmere {
namespace {

namespace fs = std::filesystem;

const std::map<std::string, int> kLayer = {
    {"platform", 0}, {"res", 0},    {"ui", 1},     {"link", 2},  {"scan", 3},     {"wifi", 3},
    {"board", 5},    {"survey", 6}, {"image", 7},  {"plan", 8},  {"coverage", 9}, {"siteview", 10},
    {"app", 11},     {"tools", 12}, {"bench", 13}, {"fuzz", 13},
};

// Every upward or sideways include in the tree, as "file: include".
std::vector<std::string> includesAgainstTheLayers(const fs::path& root) {
    const std::regex include(R"(^\s*#\s*include\s*"([a-z]+)/)");
    std::vector<std::string> wrong;
    for (const auto& [folder, layer] : kLayer) {
        if (!fs::exists(root / folder)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".h" && ext != ".cpp") continue;
            std::ifstream in(entry.path());
            std::smatch m;
            for (std::string line; std::getline(in, line);) {
                if (!std::regex_search(line, m, include)) continue;
                const std::string to = m[1];
                const auto target = kLayer.find(to);
                if (to == folder || target == kLayer.end()) continue;
                if (target->second >= layer)
                    wrong.push_back(fs::relative(entry.path(), root).string() + ": " + line);
            }
        }
    }
    return wrong;
}

TEST(Layers, NoFileIncludesAFolderAboveOrBesideItsOwn) {
    const char* source = std::getenv("WALKMERE_SOURCE_DIR");
    ASSERT_TRUE(source && *source) << "WALKMERE_SOURCE_DIR is not set";
    ASSERT_TRUE(fs::exists(fs::path(source) / "survey")) << source;
    const std::vector<std::string> wrong = includesAgainstTheLayers(source);
    std::string list;
    for (const std::string& w : wrong)
        list += "\n  " + w;
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " includes against the layers:" << list;
}

} // namespace
} // namespace walkmere
