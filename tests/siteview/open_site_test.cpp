// Opening a site into the site view: the floor plan, the viewport, the scroll bars, the
// refusals and the question about the points already in the file.
#include <gtest/gtest.h>

#include <QScrollBar>

#include "siteview/SiteViewOpening.h"
#include "testkit/SiteFileBuilder.h"
#include "testkit/SiteViewFixture.h"
#include "testkit/SparseSite.h"

namespace walkmere {
namespace {

using sitefiletest::BuiltSite;
using siteinputtest::SiteViewFixture;
using PlanLayout = sitefiletest::SiteLayout;

class OpenSite : public ::testing::Test, public SiteViewFixture {
protected:
    // A 300 x 280 plan with two survey points and a placed AP.
    std::string writeSite(const char* name, PlanLayout layout = {}) {
        if (layout.points.empty()) {
            for (const storetest::Bytes& p :
                 {storetest::pointBytes(10, 20, KIND_SURVEY_POINT, {storetest::reading(-15000)}),
                  storetest::pointBytes(30, 40, KIND_SURVEY_POINT),
                  storetest::pointBytes(50, 60, KIND_DYNAMIC_AP)})
                layout.points.insert(layout.points.end(), p.begin(), p.end());
        }
        built = sitefiletest::buildSite(layout);
        const auto file = dir.file(name);
        testkit::writeFileBytes(file, built.bytes);
        return file.string();
    }
    static PlanLayout bigPlan() {
        PlanLayout layout;
        layout.plan = sitefiletest::makeBmp(300, 280);
        return layout;
    }
    BuiltSite built;
};

TEST_F(OpenSite, ValidSiteWithKeepLoadsThePlanViewAndPoints) {
    makeView();
    const std::string file = writeSite("a.kvs", bigPlan());
    viewport.initView(50, 50);
    viewport.zoomIn(); // a previous site left zoomed in
    prompter.scriptFile(file);
    prompter.scriptYesNo(true);
    view->onCommand(ID_FILE_OPEN_SITE);

    EXPECT_TRUE(view->siteOpen);
    EXPECT_EQ(view->openedPath.toStdString(), file);
    EXPECT_EQ(store.sitePath(), file);
    EXPECT_EQ(view->floorPlan.size(), QSize(300, 280));
    EXPECT_EQ(viewport.bounds(), (EdgeRect{0, 0, 300, 280}));
    EXPECT_EQ(viewport.view(), (EdgeRect{0, 0, 240, 240})); // the client's shorter side
    EXPECT_EQ(viewport.zoom(), 1);
    EXPECT_EQ(view->horizontalBar()->maximum(), 300);
    EXPECT_EQ(view->verticalBar()->maximum(), 280);
    EXPECT_EQ(view->horizontalBar()->value(), 120);
    EXPECT_EQ(view->verticalBar()->value(), 120);
    EXPECT_EQ(store.index().size(), 3u);
    EXPECT_EQ(store.locationCount(), 2);

    const auto shown = prompter.shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0].kind, testkit::ScriptedPrompter::Kind::OpenFile);
    EXPECT_EQ(shown[0].request.filter, "Site Files (*.kvs)|*.kvs|All Files (*.*)|*.*||");
    EXPECT_EQ(shown[0].request.defaultExtension, "KVS");
    EXPECT_EQ(shown[0].request.initialName, "SITE1");
    EXPECT_TRUE(shown[0].request.fileMustExist);
    bool asked = false;
    for (const auto& s : shown)
        if (s.kind == testkit::ScriptedPrompter::Kind::YesNo)
            asked = s.text == "Do you wish to keep existing data points?" && s.caption == "Kivo";
    EXPECT_TRUE(asked);
    EXPECT_EQ(shown.back().kind, testkit::ScriptedPrompter::Kind::WaitEnd);
}

TEST_F(OpenSite, AnsweringNoDiscardsThePoints) {
    makeView();
    const std::string file = writeSite("a.kvs");
    prompter.scriptYesNo(false);
    ASSERT_TRUE(view->openSite(file)); // as from the command line: no file dialog
    EXPECT_TRUE(store.index().empty());
    EXPECT_EQ(std::filesystem::file_size(file), built.pointsOffset + 8u);
    for (const auto& s : prompter.shown())
        EXPECT_NE(s.kind, testkit::ScriptedPrompter::Kind::OpenFile);
}

TEST_F(OpenSite, WrongMagicIsRefusedAndThePreviousSiteStays) {
    makeView();
    const std::string good = writeSite("good.kvs", bigPlan());
    prompter.scriptYesNo(true);
    ASSERT_TRUE(view->openSite(good));
    const std::string bad = writeSite("bad.kvs");
    built.bytes[5] = 0x00; // bytes 4..7 are no longer 2A 53 45 42
    testkit::writeFileBytes(bad, built.bytes);
    prompter.clear();

    prompter.scriptFile(bad);
    view->onCommand(ID_FILE_OPEN_SITE);
    bool refused = false;
    for (const auto& s : prompter.shown())
        if (s.kind == testkit::ScriptedPrompter::Kind::Message)
            refused = s.text == "Not a Site File." && s.caption == "File Error" &&
                      s.icon == MessageIcon::Stop;
    EXPECT_TRUE(refused);
    EXPECT_EQ(testkit::readFileBytes(bad), built.bytes);
    EXPECT_EQ(view->openedPath.toStdString(), good);
    EXPECT_EQ(store.sitePath(), good);
    EXPECT_EQ(view->floorPlan.size(), QSize(300, 280));
    EXPECT_EQ(store.index().size(), 3u);
}

TEST_F(OpenSite, CancelledDialogChangesNothing) {
    makeView();
    prompter.scriptFile(std::nullopt);
    EXPECT_FALSE(view->openSite());
    EXPECT_FALSE(view->siteOpen);
    EXPECT_TRUE(store.sitePath().empty());
}

TEST_F(OpenSite, PlanThatIsNoBitmapOpensTheSiteWithoutAPlan) {
    makeView();
    PlanLayout layout;
    layout.plan = sitefiletest::Bytes(500, 0x42); // decodes, but is no Windows bitmap
    const std::string file = writeSite("noplan.kvs", layout);
    prompter.scriptYesNo(true);
    ASSERT_TRUE(view->openSite(file));
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"Cannot Load Bitmap"});
    EXPECT_TRUE(view->siteOpen);
    EXPECT_TRUE(view->floorPlan.isNull());
    EXPECT_EQ(viewport.bounds(), (EdgeRect{0, 0, 0, 0}));
    EXPECT_EQ(store.index().size(), 3u);
}

// 10,000 x 10,000 at 24 bits: Qt holds it in 400 MB, above its own default limit of 256 MB.
TEST_F(OpenSite, TheLargestPlanTakenOpens) {
    makeView();
    const auto file = dir.file("largest.kvs");
    testkit::writeSparseSite(file, testkit::bmpHeaders(10000, 10000, 24), 300'000'000 / 8);
    prompter.scriptYesNo(true);
    ASSERT_TRUE(view->openSite(file.string()));
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{});
    EXPECT_EQ(view->floorPlan.size(), QSize(10000, 10000));
    EXPECT_EQ(viewport.bounds(), (EdgeRect{0, 0, 10000, 10000}));
}

} // namespace
} // namespace walkmere
