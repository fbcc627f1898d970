#include "survey/OpenSiteCommand.h"
#include "survey/OpenedSite.h"

#include "survey/FileOps.h"
#include "survey/SurveyStore.h"
#include "testkit/DataHome.h"
#include "testkit/FailingFileOps.h"
#include "testkit/RecordingSoundPlayer.h"
#include "testkit/ScriptedPrompter.h"
#include "testkit/SiteFileBuilder.h"
#include "testkit/SparseSite.h"
#include "testkit/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace walkmere {
namespace {

namespace fs = std::filesystem;
using sitefiletest::buildSite;
using sitefiletest::Bytes;
using sitefiletest::put16;
using sitefiletest::put32;
using sitefiletest::operator+;

// The site view's side of the open flow, recording what it was asked to do.
class RecordingView final : public ISiteOpenView {
public:
    void siteAccepted(const std::string& path) override { calls.push_back("accepted " + path); }
    bool loadFloorPlan(const std::string& bitmapPath) override {
        calls.push_back("load");
        loadedBytes = testkit::readFileBytes(bitmapPath);
        if (throwOnLoad) throw std::runtime_error("loader failed");
        return loadResult;
    }
    void siteReady() override { calls.push_back("ready"); }
    void redraw() override { calls.push_back("redraw"); }

    std::vector<std::string> calls;
    Bytes loadedBytes;
    bool loadResult = true;
    bool throwOnLoad = false;
};

Bytes pointBytes(int32_t x, int32_t y, uint8_t kind, int readings) {
    PointRecord p;
    p.setX(x);
    p.setY(y);
    p.setLabel("TEST");
    p.setKind(kind);
    p.setReadingCount(static_cast<uint16_t>(readings));
    Bytes b;
    b.reserve(p.bytes.size() + size_t(readings) * kReadingSize);
    b.assign(p.bytes.begin(), p.bytes.end());
    for (int i = 0; i < readings; ++i) {
        ApReading r;
        r.setRssi256(static_cast<int16_t>((-50 - i) * 256));
        b.insert(b.end(), r.bytes.begin(), r.bytes.end());
    }
    return b;
}

class SiteOpening_ : public ::testing::Test {
protected:
    std::string write(const Bytes& bytes, const std::string& name = "site.kvs") {
        const auto path = dir.file(name);
        testkit::writeFileBytes(path, bytes);
        return path.string();
    }
    std::vector<fs::path> filesInDir() const {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(dir.path()))
            out.push_back(e.path().filename());
        std::sort(out.begin(), out.end());
        return out;
    }
    // Runs the whole open flow on `path`, answering the keep question with `keep`.
    bool runFlow(const std::string& path, bool keep = true) {
        prompter.scriptFile(path);
        prompter.scriptYesNo(keep);
        return runOpenSiteCommand(prompter, sound, store, view);
    }
    // The one message box shown, checked for caption and icon of a file error.
    void expectFileError(const std::string& text) {
        std::vector<testkit::ScriptedPrompter::Shown> boxes;
        for (const auto& s : prompter.shown())
            if (s.kind == testkit::ScriptedPrompter::Kind::Message ||
                s.kind == testkit::ScriptedPrompter::Kind::YesNo)
                boxes.push_back(s);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].kind, testkit::ScriptedPrompter::Kind::Message);
        EXPECT_EQ(boxes[0].text, text);
        EXPECT_EQ(boxes[0].caption, "File Error");
        EXPECT_EQ(boxes[0].icon, MessageIcon::Stop);
    }

    testkit::ScopedDataHome home;
    testkit::TempDir dir;
    testkit::ScriptedPrompter prompter;
    testkit::RecordingSoundPlayer sound;
    CSurveyStore store;
    RecordingView view;
};

TEST_F(SiteOpening_, RefusedFilesStayByteIdenticalAndTheStoreKeepsItsSite) {
    const auto good = buildSite();
    Bytes wrongMagic = good.bytes;
    wrongMagic[4] = 0x2B;
    Bytes obsolete = good.bytes;
    put16(obsolete, 8, 3);
    Bytes shortHeader = good.bytes;
    put32(shortHeader, 0, 140);
    Bytes badSizes = good.bytes;
    put32(badSizes, good.pointsOffset, 70);
    Bytes overlap = good.bytes;
    put32(overlap, SiteHeader::kSignatureOffsetOffset, good.pointsOffset - 100);
    Bytes planOutside = good.bytes;
    put32(planOutside, SiteHeader::kBitmapOffsetOffset, 0x10000000);
    // One bad count in the first of 20 points would make the other 19 its readings.
    sitefiletest::SiteLayout twenty;
    for (int i = 0; i < 20; ++i)
        twenty.points = twenty.points + pointBytes(i, i, KIND_SURVEY_POINT, 3);
    const auto twentyPoints = buildSite(twenty);
    Bytes badCount = twentyPoints.bytes;
    put16(badCount, twentyPoints.pointsOffset + 8 + 40, 0xFFFF);

    const std::string previous = write(good.bytes, "previous.kvs");
    ASSERT_TRUE(runFlow(previous));

    const std::vector<std::pair<Bytes, std::string>> cases = {
        {wrongMagic, "Not a Site File."},
        {obsolete, "Obsolete Site File, recreate using Planwright"},
        {shortHeader, "Damaged Site File: header shorter than 151 bytes."},
        {badSizes, "Damaged Site File: points section gives record sizes 70 and 41 instead of "
                   "71 and 41."},
        {overlap, "Damaged Site File: signature block overlaps the points section."},
        {planOutside, "Damaged Site File: floor-plan block outside the file."},
        {badCount, "Damaged Site File: the point record at byte " +
                       std::to_string(twentyPoints.pointsOffset + 8) +
                       " announces 65535 readings (at most 32)."},
    };
    for (const auto& [bytes, text] : cases) {
        SCOPED_TRACE(text);
        prompter.clear();
        view.calls.clear();
        const std::string path = write(bytes);
        EXPECT_FALSE(runFlow(path));
        expectFileError(text);
        EXPECT_EQ(testkit::readFileBytes(path), bytes);
        EXPECT_EQ(store.sitePath(), previous);
        EXPECT_TRUE(view.calls.empty());
        EXPECT_EQ(prompter.shown().back().kind, testkit::ScriptedPrompter::Kind::WaitEnd);
    }
}

TEST_F(SiteOpening_, OpeningChangesOnlyTheTwoClearedFlags) {
    for (uint32_t headerLength : {152u, 200u}) {
        SCOPED_TRACE(headerLength);
        sitefiletest::SiteLayout layout;
        layout.headerLength = headerLength;
        layout.points = pointBytes(5, 6, KIND_SURVEY_POINT, 2);
        const auto site = buildSite(layout);
        ASSERT_NE(site.bytes[12], 0);
        ASSERT_NE(site.bytes[150], 0);
        const std::string path = write(site.bytes);

        SiteOpenResult result = openSiteForSurvey(path, store);
        ASSERT_FALSE(result.refusal) << result.refusal->text;
        const Bytes after = testkit::readFileBytes(path);
        ASSERT_EQ(after.size(), site.bytes.size());
        std::vector<size_t> changed;
        for (size_t i = 0; i < after.size(); ++i)
            if (after[i] != site.bytes[i]) changed.push_back(i);
        EXPECT_EQ(changed, (std::vector<size_t>{12, 150}));
        EXPECT_EQ(after[12], 0);
        EXPECT_EQ(after[150], 0);
        EXPECT_EQ(store.sitePath(), path);
        EXPECT_EQ(store.header().clearedFlagA(), 0);
        EXPECT_EQ(store.header().headerLength(), headerLength);
    }
}

TEST_F(SiteOpening_, DecodesTheFloorPlanIntoATemporaryFileRemovedAfterwards) {
    const Bytes plan = sitefiletest::makeBmp(33, 17, 9);
    sitefiletest::SiteLayout layout;
    layout.plan = plan;
    const std::string path = write(buildSite(layout).bytes);
    // Files of the user's with the names the handheld used for its temporary files.
    const Bytes mine = {'m', 'i', 'n', 'e'};
    write(mine, "site.kvsc");
    write(mine, "site.kvse");
    const auto before = filesInDir();
    {
        SiteOpenResult result = openSiteForSurvey(path, store);
        ASSERT_TRUE(result.site);
        const OpenedSite& site = *result.site;
        ASSERT_TRUE(site.hasFloorPlan()) << site.floorPlanProblem();
        EXPECT_EQ(site.floorPlanCheck().info->width, 33);
        EXPECT_EQ(site.floorPlanCheck().info->pixelHeight(), 17u);
        const Bytes decoded = testkit::readFileBytes(site.floorPlanPath());
        ASSERT_GE(decoded.size(), plan.size());
        EXPECT_TRUE(std::equal(plan.begin(), plan.end(), decoded.begin()));
        EXPECT_NE(site.floorPlanPath(), path + "e");
        // The site file is closed: the store's own operations can lock it.
        EXPECT_TRUE(store.openSiteFile());
        store.closeSiteFile();
    }
    EXPECT_EQ(filesInDir(), before);
    EXPECT_EQ(testkit::readFileBytes(dir.file("site.kvsc")), mine);
    EXPECT_EQ(testkit::readFileBytes(dir.file("site.kvse")), mine);
}

TEST_F(SiteOpening_, ALockedFileIsRefusedWithTheReasonAndLeftAlone) {
    const Bytes bytes = buildSite().bytes;
    const std::string path = write(bytes);
    OwnedFd holder(::open(path.c_str(), O_RDWR));
    ASSERT_EQ(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);

    EXPECT_FALSE(runFlow(path));
    expectFileError("The file is in use by another program.");
    EXPECT_EQ(testkit::readFileBytes(path), bytes);
    EXPECT_TRUE(store.sitePath().empty());

    prompter.clear();
    EXPECT_FALSE(runFlow(dir.file("missing.kvs").string()));
    expectFileError("No such file or directory");
}

TEST_F(SiteOpening_, WhatIsNotARegularFileIsRefusedAtOnceWithItsType) {
    const std::string previous = write(buildSite().bytes, "previous.kvs");
    ASSERT_TRUE(runFlow(previous));
    const std::string fifo = dir.file("fifo.kvs").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& [path, type] : {std::pair<std::string, std::string>{fifo, "a FIFO"},
                                     {"/dev/null", "a character device"},
                                     {dir.path().string(), "a directory"}}) {
        SCOPED_TRACE(path);
        prompter.clear();
        EXPECT_FALSE(runFlow(path));
        expectFileError(path + ": not a regular file (" + type + ")");
        EXPECT_EQ(store.sitePath(), previous);
    }

    // The site file swapped for a FIFO while it is open: the store's next operation says so
    // and changes nothing.
    const auto pointsBefore = store.index().size();
    fs::rename(fifo, previous);
    const StoreOutcome loaded = store.loadPoints();
    EXPECT_FALSE(loaded);
    ASSERT_EQ(loaded.notices.size(), 1u);
    EXPECT_EQ(loaded.notices[0].text, "<<<not a regular file (a FIFO)<" + previous + ">");
    EXPECT_EQ(store.index().size(), pointsBefore);
}

TEST_F(SiteOpening_, TheFlowLoadsThePlanAndKeepsOrDiscardsThePoints) {
    sitefiletest::SiteLayout layout;
    layout.points =
        pointBytes(10, 20, KIND_SURVEY_POINT, 3) + pointBytes(30, 40, KIND_SURVEY_POINT, 1);
    const auto site = buildSite(layout);
    const std::string path = write(site.bytes);

    ASSERT_TRUE(runFlow(path, true));
    EXPECT_EQ(view.calls,
              (std::vector<std::string>{"accepted " + path, "load", "ready", "redraw"}));
    EXPECT_TRUE(std::equal(layout.plan.begin(), layout.plan.end(), view.loadedBytes.begin()));
    EXPECT_EQ(store.locationCount(), 2);
    EXPECT_EQ(store.readingTotal(), 4);
    const auto shown = prompter.shown();
    ASSERT_GE(shown.size(), 4u);
    EXPECT_EQ(shown[0].kind, testkit::ScriptedPrompter::Kind::OpenFile);
    EXPECT_EQ(shown[0].request.filter, "Site Files (*.kvs)|*.kvs|All Files (*.*)|*.*||");
    EXPECT_EQ(shown[0].request.initialName, "SITE1");
    EXPECT_TRUE(shown[0].request.fileMustExist);
    EXPECT_EQ(shown[1].kind, testkit::ScriptedPrompter::Kind::WaitBegin);
    EXPECT_EQ(shown[2].kind, testkit::ScriptedPrompter::Kind::YesNo);
    EXPECT_EQ(shown[2].text, "Do you wish to keep existing data points?");
    EXPECT_EQ(shown[2].caption, "Kivo");
    EXPECT_EQ(shown.back().kind, testkit::ScriptedPrompter::Kind::WaitEnd);
    EXPECT_TRUE(prompter.messages().empty());

    ASSERT_TRUE(runFlow(path, false));
    EXPECT_EQ(fs::file_size(path), site.pointsOffset + 8u);
    EXPECT_EQ(store.locationCount(), 0);
    EXPECT_TRUE(store.index().empty());
}

TEST_F(SiteOpening_, AHeaderThatCannotBeWrittenBackIsToldBeforeTheKeepQuestion) {
    const std::string path = write(buildSite().bytes);
    testkit::FailingFileOps failing;
    failing.failOn(testkit::FailingFileOps::Call::Flush, 1, EIO); // the header's flush
    ScopedFileOps use(failing);
    ASSERT_TRUE(runFlow(path));
    const auto shown = prompter.shown();
    ASSERT_GE(shown.size(), 4u);
    EXPECT_EQ(shown[1].kind, testkit::ScriptedPrompter::Kind::WaitBegin);
    EXPECT_EQ(shown[2].text, "Could not write the site header: " + std::string(std::strerror(EIO)));
    EXPECT_EQ(shown[3].kind, testkit::ScriptedPrompter::Kind::YesNo);
    EXPECT_EQ(store.sitePath(), path) << "the site stays open for viewing";
}

TEST_F(SiteOpening_, APlanThatIsNoPictureOpensTheSiteWithoutOne) {
    sitefiletest::SiteLayout layout;
    layout.plan = Bytes(500, 'x');
    const std::string path = write(buildSite(layout).bytes);
    ASSERT_TRUE(runFlow(path));
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"Cannot Load Bitmap"});
    EXPECT_EQ(view.calls, (std::vector<std::string>{"accepted " + path, "ready", "redraw"}));
    EXPECT_EQ(store.sitePath(), path);

    // The view's loader may fail too.
    prompter.clear();
    view.calls.clear();
    view.loadResult = false;
    const std::string good = write(buildSite().bytes, "good.kvs");
    ASSERT_TRUE(runFlow(good));
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"Cannot Load Bitmap"});
}

TEST_F(SiteOpening_, APlanAboveThePixelLimitOpensTheSiteWithoutOne) {
    const std::string path = dir.file("huge.kvs").string();
    testkit::writeSparseSite(path, testkit::bmpHeaders(20000, 10000, 8), 1u << 20);
    SiteOpenResult result = openSiteForSurvey(path, store);
    ASSERT_TRUE(result.site);
    EXPECT_FALSE(result.site->hasFloorPlan());
    EXPECT_EQ(result.site->floorPlanProblem(),
              "The floor plan is too large: 20000 x 10000 pixels, more than the limit of "
              "100000000 pixels.");
    EXPECT_EQ(filesInDir(), std::vector<fs::path>{"huge.kvs"}) << "no decoded plan is kept";
}

// A folder with no room left, on a small file system of its own (mounting one needs root).
struct FullFolder {
    explicit FullFolder(const fs::path& at) : path(at) {
        fs::create_directory(path);
        mounted = ::mount("tmpfs", path.c_str(), "tmpfs", 0, "size=256k") == 0;
    }
    ~FullFolder() {
        if (mounted) ::umount2(path.c_str(), MNT_DETACH);
    }
    const fs::path path;
    bool mounted;
};

TEST_F(SiteOpening_, ASiteFolderWithNoRoomForThePlanSendsItToTheTemporaryFolder) {
    FullFolder card(dir.file("card"));
    if (!card.mounted) GTEST_SKIP() << "cannot mount a small file system here";
    sitefiletest::SiteLayout layout;
    layout.plan = sitefiletest::makeBmp(100, 100, 4); // 30 KB decoded
    const std::string path = (card.path / "site.kvs").string();
    testkit::writeFileBytes(path, buildSite(layout).bytes);
    const int filler = ::open((card.path / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
    const std::vector<char> block(4096, 'f');
    while (::write(filler, block.data(), block.size()) > 0) {
    }
    ::close(filler);

    SiteOpenResult result = openSiteForSurvey(path, store);
    ASSERT_TRUE(result.site);
    EXPECT_TRUE(result.site->hasFloorPlan()) << result.site->floorPlanProblem();
    EXPECT_NE(fs::path(result.site->floorPlanPath()).parent_path(), card.path);
    EXPECT_EQ(std::distance(fs::directory_iterator(card.path), fs::directory_iterator()), 2)
        << "only the site and the filler";
}

TEST_F(SiteOpening_, TheTemporaryPlanGoesEvenWhenTheLoaderThrows) {
    const std::string path = write(buildSite().bytes);
    const auto before = filesInDir();
    view.throwOnLoad = true;
    EXPECT_THROW(runFlow(path), std::runtime_error);
    EXPECT_EQ(filesInDir(), before);
}

TEST_F(SiteOpening_, CancellingTheDialogOnlyRedraws) {
    prompter.scriptFile(std::nullopt);
    EXPECT_FALSE(runOpenSiteCommand(prompter, sound, store, view));
    EXPECT_EQ(view.calls, std::vector<std::string>{"redraw"});
    EXPECT_EQ(prompter.shown().size(), 1u);
}

} // namespace
} // namespace walkmere
