#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include "app/Snapshot.h"
#include "image/JpegReader.h"
#include "testkit/RecordingSoundPlayer.h"
#include "testkit/ScriptedPrompter.h"
#include "testkit/TempDir.h"

namespace walkmere {
namespace {

// A view painted blue on its top 20 rows, green below, with a pure red square in the middle.
class BandedView : public QWidget {
public:
    explicit BandedView(QSize size) { resize(size); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(0, 200, 0));
        p.fillRect(0, 0, width(), 20, QColor(0, 0, 255));
        p.fillRect(100, 100, 40, 40, QColor(255, 0, 0));
    }
};

// The JPEG file at `path`, decoded; an empty picture when it cannot be read.
RgbImage readJpeg(const std::string& path) {
    const std::vector<unsigned char> bytes = testkit::readFileBytes(path);
    RgbImage image;
    EXPECT_EQ(decodeJpeg(bytes.data(), bytes.size(), image), "") << path;
    return image;
}

std::string readText(const std::filesystem::path& p) {
    std::string s;
    if (std::FILE* f = std::fopen(p.c_str(), "rb")) {
        char buf[256];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

void writeText(const std::filesystem::path& p, const std::string& s) {
    std::FILE* f = std::fopen(p.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(s.data(), 1, s.size(), f);
    std::fclose(f);
}

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("WALKMERE_HOME")) savedHome = old;
        setenv("WALKMERE_HOME", (home.path() / "data").c_str(), 1);
    }
    void TearDown() override {
        if (savedHome)
            setenv("WALKMERE_HOME", savedHome->c_str(), 1);
        else
            unsetenv("WALKMERE_HOME");
    }
    std::filesystem::path counterFile() const { return home.path() / "data" / "kvimgcnt.cnt"; }

    testkit::TempDir home;
    testkit::TempDir pictures;
    testkit::ScriptedPrompter prompter;
    testkit::RecordingSoundPlayer sound;
    std::optional<std::string> savedHome;
};

TEST_F(SnapshotTest, FirstSnapshotProposesNumberOneAndLeavesTwo) {
    BandedView view(QSize(240, 265));
    std::string target = pictures.file("first.jpg").string();
    prompter.scriptFile(target);
    TakeSnapshot(&view, prompter, sound);
    EXPECT_EQ(prompter.shown().at(0).request.initialFolder, (home.path() / "data").string())
        << "the dialog opens in the data folder";

    ASSERT_EQ(sound.played(), std::vector<std::string>{"async:CAMERA"});
    auto shown = prompter.shown();
    ASSERT_EQ(shown.size(), 3u);
    ASSERT_EQ(shown[0].kind, testkit::ScriptedPrompter::Kind::SaveFile);
    const FileDialogRequest& r = shown[0].request;
    EXPECT_EQ(r.initialName, "kv000001.jpg");
    EXPECT_EQ(r.defaultExtension, ".JPG");
    EXPECT_EQ(r.filter, "Snapshot JPEG (*.jpg)|*.jpg|All Files (*.*)|*.*||");
    EXPECT_TRUE(r.pathMustExist);
    EXPECT_FALSE(r.promptOverwrite);
    EXPECT_FALSE(r.fileMustExist);
    EXPECT_EQ(shown[1].kind, testkit::ScriptedPrompter::Kind::WaitBegin);
    EXPECT_EQ(shown[2].kind, testkit::ScriptedPrompter::Kind::WaitEnd);
    EXPECT_EQ(readText(counterFile()), "2\n");

    const RgbImage jpeg = readJpeg(target);
    ASSERT_EQ(jpeg.width, 240);
    ASSERT_EQ(jpeg.height, 265);
    const unsigned char* top = jpeg.at(120, 3);
    EXPECT_LT(top[0], 60);
    EXPECT_LT(top[1], 60);
    EXPECT_GT(top[2], 200) << "the view's top row is the JPEG's first";
    const unsigned char* bottom = jpeg.at(120, 260);
    EXPECT_LT(bottom[0], 60);
    EXPECT_GT(bottom[1], 160);
    EXPECT_LT(bottom[2], 60);
    const unsigned char* red = jpeg.at(120, 120);
    EXPECT_GT(red[0], 200);
    EXPECT_LT(red[1], 60);
    EXPECT_LT(red[2], 60) << "red must not come out blue";
}

TEST_F(SnapshotTest, CounterOfFortyOneProposesItAndMovesToFortyTwo) {
    std::filesystem::create_directories(counterFile().parent_path());
    writeText(counterFile(), "  41 pictures\nignored 7\n");
    BandedView view(QSize(240, 265));
    prompter.scriptFile(pictures.file("p.jpg").string());
    TakeSnapshot(&view, prompter, sound);
    EXPECT_EQ(prompter.shown().at(0).request.initialName, "kv000041.jpg");
    EXPECT_EQ(readText(counterFile()), "42\n");
}

TEST_F(SnapshotTest, CancelLeavesTheCounterAlone) {
    BandedView view(QSize(240, 265));
    prompter.scriptFile(std::nullopt);
    TakeSnapshot(&view, prompter, sound);
    EXPECT_FALSE(std::filesystem::exists(counterFile()));
    EXPECT_EQ(prompter.shown().size(), 1u) << "no wait cursor, no message";

    std::filesystem::create_directories(counterFile().parent_path());
    writeText(counterFile(), "17\n");
    prompter.scriptFile(std::nullopt);
    TakeSnapshot(&view, prompter, sound);
    EXPECT_EQ(readText(counterFile()), "17\n");
    EXPECT_TRUE(std::filesystem::is_empty(pictures.path()));
}

TEST_F(SnapshotTest, UnwritablePathIsReportedAndTheCounterStillAdvances) {
    BandedView view(QSize(240, 265));
    std::string target = (pictures.path() / "missing" / "kv000001.jpg").string();
    prompter.scriptFile(target);
    TakeSnapshot(&view, prompter, sound);
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"Can't open file\"" + target + "\""});
    EXPECT_EQ(readText(counterFile()), "2\n");
    auto shown = prompter.shown();
    EXPECT_EQ(shown.back().kind, testkit::ScriptedPrompter::Kind::WaitEnd);
}

// The current folder for the life of the object.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path& folder)
        : previous(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(previous); }

private:
    std::filesystem::path previous;
};

// A counter file that cannot be written stays at its number; the proposal moves on past
// the pictures already in the folder the dialog opens in, also one the user put there.
TEST_F(SnapshotTest, ACounterThatCannotBeWrittenNeverProposesATakenName) {
    writeText(home.file("blocker"), "a file where the data folder should be");
    setenv("WALKMERE_HOME", (home.path() / "blocker" / "data").c_str(), 1);
    const InFolder inPictures(pictures.path());
    writeText(pictures.file("kv000003.jpg"), "the user's own");
    std::filesystem::create_symlink("nowhere.jpg", pictures.file("kv000005.jpg"));

    BandedView view(QSize(240, 265));
    for (const char* expected : {"kv000001.jpg", "kv000002.jpg", "kv000004.jpg", "kv000006.jpg"}) {
        prompter.clear();
        prompter.scriptFile(pictures.file(expected).string());
        TakeSnapshot(&view, prompter, sound);
        const FileDialogRequest request = prompter.shown().at(0).request;
        EXPECT_EQ(request.initialName, expected);
        EXPECT_EQ(request.initialFolder, pictures.path().string());
        EXPECT_TRUE(prompter.messages().empty()) << prompter.messages().at(0);
    }
    EXPECT_EQ(readText(pictures.file("kv000003.jpg")), "the user's own");
}

TEST_F(SnapshotTest, SmallViewIsPaddedWithBlack) {
    BandedView view(QSize(100, 50));
    const RgbImage c = captureView(view);
    ASSERT_EQ(c.width, 100);
    ASSERT_EQ(c.height, 50);
    ASSERT_EQ(c.pixels.size(), 100u * 50 * 3);
    // Rows from the top: the first row in memory is the view's blue top row.
    const unsigned char* topLeft = &c.pixels[0];
    EXPECT_EQ(topLeft[0], 0);
    EXPECT_EQ(topLeft[1], 0);
    EXPECT_EQ(topLeft[2], 255);

    std::string target = pictures.file("small.jpg").string();
    prompter.scriptFile(target);
    TakeSnapshot(&view, prompter, sound);
    const RgbImage jpeg = readJpeg(target);
    ASSERT_EQ(jpeg.width, 240);
    ASSERT_EQ(jpeg.height, 265);
    EXPECT_GT(jpeg.at(50, 5)[2], 200);
    EXPECT_GT(jpeg.at(50, 40)[1], 160);
    for (auto [x, y] : {std::pair{200, 10}, {50, 150}, {239, 264}}) {
        const unsigned char* px = jpeg.at(x, y);
        EXPECT_LT(px[0] + px[1] + px[2], 40) << x << "," << y;
    }
}

TEST_F(SnapshotTest, AViewLargerThanTheHandheldsIsTakenWhole) {
    BandedView view(QSize(1000, 750));
    std::string target = pictures.file("large.jpg").string();
    prompter.scriptFile(target);
    TakeSnapshot(&view, prompter, sound);
    const RgbImage jpeg = readJpeg(target);
    ASSERT_EQ(jpeg.width, 1000);
    ASSERT_EQ(jpeg.height, 750);
    EXPECT_GT(jpeg.at(900, 5)[2], 200) << "the top band across the whole width";
    EXPECT_GT(jpeg.at(120, 120)[0], 200) << "the red square where the view has it";
    EXPECT_GT(jpeg.at(990, 740)[1], 160) << "the bottom right corner is the view's, not black";
}

TEST(SnapshotCounter, ReadsAsAtoiDoes) {
    testkit::TempDir dir;
    auto f = dir.file("c.cnt");
    EXPECT_EQ(readSnapshotCounter(f), 1) << "missing file";
    writeText(f, "");
    EXPECT_EQ(readSnapshotCounter(f), 1) << "empty file";
    writeText(f, "\t 12abc\n");
    EXPECT_EQ(readSnapshotCounter(f), 12);
    writeText(f, "+7\n");
    EXPECT_EQ(readSnapshotCounter(f), 7);
    writeText(f, "x5\n");
    EXPECT_EQ(readSnapshotCounter(f), 0);
    writeText(f, "99999999999999\n");
    EXPECT_EQ(readSnapshotCounter(f), 2147483647) << "held at the top, not wrapped";
    // Only the first 79 characters count: the digits past them are not part of the number.
    writeText(f, std::string(78, ' ') + "34567\n");
    EXPECT_EQ(readSnapshotCounter(f), 3);
}

TEST(SnapshotCounter, DataFolderFollowsTheEnvironment) {
    std::optional<std::string> home, xdg;
    if (const char* v = std::getenv("WALKMERE_HOME")) home = v;
    if (const char* v = std::getenv("XDG_DATA_HOME")) xdg = v;

    setenv("WALKMERE_HOME", "/a/b", 1);
    EXPECT_EQ(snapshotCounterPath(), std::filesystem::path("/a/b/kvimgcnt.cnt"));
    unsetenv("WALKMERE_HOME");
    setenv("XDG_DATA_HOME", "/x", 1);
    EXPECT_EQ(dataFolder(), std::filesystem::path("/x/walkmere"));
    unsetenv("XDG_DATA_HOME");
    const char* userHome = std::getenv("HOME");
    if (userHome && *userHome) {
        EXPECT_EQ(dataFolder(), std::filesystem::path(userHome) / ".local/share/walkmere");
    }

    if (home) setenv("WALKMERE_HOME", home->c_str(), 1);
    if (xdg) setenv("XDG_DATA_HOME", xdg->c_str(), 1);
}

} // namespace
} // namespace walkmere
