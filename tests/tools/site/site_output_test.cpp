// Where the commands that take -o may write: regular files (through a temporary file and a
// rename), the file a symbolic link leads to, and standard output; never a device, FIFO
// or folder.
#include "testkit/SiteToolTesting.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>

namespace walkmere {
namespace {

namespace fs = std::filesystem;
using namespace sitetooltest;

class SiteOutput : public ::testing::Test {
protected:
    void SetUp() override {
        site = createSite(dir, 40, 30);
        appendSurveyPoint(site, 20, 15, -55);
        fs::create_directory(out);
    }
    // Every command that writes with -o, writing to `target`.
    std::vector<std::vector<std::string>> commands(const std::string& target) const {
        return {{"plan", site, "-o", target},
                {"heatmap", site, "-o", target},
                {"report", site, "-o", target},
                {"create", dir.file("site.kvs.plan.bmp").string(), "-o", target, "--force",
                 "--scale-x", "10"}};
    }
    size_t filesInOut() const { return std::distance(fs::directory_iterator(out), {}); }
    testkit::TempDir dir;
    fs::path out = dir.file("out");
    std::string site;
};

TEST_F(SiteOutput, NeverWritesOverADeviceFifoOrFolder) {
    std::vector<std::pair<fs::path, std::string>> targets = {{out / "fifo", "a FIFO"},
                                                             {out / "folder", "a directory"}};
    ASSERT_EQ(::mkfifo(targets[0].first.c_str(), 0600), 0);
    fs::create_directory(targets[1].first);
    // The device /dev/null is, made here where that is allowed (as root): no test ever puts
    // /dev/null itself at risk.
    if (::mknod((out / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        targets.push_back({out / "null", "a character device"});

    for (const auto& [target, type] : targets) {
        struct stat was {};
        ASSERT_EQ(::lstat(target.c_str(), &was), 0);
        for (const auto& args : commands(target.string())) {
            SCOPED_TRACE(args[0] + " -o " + target.string());
            const ToolRun r = runTool(args);
            EXPECT_EQ(r.code, 1);
            EXPECT_EQ(r.err, "walkmere-site: " + target.string() + ": not a regular file (" + type +
                                 "); only a regular file is written (use '-o -' for " +
                                 "standard output)\n");
            struct stat now {};
            ASSERT_EQ(::lstat(target.c_str(), &now), 0);
            EXPECT_EQ(now.st_mode, was.st_mode);
            EXPECT_EQ(now.st_ino, was.st_ino);
        }
    }
    EXPECT_EQ(filesInOut(), targets.size()) << "no temporary file is left";
}

// A link keeps pointing where it did, and the file it leads to (through a chain of links,
// or not there yet) gets the output.
TEST_F(SiteOutput, ALinkIsFollowedAndTheFileItLeadsToIsReplaced) {
    fs::create_directory(out / "real");
    testkit::writeFileBytes(out / "real" / "old", Bytes{1, 2, 3});
    fs::create_symlink("real/old", out / "link");
    fs::create_symlink("link", out / "chain");
    fs::create_symlink("real/new", out / "dangling");
    ASSERT_EQ(runTool({"plan", site, "-o", dir.file("plain.bmp").string()}).code, 0);
    const Bytes plan = testkit::readFileBytes(dir.file("plain.bmp"));

    for (const char* name : {"link", "chain", "dangling"}) {
        SCOPED_TRACE(name);
        const fs::path leadsTo = fs::read_symlink(out / name);
        ASSERT_EQ(runTool({"plan", site, "-o", (out / name).string(), "--force"}).code, 0);
        EXPECT_EQ(fs::read_symlink(out / name), leadsTo);
        EXPECT_EQ(testkit::readFileBytes(out / name), plan);
    }
    EXPECT_EQ(filesInOut(), 4u);
    EXPECT_EQ(std::distance(fs::directory_iterator(out / "real"), {}), 2);
}

// An existing file is replaced only with --force, and a map, page or bitmap never takes the
// place of a site file, whatever its name or the link that leads to it.
TEST_F(SiteOutput, AnExistingFileIsReplacedOnlyWithForceAndASiteFileNever) {
    const Bytes other{'o', 'l', 'd'};
    const Bytes survey = testkit::readFileBytes(site);
    fs::create_symlink("copy.png", out / "link.png");
    const std::string exists = ": already exists (use --force to replace it)\n";
    const std::string isSite = ": is a site file, which this command never replaces, not even "
                               "with --force; choose another name\n";
    struct Case {
        std::string name; // link.png leads to copy.png
        const Bytes& held;
        bool force;
        std::string message; // "" when the file is replaced
    };
    const Case cases[] = {
        {"old.png", other, false, exists},   {"old.png", other, true, ""},
        {"copy.png", survey, false, isSite}, {"copy.png", survey, true, isSite},
        {"link.png", survey, true, isSite},
    };
    for (const char* command : {"plan", "heatmap", "report"})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(command) + " -o " + c.name + (c.force ? " --force" : ""));
            testkit::writeFileBytes(out / (c.name == "link.png" ? "copy.png" : c.name), c.held);
            const std::string target = (out / c.name).string();
            std::vector<std::string> args{command, site, "-o", target};
            if (c.force) args.push_back("--force");
            const ToolRun r = runTool(args);
            EXPECT_EQ(r.code, c.message.empty() ? 0 : 1);
            EXPECT_EQ(r.err, c.message.empty() ? "" : "walkmere-site: " + target + c.message);
            EXPECT_EQ(testkit::readFileBytes(target) == c.held, !c.message.empty());
        }
    EXPECT_TRUE(fs::is_symlink(out / "link.png"));
    EXPECT_EQ(filesInOut(), 3u) << "no temporary file is left";
}

TEST_F(SiteOutput, DashWritesToStandardOutputAndTheSummaryToStandardError) {
    for (const auto& args : commands("-")) {
        SCOPED_TRACE(args[0]);
        const ToolRun r = runTool(args);
        ASSERT_EQ(r.code, 0) << r.err;
        std::vector<std::string> toFile = args;
        toFile[3] = (out / args[0]).string();
        const ToolRun written = runTool(toFile);
        ASSERT_EQ(written.code, 0);
        EXPECT_EQ(Bytes(r.out.begin(), r.out.end()), testkit::readFileBytes(toFile[3]));
        const std::string summaryAfterName = written.out.substr(toFile[3].size());
        EXPECT_EQ(r.err, "-" + summaryAfterName);
    }
    EXPECT_FALSE(fs::exists("-"));
}

} // namespace
} // namespace walkmere
