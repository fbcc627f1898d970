// The Location Information dialog: its lines for each kind of point and its delete flow.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QListWidget>
#include <QPushButton>
#include <QTextLayout>

#include <filesystem>

#include "siteview/LocationInfoDlg.h"
#include "testkit/StoreFixture.h"

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
    Notices told;
    EXPECT_EQ(locationInfoLines(store, told), expected);
    EXPECT_TRUE(told.empty());

    CLocationInfoDlg dlg(store, prompter, sound);
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Location Information");
    EXPECT_EQ(listed(dlg), expected);
    EXPECT_TRUE(dlg.deleteButton()->isDefault());
    EXPECT_EQ(dlg.deleteButton()->text().toStdString(), "Delete This Point");
}

// The desktop map's list puts the strongest reading first and names its channel and band;
// the number is still the reading's place in the file.
TEST_F(LocationInfo, DesktopListIsStrongestFirstWithChannelAndBand) {
    siteWithThreeReadings();
    ASSERT_EQ(store.findNearest(100, 100), KIND_SURVEY_POINT);
    const std::vector<std::string> expected = {
        "#\tMAC ADDR\tRSSI\tCH\tBAND\tSSID",
        "3\t00-11-22-33-44-EF\t-19\t6\t?\tstrong", // RSSI with fractions: band unknown
        "2\t00-0A-F8-12-34-56\t-61\t11\t2.4 GHz\tcorp",
        "1\t00-11-22-33-44-01\t-78\t1\t?\tweak",
    };
    CLocationInfoDlg dlg(store, prompter, sound, nullptr, true);
    EXPECT_EQ(listed(dlg), expected);
}

// Where each column of a list line starts, laid out as the list draws it.
std::vector<qreal> columnStarts(const QString& line, const QFont& font, qreal tabStop) {
    QTextLayout layout(line, font);
    layout.setTextOption(locationLineLayout(tabStop));
    layout.beginLayout();
    QTextLine text = layout.createLine();
    text.setLineWidth(10000);
    layout.endLayout();
    std::vector<qreal> starts{0};
    for (qsizetype i = 0; i + 1 < line.size(); ++i)
        if (line[i] == '\t' && line[i + 1] != '\t') starts.push_back(text.cursorToX(int(i + 1)));
    return starts;
}

// One tab stop of 52 / (base units' x) dialog units, the base units worked out from the
// dialog's font the Windows way; with the dialog's font the MAC, RSSI and SSID columns of
// the readings start where the header's do.
// A 6 GHz channel 1 is told apart from a 2.4 GHz channel 1, whose line stays the handheld's.
TEST_F(LocationInfo, ASixGhzReadingEndsWithItsChannel) {
    makeSite(
        pointBytes(100, 100, KIND_SURVEY_POINT,
                   {reading(-70 * 256, 1, 0x01, "plain"), reading(-70 * 256 - 6, 1, 0x02, "six")}));
    ASSERT_TRUE(store.loadPoints());
    ASSERT_EQ(store.findNearest(100, 100), KIND_SURVEY_POINT);
    Notices told;
    EXPECT_EQ(
        locationInfoLines(store, told),
        (std::vector<std::string>{"#\tMAC ADDR\t\t\tRSSI\tSSID", "1\t00-11-22-33-44-01\t-70\tplain",
                                  "2\t00-11-22-33-44-02\t-70\tsix\t6G 1"}));
}

TEST_F(LocationInfo, ReadingColumnsStartUnderTheHeadersWithTheHandheldsTabStop) {
    siteWithThreeReadings();
    ASSERT_EQ(store.findNearest(100, 100), KIND_SURVEY_POINT);
    CLocationInfoDlg dlg(store, prompter, sound);
    const QFont font = dlg.list()->font();
    EXPECT_EQ(QFontInfo(font).family(), "Liberation Sans Narrow");
    EXPECT_TRUE(QFontInfo(font).bold());

    const int letters =
        QFontMetrics(dlg.font())
            .horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (letters / 26 + 1) / 2;
    EXPECT_EQ(dlg.tabStop(), (52 / baseX) * baseX / 4);

    QStringList lines;
    for (int i = 1; i < dlg.list()->count(); ++i)
        lines << dlg.list()->item(i)->text();
    lines << "32\t00-1A-2B-3C-4D-5E\t-100\tx"
          << "16\tFF-FF-FF-FF-FF-FF\t-20\tx"
          << "7\t88-88-88-88-88-88\t-99\tx"
          << "9\tAC-DE-48-00-11-22\t-45\ta long network name";
    const std::vector<qreal> header =
        columnStarts(dlg.list()->item(0)->text(), font, dlg.tabStop());
    ASSERT_EQ(header.size(), 4u);
    for (const QString& line : lines)
        EXPECT_EQ(columnStarts(line, font, dlg.tabStop()), header) << line.toStdString();
}

TEST_F(LocationInfo, PointWithoutReadingsShowsOnlyTheHeaderAndPlacedApOneLine) {
    makeSite(pointBytes(50, 50, KIND_SURVEY_POINT) + pointBytes(300, 300, KIND_DYNAMIC_AP));
    ASSERT_TRUE(store.loadPoints());
    ASSERT_EQ(store.findNearest(50, 50), KIND_SURVEY_POINT);
    Notices told;
    EXPECT_EQ(locationInfoLines(store, told),
              std::vector<std::string>{"#\tMAC ADDR\t\t\tRSSI\tSSID"});
    ASSERT_EQ(store.findNearest(300, 300), KIND_DYNAMIC_AP);
    CLocationInfoDlg dlg(store, prompter, sound);
    EXPECT_EQ(listed(dlg), std::vector<std::string>{"THIS POINT IS A DYNAMIC AP"});
}

TEST_F(LocationInfo, UnreadableReadingsLeaveEmptyLines) {
    siteWithThreeReadings();
    ASSERT_EQ(store.findNearest(100, 100), KIND_SURVEY_POINT);
    std::filesystem::remove(path); // the card was taken out after the points were loaded
    Notices told;
    const std::vector<std::string> lines = locationInfoLines(store, told);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "#\tMAC ADDR\t\t\tRSSI\tSSID");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[3], "");
    EXPECT_FALSE(told.empty()); // the failure to open is to be told

    // The dialog tells it.
    CLocationInfoDlg dlg(store, prompter, sound);
    EXPECT_FALSE(prompter.messages().empty());
    EXPECT_FALSE(sound.played().empty());
}

TEST_F(LocationInfo, DeleteYesDeletesThePointAndClosesTheDialog) {
    siteWithThreeReadings();
    ASSERT_EQ(store.findNearest(100, 100), KIND_SURVEY_POINT);
    const int32_t locationsBefore = store.locationCount();
    CLocationInfoDlg dlg(store, prompter, sound);
    dlg.show();
    prompter.scriptYesNo(true);
    dlg.deleteButton()->click();

    const auto shown = prompter.shown();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind, testkit::ScriptedPrompter::Kind::YesNo);
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
    CLocationInfoDlg dlg(store, prompter, sound);
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
