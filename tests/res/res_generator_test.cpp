// The committed pictures and sounds are exactly what tools/res/make_resources.py writes.

#include "testkit/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace walkmere {
namespace {

namespace fs = std::filesystem;
using testkit::readFileBytes;
using testkit::TempDir;

fs::path sourceDir() {
    const char* dir = std::getenv("WALKMERE_SOURCE_DIR");
    if (dir && *dir) return fs::path(dir);
    return fs::path(WALKMERE_RES_SOURCE_DIR);
}

bool havePython() {
    return std::system("python3 -c pass >/dev/null 2>&1") == 0;
}

std::string quoted(const fs::path& p) {
    std::string out = "'";
    for (char c : p.string())
        out += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int runGenerator(const std::string& arguments) {
    const fs::path script = sourceDir() / "tools" / "res" / "make_resources.py";
    const int status =
        std::system(("python3 " + quoted(script) + " " + arguments + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> listedFiles(const fs::path& qrc) {
    std::ifstream in(qrc);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    std::vector<std::string> files;
    const std::regex entry("<file>([^<]+)</file>");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), entry); it != std::sregex_iterator();
         ++it)
        files.push_back((*it)[1]);
    return files;
}

TEST(ResourceGenerator, RewritesTheCommittedFilesByteForByte) {
    if (!havePython()) GTEST_SKIP() << "python3 is not installed";
    TempDir out;
    ASSERT_EQ(runGenerator(quoted(out.path())), 0);

    const fs::path committed = sourceDir() / "res";
    std::vector<std::string> files = listedFiles(committed / "resources.qrc");
    ASSERT_GE(files.size(), 12u);
    files.push_back("resources.qrc");
    for (const std::string& name : files) {
        SCOPED_TRACE(name);
        const auto made = readFileBytes(out.file(name));
        ASSERT_FALSE(made.empty());
        EXPECT_TRUE(made == readFileBytes(committed / name))
            << "res/" << name << " differs from the generator's output; run "
            << "python3 tools/res/make_resources.py res/";
    }
}

TEST(ResourceGenerator, RefusesAMissingOutputFolderArgument) {
    if (!havePython()) GTEST_SKIP() << "python3 is not installed";
    EXPECT_EQ(runGenerator(""), 2);
}

} // namespace
} // namespace walkmere
