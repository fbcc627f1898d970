// "Do you wish to keep existing data points?": only a real No removes them, and never
// before the file as it was is safe in discarded/ under the data folder.
#include "survey/OpenSiteCommand.h"

#include "survey/SafetyCopy.h"
#include "survey/SurveyStore.h"
#include "testkit/DataHome.h"
#include "testkit/RecordingSoundPlayer.h"
#include "testkit/ScopedEnv.h"
#include "testkit/ScriptedPrompter.h"
#include "testkit/SiteFileBuilder.h"

#include <gtest/gtest.h>

namespace walkmere {
namespace {

namespace fs = std::filesystem;
using sitefiletest::Bytes;

class QuietView final : public ISiteOpenView {
public:
    void siteAccepted(const std::string&) override {}
    bool loadFloorPlan(const std::string&) override { return true; }
    void siteReady() override {}
    void redraw() override {}
};

Bytes twoPoints() {
    Bytes b;
    for (int i = 0; i < 2; ++i) {
        PointRecord p;
        p.setX(10 * i);
        p.setY(20);
        p.setLabel("TEST");
        b.insert(b.end(), p.bytes.begin(), p.bytes.end());
    }
    return b;
}

class KeepPoints : public ::testing::Test {
protected:
    std::vector<fs::path> copies() const {
        std::vector<fs::path> out;
        if (fs::exists(home.discarded()))
            for (const auto& e : fs::directory_iterator(home.discarded()))
                out.push_back(e.path());
        return out;
    }
    void open(YesNoAnswer answer) {
        prompter.scriptFile(site.string());
        prompter.scriptYesNo(answer);
        ASSERT_TRUE(runOpenSiteCommand(prompter, sound, store, view));
    }

    testkit::TempDir dir;
    testkit::ScopedDataHome home;
    fs::path site = dir.file("office.kvs");
    testkit::ScriptedPrompter prompter;
    testkit::RecordingSoundPlayer sound;
    CSurveyStore store;
    QuietView view;
};

TEST_F(KeepPoints, OnlyARealNoDiscardsAndTheFileAsItWasIsKept) {
    struct Case {
        YesNoAnswer answer;
        size_t pointsAfter;
        size_t copiesMade;
    };
    for (const Case c : {Case{YesNoAnswer::Yes, 2, 0}, Case{YesNoAnswer::Dismissed, 2, 0},
                         Case{YesNoAnswer::No, 0, 1}}) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        fs::remove_all(home.discarded());
        sitefiletest::SiteLayout layout;
        layout.points = twoPoints();
        testkit::writeFileBytes(site, sitefiletest::buildSite(layout).bytes);
        open(c.answer);
        // What the store holds is what the file holds.
        EXPECT_EQ(store.index().size(), c.pointsAfter);
        const auto made = copies();
        ASSERT_EQ(made.size(), c.copiesMade);
        if (c.copiesMade == 0) continue;
        // The copy is the file as it was when the question was answered: opened once
        // (its two cleared flags are written then), with both points.
        Bytes expected = testkit::readFileBytes(site);
        expected.insert(expected.end(), layout.points.begin(), layout.points.end());
        EXPECT_EQ(testkit::readFileBytes(made[0]), expected);
        EXPECT_EQ(made[0].extension(), ".kvs");
        EXPECT_EQ(made[0].filename().string().rfind("office-", 0), 0u);
    }
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(KeepPoints, CopiesNeverReplaceEachOtherAndAnEmptySurveyNeedsNone) {
    sitefiletest::SiteLayout layout;
    layout.points = twoPoints();
    for (int i = 0; i < 3; ++i) {
        testkit::writeFileBytes(site, sitefiletest::buildSite(layout).bytes);
        open(YesNoAnswer::No); // three times within the same second, most likely
    }
    EXPECT_EQ(copies().size(), 3u);
    open(YesNoAnswer::No); // nothing left to lose
    EXPECT_EQ(copies().size(), 3u);
}

TEST_F(KeepPoints, WithoutACopyThePointsStay) {
    testkit::ScopedEnv unusable{"WALKMERE_HOME", (dir.file("office.kvs") / "no").string()};
    sitefiletest::SiteLayout layout;
    layout.points = twoPoints();
    testkit::writeFileBytes(site, sitefiletest::buildSite(layout).bytes);
    const uintmax_t sizeBefore = sitefiletest::buildSite(layout).bytes.size();
    open(YesNoAnswer::No);
    EXPECT_EQ(fs::file_size(site), sizeBefore);
    EXPECT_EQ(store.index().size(), 2u);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_NE(prompter.messages()[0].find("The survey points were kept"), std::string::npos);
}

} // namespace
} // namespace walkmere
