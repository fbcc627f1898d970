// Where the commands that take -o may write: regular files (through a temporary file and a
// rename), the file a symbolic link leads to, and standard output; never a device, FIFO,
// socket or folder.
#include "site_testing.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>

namespace walkmere {
namespace {

namespace fs = std::filesystem;
using namespace sitetooltest;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SiteOutput : public ::testing::Test {
protected:
    void SetUp() override {
        site = createSite(dir, 40, 30);
        appendSurveyPoint(site, 20, 15, -55);
        fs::create_directory(dir.file("out"));
    }
    // Every command that writes with -o, writing to `target`.
    std::vector<std::vector<std::string>> commands(const std::string& target) const {
        return {{"plan", site, "-o", target},
                {"heatmap", site, "-o", target},
                {"report", site, "-o", target},
                {"create", dir.file("site.kvs.plan.bmp").string(), "-o", target, "--force"}};
    }
    testkit::TempDir dir;
    std::string site;
};

TEST_F(SiteOutput, NeverWritesOverADeviceFifoSocketOrFolder) {
    const fs::path out = dir.file("out");
    std::vector<std::pair<fs::path, std::string>> targets = {
        {out / "fifo", "a FIFO"}, {out / "socket", "a socket"}, {out / "folder", "a directory"}};
    ASSERT_EQ(::mkfifo(targets[0].first.c_str(), 0600), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", targets[1].first.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_directory(targets[2].first);
    // The device /dev/null is, made here: where that is allowed (as root), so that no test
    // ever puts /dev/null itself at risk.
    if (::mknod((out / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        targets.push_back({out / "null", "a character device"});
    const std::vector<std::string> before = namesIn(out);

    for (const auto& [target, type] : targets) {
        struct stat was {};
        ASSERT_EQ(::lstat(target.c_str(), &was), 0);
        for (const auto& args : commands(target.string())) {
            SCOPED_TRACE(args[0] + " -o " + target.string());
            const ToolRun r = runTool(args);
            EXPECT_EQ(r.code, 1);
            EXPECT_EQ(r.err, "walkmere-site: " + target.string() + ": not a regular file (" + type +
                                 "); only a regular file is written (use '-o -' for standard "
                                 "output)\n");
            struct stat now {};
            ASSERT_EQ(::lstat(target.c_str(), &now), 0);
            EXPECT_EQ(now.st_mode & S_IFMT, was.st_mode & S_IFMT);
            EXPECT_EQ(now.st_ino, was.st_ino);
        }
    }
    EXPECT_EQ(namesIn(out), before);
    ::close(listener);
}

// A link keeps pointing where it did; the file it leads to (through a chain of links, and
// also one that does not exist yet) gets the output; no temporary file stays anywhere.
TEST_F(SiteOutput, ALinkIsFollowedAndTheFileItLeadsToIsReplaced) {
    const fs::path out = dir.file("out");
    fs::create_directory(out / "real");
    testkit::writeFileBytes(out / "real" / "old", Bytes{1, 2, 3});
    fs::create_symlink("real/old", out / "link");
    fs::create_symlink("link", out / "chain");
    fs::create_symlink("real/new", out / "dangling");

    for (const std::string name : {"link", "chain", "dangling"}) {
        const fs::path link = out / name;
        const fs::path leadsTo = fs::read_symlink(link);
        for (const auto& args : commands(link.string())) {
            SCOPED_TRACE(args[0] + " -o " + name);
            const ToolRun r = runTool(args);
            ASSERT_EQ(r.code, 0) << r.err;
            EXPECT_TRUE(fs::is_symlink(link));
            EXPECT_EQ(fs::read_symlink(link), leadsTo);
            // What the link leads to now holds what the command writes to a plain file.
            std::vector<std::string> plain = args;
            plain[3] = dir.file("plain").string();
            ASSERT_EQ(runTool(plain).code, 0);
            EXPECT_EQ(testkit::readFileBytes(link), testkit::readFileBytes(plain[3]));
        }
    }
    EXPECT_EQ(namesIn(out), (std::vector<std::string>{"chain", "dangling", "link", "real"}));
    EXPECT_EQ(namesIn(out / "real"), (std::vector<std::string>{"new", "old"}));
}

TEST_F(SiteOutput, DashWritesToStandardOutputAndTellsTheRestOnStandardError) {
    for (const auto& args : commands("-")) {
        SCOPED_TRACE(args[0]);
        const ToolRun r = runTool(args);
        ASSERT_EQ(r.code, 0) << r.err;
        std::vector<std::string> plain = args;
        plain[3] = dir.file("plain").string();
        const ToolRun written = runTool(plain);
        ASSERT_EQ(written.code, 0);
        const Bytes expected = testkit::readFileBytes(plain[3]);
        EXPECT_EQ(Bytes(r.out.begin(), r.out.end()), expected);
        // The summary line, the same but for the name.
        EXPECT_EQ(r.err.substr(1), written.out.substr(plain[3].size()));
    }
    EXPECT_FALSE(fs::exists("-"));
    EXPECT_EQ(namesIn(dir.file("out")), std::vector<std::string>{});
}

} // namespace
} // namespace walkmere
