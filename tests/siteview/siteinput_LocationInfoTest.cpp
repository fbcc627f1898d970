// The Location Information dialog: its lines for each kind of point and its delete flow.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>

#include <filesystem>

#include "siteview/LocationInfoDlg.h"
#include "survey/store_TestSite.h"

namespace walkmere {
namespace {

using namespace storetest;

ApReading corpReading() {
    ApReading r;
    r.setChannel(11);
    r.setRssi256(-15616);
    const uint8_t mac[6] = {0x00, 0x0A, 0xF8, 0x12, 0x34, 0x56};
    r.setMac(mac);
    r.setSsid("corp");
    return r;
}

class LocationInfo : public ::testing::Test, public StoreFixture {
protected:
    void siteWithThreeReadings() {
        makeSite(pointBytes(100, 100, KIND_SURVEY_POINT,
                            {reading(-20000, 1, 0x01, "weak"), corpReading(),
                             reading(-5000, 6, 0xEF, "strong")}) +
                 pointBytes(300, 300, KIND_DYNAMIC_AP));
        ASSERT_TRUE(store.loadPoints());
    }
    std::vector<std::string> listed(const CLocationInfoDlg& dlg) {
        std::vector<std::string> out;
        for (int i = 0; i < dlg.list()->count(); ++i)
            out.push_back(dlg.list()->item(i)->text().toStdString());
        return out;
    }
};

TEST_F(LocationInfo, SurveyPointListsHeaderAndOneLinePerReadingInStoredOrder) {
    siteWithThreeReadings();
    ASSERT_EQ(store.findNearest(100, 100), KIND_SURVEY_POINT);
    const std::vector<std::string> expected = {
        "#\tMAC ADDR\t\t\tRSSI\tSSID",
        "1\t00-11-22-33-44-01\t-78\tweak", // -20000 / 256 = -78.1, truncated toward zero
        "2\t00-0A-F8-12-34-56\t-61\tcorp",
        "3\t00-11-22-33-44-EF\t-19\tstrong",
    };
    EXPECT_EQ(locationInfoLines(store), expected);

    CLocationInfoDlg dlg(store, prompter);
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Location Information");
    EXPECT_EQ(listed(dlg), expected);
    EXPECT_TRUE(dlg.deleteButton()->isDefault());
    EXPECT_EQ(dlg.deleteButton()->text().toStdString(), "Delete This Point");
}

TEST_F(LocationInfo, PointWithoutReadingsShowsOnlyTheHeaderAndPlacedApOneLine) {
    makeSite(pointBytes(50, 50, KIND_SURVEY_POINT) + pointBytes(300, 300, KIND_DYNAMIC_AP));
    ASSERT_TRUE(store.loadPoints());
    ASSERT_EQ(store.findNearest(50, 50), KIND_SURVEY_POINT);
    EXPECT_EQ(locationInfoLines(store), std::vector<std::string>{"#\tMAC ADDR\t\t\tRSSI\tSSID"});
    ASSERT_EQ(store.findNearest(300, 300), KIND_DYNAMIC_AP);
    CLocationInfoDlg dlg(store, prompter);
    EXPECT_EQ(listed(dlg), std::vector<std::string>{"THIS POINT IS A DYNAMIC AP"});
}

TEST_F(LocationInfo, UnreadableReadingsLeaveEmptyLines) {
    siteWithThreeReadings();
    ASSERT_EQ(store.findNearest(100, 100), KIND_SURVEY_POINT);
    std::filesystem::remove(path); // the card was taken out after the points were loaded
    const std::vector<std::string> lines = locationInfoLines(store);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "#\tMAC ADDR\t\t\tRSSI\tSSID");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[3], "");
    EXPECT_FALSE(prompter.messages().empty()); // the failure to open was reported
}

TEST_F(LocationInfo, DeleteYesDeletesThePointAndClosesTheDialog) {
    siteWithThreeReadings();
    ASSERT_EQ(store.findNearest(100, 100), KIND_SURVEY_POINT);
    const int32_t locationsBefore = store.locationCount();
    CLocationInfoDlg dlg(store, prompter);
    dlg.show();
    prompter.scriptYesNo(true);
    dlg.deleteButton()->click();

    const auto shown = prompter.shown();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind, ScriptedPrompter::Kind::YesNo);
    EXPECT_EQ(shown[0].text, "Delete?");
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"Deleted."});
    EXPECT_EQ(store.index()[0].kind, KIND_DELETED);
    EXPECT_EQ(recordAt(file(), kPointsAt + 8).kind(), KIND_DELETED);
    EXPECT_EQ(store.locationCount(), locationsBefore - 1);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), 0);
}

TEST_F(LocationInfo, DeleteNoChangesNothingAndStaysOpen) {
    siteWithThreeReadings();
    ASSERT_EQ(store.findNearest(300, 300), KIND_DYNAMIC_AP);
    const Bytes before = file();
    CLocationInfoDlg dlg(store, prompter);
    dlg.show();
    prompter.scriptYesNo(false);
    dlg.deleteButton()->click();

    EXPECT_TRUE(prompter.messages().empty());
    EXPECT_EQ(file(), before);
    EXPECT_EQ(store.index()[1].kind, KIND_DYNAMIC_AP);
    EXPECT_TRUE(dlg.isVisible());
}

} // namespace
} // namespace walkmere
