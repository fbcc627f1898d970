// The save command: sign-off, signature, save dialog, and the survey going on in the copy.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>

#include "survey/FileOps.h"
#include "survey/SaveSite.h"
#include "testkit/FailingFileOps.h"
#include "testkit/StoreFixture.h"

namespace walkmere {
namespace {

namespace fs = std::filesystem;
using namespace storetest;
using testkit::FailingFileOps;

constexpr size_t kSignatureAt = 152;

class SaveFlow : public ::testing::Test, public StoreFixture {
protected:
    void SetUp() override {
        makeSite(pointBytes(5, 6, KIND_SURVEY_POINT, {reading(-60 * 256)}));
        ASSERT_TRUE(store.loadPoints());
    }

    // Signs with one ink pixel at (0, 0).
    SaveOutcome save() {
        const size_t shownBefore = prompter.shown().size();
        return runSaveFlow(
            store, prompter, sound, openedPath, [this, shownBefore](SignatureImage& pad) {
                ++signOffs;
                EXPECT_EQ(prompter.shown().size(), shownBefore) << "the sign-off comes first";
                pad.setInk(0, 0, true);
            });
    }
    static uint8_t firstSignatureByte(const Bytes& f) { return f[kSignatureAt]; }
    std::set<std::string> names() const {
        std::set<std::string> n;
        for (const auto& e : fs::directory_iterator(dir.path()))
            n.insert(e.path().filename().string());
        return n;
    }

    std::string openedPath = "/survey/as-opened.kvs";
    int signOffs = 0;
};

TEST_F(SaveFlow, CancellingKeepsTheSignatureInTheOpenFileAndCopiesNothing) {
    EXPECT_EQ(save(), SaveOutcome::Cancelled);
    EXPECT_EQ(signOffs, 1);
    EXPECT_EQ(firstSignatureByte(file()), 0x7F);
    EXPECT_EQ(store.sitePath(), path.string());
    EXPECT_EQ(names(), (std::set<std::string>{"site.kvs"}));

    auto shown = prompter.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, testkit::ScriptedPrompter::Kind::SaveFile);
    const FileDialogRequest& r = shown[0].request;
    EXPECT_EQ(r.filter, "Kivo Site Files (*.kvs)|*.kvs|All Files (*.*)|*.*||");
    EXPECT_EQ(r.defaultExtension, ".kvs");
    EXPECT_EQ(r.initialName, openedPath);
    EXPECT_TRUE(r.promptOverwrite);
    EXPECT_TRUE(r.pathMustExist);
    EXPECT_FALSE(r.fileMustExist);
}

TEST_F(SaveFlow, TheSameNameOrALinkToTheOpenFileCopiesNothingAndSaysNothing) {
    const Bytes signedFile = [&] {
        prompter.scriptFile(path.string());
        EXPECT_EQ(save(), SaveOutcome::SameFile);
        return file();
    }();
    EXPECT_EQ(firstSignatureByte(signedFile), 0x7F);

    fs::create_symlink(path, dir.file("link.kvs"));
    prompter.scriptFile(dir.file("link.kvs").string());
    EXPECT_EQ(save(), SaveOutcome::SameFile);
    prompter.scriptFile((dir.path() / "." / "site.kvs").string());
    EXPECT_EQ(save(), SaveOutcome::SameFile);

    EXPECT_EQ(file(), signedFile) << "a copy onto itself would have emptied it";
    EXPECT_TRUE(fs::is_symlink(dir.file("link.kvs")));
    EXPECT_EQ(store.sitePath(), path.string());
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(SaveFlow, ANameDifferingOnlyInLetterCaseIsCopied) {
    prompter.scriptFile(dir.file("SITE.kvs").string());
    EXPECT_EQ(save(), SaveOutcome::Copied);
    EXPECT_EQ(testkit::readFileBytes(dir.file("SITE.kvs")), file());
    EXPECT_EQ(store.sitePath(), dir.file("SITE.kvs").string());
}

TEST_F(SaveFlow, AfterSavingUnderANewNameTheNextPointGoesIntoTheCopy) {
    fs::path copy = dir.file("copy.kvs");
    prompter.scriptFile(copy.string());
    EXPECT_EQ(save(), SaveOutcome::Copied);
    EXPECT_EQ(store.sitePath(), copy.string());
    EXPECT_TRUE(prompter.messages().empty());
    const Bytes oldFile = file();
    EXPECT_EQ(testkit::readFileBytes(copy), oldFile);
    EXPECT_EQ(firstSignatureByte(oldFile), 0x7F) << "signed before the copy";

    store.beginPoint(30, 40, "TEST");
    std::vector<ApRecord> certified = {ap(9, -55)};
    EXPECT_EQ(store.commitPoint(certified).stored, 1);

    EXPECT_EQ(file(), oldFile) << "the old file keeps the points taken before the save";
    Bytes copied = testkit::readFileBytes(copy);
    ASSERT_EQ(copied.size(), oldFile.size() + kPointRecordSize + kReadingSize);
    PointRecord p = recordAt(copied, oldFile.size());
    EXPECT_EQ(p.x(), 30);
    EXPECT_EQ(p.y(), 40);
    EXPECT_EQ(readingAt(copied, oldFile.size() + kPointRecordSize).rssi256(), -55 * 256);
    EXPECT_EQ(store.locationCount(), 2);
}

TEST_F(SaveFlow, ACopyThatCannotBeMadeIsReportedAndTheSurveyStaysInTheOldFile) {
    fs::create_directory(dir.file("taken.kvs")); // a name root cannot write a file under
    for (std::string target : {dir.file("taken.kvs").string(), dir.file("missing/x.kvs").string(),
                               std::string("/proc/walkmere-save.kvs")}) {
        prompter.clear();
        prompter.scriptFile(target);
        EXPECT_EQ(save(), SaveOutcome::CopyFailed) << target;
        auto shown = prompter.shown();
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[1].kind, testkit::ScriptedPrompter::Kind::Message);
        EXPECT_EQ(shown[1].text, "Could not copy file.");
        EXPECT_EQ(shown[1].caption, "Kivo");
        EXPECT_EQ(store.sitePath(), path.string());
        EXPECT_EQ(names(), (std::set<std::string>{"site.kvs", "taken.kvs"}));
    }
}

TEST_F(SaveFlow, AWriteFailureDuringTheCopyLeavesTheDestinationAsItWas) {
    fs::path dest = dir.file("older.kvs");
    const Bytes older(3000, 0x33);
    testkit::writeFileBytes(dest, older);

    FailingFileOps failing;
    // Write 1 is the signature; the copy's second write fails after a short one.
    failing.failOn(FailingFileOps::Call::Write, 2, ENOSPC, 700);
    ScopedFileOps use(failing);
    prompter.scriptFile(dest.string());
    EXPECT_EQ(save(), SaveOutcome::CopyFailed);
    EXPECT_EQ(testkit::readFileBytes(dest), older);
    EXPECT_EQ(store.sitePath(), path.string());
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"Could not copy file."});
    EXPECT_EQ(firstSignatureByte(file()), 0x7F);
    EXPECT_EQ(names(), (std::set<std::string>{"site.kvs", "older.kvs"}));
}

TEST_F(SaveFlow, ASignatureThatCannotBeWrittenStillLeadsToTheSaveDialog) {
    FailingFileOps failing;
    failing.failOn(FailingFileOps::Call::Write, 1, EIO);
    ScopedFileOps use(failing);
    prompter.scriptFile(dir.file("copy.kvs").string());
    EXPECT_EQ(save(), SaveOutcome::Copied);
    auto shown = prompter.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[0].text.find("Could not write the signature"), std::string::npos);
    EXPECT_EQ(shown[1].kind, testkit::ScriptedPrompter::Kind::SaveFile);
}

} // namespace
} // namespace walkmere
