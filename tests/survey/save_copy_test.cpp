// Telling the open file from another name, and copying so that the destination is never
// half written.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "platform/RegularFile.h"
#include "survey/FileOps.h"
#include "survey/SaveSite.h"
#include "testkit/FailingFileOps.h"
#include "testkit/TempDir.h"

namespace walkmere {
namespace {

namespace fs = std::filesystem;
using testkit::FailingFileOps;
using Bytes = std::vector<unsigned char>;

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

// More than one copy piece, with a pattern that shows misplaced bytes.
Bytes sourceBytes() {
    Bytes b(200 * 1024 + 17);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<unsigned char>((i * 7 + i / 251) & 0xFF);
    return b;
}

class SameFile : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(dir.file("a"));
        testkit::writeFileBytes(site, Bytes{1, 2, 3});
    }
    testkit::TempDir dir;
    fs::path site = dir.file("site.kvs");
};

TEST_F(SameFile, TheSameSpellingIsTheSameFileEvenWhenItDoesNotExist) {
    EXPECT_TRUE(sameFile(site.string(), site.string()));
    EXPECT_TRUE(sameFile("/nowhere/x.kvs", "/nowhere/x.kvs"));
}

TEST_F(SameFile, AnotherSpellingALinkOrAHardLinkIsTheSameFile) {
    EXPECT_TRUE(sameFile(site.string(), (dir.path() / "a" / ".." / "site.kvs").string()));
    EXPECT_TRUE(sameFile(site.string(), (dir.path() / "." / "site.kvs").string()));
    fs::create_symlink(site, dir.file("link.kvs"));
    EXPECT_TRUE(sameFile(site.string(), dir.file("link.kvs").string()));
    fs::create_hard_link(site, dir.file("hard.kvs"));
    EXPECT_TRUE(sameFile(site.string(), dir.file("hard.kvs").string()));
}

TEST_F(SameFile, OtherFilesAndNewNamesAreNot) {
    EXPECT_FALSE(sameFile(site.string(), dir.file("SITE.kvs").string()));
    testkit::writeFileBytes(dir.file("SITE.kvs"), Bytes{1, 2, 3});
    EXPECT_FALSE(sameFile(site.string(), dir.file("SITE.kvs").string()));
    EXPECT_FALSE(sameFile(dir.file("gone.kvs").string(), site.string()));
}

class Copy : public ::testing::Test {
protected:
    void SetUp() override { testkit::writeFileBytes(source, content); }
    testkit::TempDir dir;
    fs::path source = dir.file("site.kvs");
    Bytes content = sourceBytes();
    Bytes oldContent = Bytes(5000, 0x42);
};

TEST_F(Copy, ANewNameGetsEveryByteAndNothingElseIsLeft) {
    ASSERT_EQ(copySiteFile(source.string(), dir.file("copy.kvs").string()), 0);
    EXPECT_EQ(testkit::readFileBytes(dir.file("copy.kvs")), content);
    EXPECT_EQ(testkit::readFileBytes(source), content);
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"site.kvs", "copy.kvs"}));
}

TEST_F(Copy, AnExistingFileIsReplacedWholeAndKeepsItsPermissions) {
    fs::path dest = dir.file("old.kvs");
    testkit::writeFileBytes(dest, oldContent);
    ASSERT_EQ(::chmod(dest.c_str(), 0640), 0);
    ASSERT_EQ(copySiteFile(source.string(), dest.string()), 0);
    EXPECT_EQ(testkit::readFileBytes(dest), content);
    struct stat st;
    ASSERT_EQ(::stat(dest.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(Copy, ALinkAsDestinationFillsTheFileItNamesAndStaysALink) {
    fs::create_directory(dir.file("elsewhere"));
    fs::path real = dir.file("elsewhere") / "real.kvs";
    testkit::writeFileBytes(real, oldContent);
    fs::create_symlink(real, dir.file("link.kvs"));
    ASSERT_EQ(copySiteFile(source.string(), dir.file("link.kvs").string()), 0);
    EXPECT_TRUE(fs::is_symlink(dir.file("link.kvs")));
    EXPECT_EQ(testkit::readFileBytes(real), content);
}

TEST_F(Copy, ADeviceOrFifoIsNeverReplacedNorReadAsASource) {
    std::vector<fs::path> targets = {dir.file("fifo.kvs"), dir.file("link.kvs")};
    ASSERT_EQ(::mkfifo(targets[0].c_str(), 0600), 0);
    fs::create_symlink("fifo.kvs", targets[1]);
    // A copy of /dev/null's device where that is allowed (as root), never /dev/null itself.
    if (::mknod(dir.file("null.kvs").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        targets.push_back(dir.file("null.kvs"));
    const std::set<std::string> before = namesIn(dir.path());
    for (const fs::path& target : targets) {
        SCOPED_TRACE(target);
        EXPECT_EQ(copySiteFile(source.string(), target.string()), EINVAL);
        EXPECT_FALSE(fs::is_regular_file(target));
    }
    EXPECT_TRUE(fs::is_symlink(targets[1]));
    EXPECT_EQ(namesIn(dir.path()), before);
    // Nor does a FIFO as the source wait for a writer that never comes.
    EXPECT_EQ(copySiteFile(targets[0].string(), dir.file("copy.kvs").string()), EINVAL);
    EXPECT_EQ(namesIn(dir.path()), before);
}

// The destination keeps its old bytes whichever step of the copy fails, and the temporary
// file goes away.
TEST_F(Copy, AFailingWriteOrFlushLeavesTheOldDestinationIntact) {
    fs::path dest = dir.file("old.kvs");
    struct Case {
        FailingFileOps::Call call;
        int nth;
        size_t partial;
    };
    for (Case c :
         {Case{FailingFileOps::Call::Write, 2, 1000}, Case{FailingFileOps::Call::Write, 1, 0},
          Case{FailingFileOps::Call::Flush, 1, 0}, Case{FailingFileOps::Call::Read, 3, 0}}) {
        testkit::writeFileBytes(dest, oldContent);
        FailingFileOps failing;
        failing.failOn(c.call, c.nth, ENOSPC, c.partial);
        ScopedFileOps use(failing);
        EXPECT_EQ(copySiteFile(source.string(), dest.string()), ENOSPC);
        EXPECT_EQ(testkit::readFileBytes(dest), oldContent);
        EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"site.kvs", "old.kvs"}));
    }
}

// Tests run as root, for whom permission bits stop nothing, so the failures are ones that
// stop root too: a folder that does not exist, a folder of the kernel's, and a name that
// is taken by a folder.
TEST_F(Copy, AnImpossibleDestinationFailsWithoutLeavingAnything) {
    EXPECT_EQ(copySiteFile(source.string(), dir.file("missing/copy.kvs").string()), ENOENT);
    EXPECT_NE(copySiteFile(source.string(), "/proc/walkmere-copy.kvs"), 0);
    EXPECT_FALSE(fs::exists("/proc/walkmere-copy.kvs"));

    fs::create_directory(dir.file("taken.kvs"));
    EXPECT_NE(copySiteFile(source.string(), dir.file("taken.kvs").string()), 0);
    EXPECT_TRUE(fs::is_directory(dir.file("taken.kvs")));
    EXPECT_TRUE(fs::is_empty(dir.file("taken.kvs")));
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"site.kvs", "taken.kvs"}));
}

TEST_F(Copy, AMissingSourceFailsAndCreatesNothing) {
    EXPECT_EQ(copySiteFile(dir.file("gone.kvs").string(), dir.file("copy.kvs").string()), ENOENT);
    EXPECT_FALSE(fs::exists(dir.file("copy.kvs")));
}

} // namespace
} // namespace walkmere
