#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/OptionsDlg.h"
#include "coverage/RssiColour.h"
#include "scan/LiveApTable.h"
#include "siteview/Viewport.h"
#include "testkit/ScriptedPrompter.h"

namespace walkmere {
namespace {

using Messages = std::vector<std::string>;

class OptionsDialog : public ::testing::Test {
protected:
    // Settings away from the defaults, so that "unchanged" and "reset to defaults" differ.
    void SetUp() override {
        table.setSettleCount(3);
        table.setDecertifyTime(45);
        table.setDeleteTime(70);
    }

    void expectSettings(int settle, int decertify, int deleteTime) {
        EXPECT_EQ(table.settleCount(), settle);
        EXPECT_EQ(table.decertifyTime(), decertify);
        EXPECT_EQ(table.deleteTime(), deleteTime);
    }

    static void enter(COptionsDlg& dlg, const char* settle, const char* decertify,
                      const char* deleteTime) {
        dlg.settleCountEdit()->edit()->setText(QString::fromLatin1(settle));
        dlg.decertifyTimeEdit()->edit()->setText(QString::fromLatin1(decertify));
        dlg.deleteTimeEdit()->edit()->setText(QString::fromLatin1(deleteTime));
    }

    static void pressOk(COptionsDlg& dlg) {
        dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }

    CViewport viewport;
    CLiveApTable table;
    testkit::ScriptedPrompter prompter;
};

TEST_F(OptionsDialog, OpensWithTheCurrentSettings) {
    viewport.setShowWalkPath(false);
    COptionsDlg dlg(viewport, table, prompter);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Options"));
    EXPECT_FALSE(dlg.walkPathCheck()->isChecked());
    EXPECT_TRUE(dlg.accessPointCheck()->isChecked());
    EXPECT_EQ(dlg.settleCountEdit()->edit()->text(), QStringLiteral("3"));
    EXPECT_EQ(dlg.decertifyTimeEdit()->edit()->text(), QStringLiteral("45"));
    EXPECT_EQ(dlg.deleteTimeEdit()->edit()->text(), QStringLiteral("70"));
    EXPECT_EQ(dlg.walkPathCheck()->text(), QStringLiteral("Show Walk Path"));
    EXPECT_EQ(dlg.accessPointCheck()->text(), QStringLiteral("Show Access Points"));
}

TEST_F(OptionsDialog, CheckBoxClicksActAtOnceAndSayWhichWay) {
    COptionsDlg dlg(viewport, table, prompter);
    dlg.show();

    dlg.walkPathCheck()->click();
    EXPECT_FALSE(viewport.showWalkPath());
    EXPECT_FALSE(dlg.walkPathCheck()->isChecked());
    dlg.walkPathCheck()->click();
    EXPECT_TRUE(viewport.showWalkPath());
    EXPECT_TRUE(dlg.walkPathCheck()->isChecked());
    EXPECT_EQ(prompter.messages(), (Messages{"Disabled", "Enabled"}));

    dlg.accessPointCheck()->click();
    EXPECT_FALSE(viewport.showAccessPoints());
    EXPECT_TRUE(viewport.showWalkPath()); // each box has its own switch
    EXPECT_EQ(prompter.messages().back(), "Disabled");
}

TEST_F(OptionsDialog, SwitchChangesOutliveCancel) {
    {
        COptionsDlg dlg(viewport, table, prompter);
        dlg.show();
        dlg.walkPathCheck()->click();
        dlg.accessPointCheck()->click();
        dlg.reject();
    }
    EXPECT_FALSE(viewport.showWalkPath());
    EXPECT_FALSE(viewport.showAccessPoints());

    // The next run opens with the switches as they now stand.
    COptionsDlg again(viewport, table, prompter);
    EXPECT_FALSE(again.walkPathCheck()->isChecked());
    EXPECT_FALSE(again.accessPointCheck()->isChecked());
}

struct Refusal {
    const char* name; // of the test case
    const char* settle;
    const char* decertify;
    const char* deleteTime;
    const char* message;
};

void PrintTo(const Refusal& r, std::ostream* os) {
    *os << "settle \"" << r.settle << "\", decertify \"" << r.decertify << "\", delete \""
        << r.deleteTime << "\"";
}

class OptionsRefusal : public OptionsDialog, public ::testing::WithParamInterface<Refusal> {};

TEST_P(OptionsRefusal, KeepsTheDialogOpenAndStoresNothing) {
    const Refusal& r = GetParam();
    COptionsDlg dlg(viewport, table, prompter);
    dlg.show();
    enter(dlg, r.settle, r.decertify, r.deleteTime);
    pressOk(dlg);

    EXPECT_TRUE(dlg.isVisible());
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(prompter.messages(), (Messages{r.message}));
    expectSettings(3, 45, 70);
}

INSTANTIATE_TEST_SUITE_P(
    OutOfRangeOrNoNumber, OptionsRefusal,
    ::testing::Values(
        Refusal{"SettleBelowRange", "0", "20", "20", "Please enter an integer between 1 and 10."},
        Refusal{"SettleAboveRange", "11", "20", "20", "Please enter an integer between 1 and 10."},
        Refusal{"DecertifyBelowRange", "4", "9", "20",
                "Please enter an integer between 10 and 90."},
        Refusal{"DecertifyAboveRange", "4", "91", "20",
                "Please enter an integer between 10 and 90."},
        Refusal{"DeleteBelowRange", "4", "20", "9", "Please enter an integer between 10 and 90."},
        Refusal{"DeleteAboveRange", "4", "20", "91", "Please enter an integer between 10 and 90."},
        Refusal{"SettleFarAboveRange", "99999", "20", "20",
                "Please enter an integer between 1 and 10."},
        Refusal{"SettleEmpty", "", "20", "20", "Please enter an integer."},
        Refusal{"DeleteEmpty", "4", "20", "", "Please enter an integer."},
        // Only the first bad field is reported.
        Refusal{"OnlyTheFirstBadFieldIsReported", "0", "20", "91",
                "Please enter an integer between 1 and 10."}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(OptionsDialog, RefusedFieldTakesTheFocusAndCanBeMended) {
    COptionsDlg dlg(viewport, table, prompter);
    dlg.show();
    QApplication::setActiveWindow(&dlg);
    enter(dlg, "4", "91", "20");
    pressOk(dlg);
    EXPECT_TRUE(dlg.decertifyTimeEdit()->edit()->hasFocus());

    dlg.decertifyTimeEdit()->edit()->setText(QStringLiteral("90"));
    pressOk(dlg);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    expectSettings(4, 90, 20);
}

TEST_F(OptionsDialog, OkStoresTheRangeEnds) {
    for (auto [settle, decertify, deleteTime] :
         {std::tuple{"1", "10", "90"}, std::tuple{"10", "90", "10"}}) {
        prompter.clear();
        COptionsDlg dlg(viewport, table, prompter);
        dlg.show();
        enter(dlg, settle, decertify, deleteTime);
        pressOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_TRUE(prompter.messages().empty());
        expectSettings(std::stoi(settle), std::stoi(decertify), std::stoi(deleteTime));
    }
}

TEST_F(OptionsDialog, OkWithoutChangesKeepsTheCurrentSettings) {
    COptionsDlg dlg(viewport, table, prompter);
    dlg.show();
    pressOk(dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    expectSettings(3, 45, 70);
}

TEST_F(OptionsDialog, CancelAndCloseBoxStoreNothing) {
    {
        COptionsDlg dlg(viewport, table, prompter);
        dlg.show();
        enter(dlg, "8", "80", "80");
        dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    expectSettings(3, 45, 70);
    {
        COptionsDlg dlg(viewport, table, prompter);
        dlg.show();
        enter(dlg, "0", "80", "80"); // a bad value is not even looked at
        dlg.close();
    }
    expectSettings(3, 45, 70);
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(OptionsDialog, FieldsTakeDigitsOnly) {
    COptionsDlg dlg(viewport, table, prompter);
    dlg.show();
    QLineEdit* edit = dlg.settleCountEdit()->edit();
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("-a1x2"));
    EXPECT_EQ(edit->text(), QStringLiteral("12")); // out of range, but typeable
}

TEST_F(OptionsDialog, ArrowsStepWithinTheRange) {
    COptionsDlg dlg(viewport, table, prompter);
    dlg.show();
    CNumberEdit* settle = dlg.settleCountEdit();
    settle->edit()->setText(QStringLiteral("10"));
    settle->upButton()->click();
    EXPECT_EQ(settle->edit()->text(), QStringLiteral("10"));
    settle->downButton()->click();
    EXPECT_EQ(settle->edit()->text(), QStringLiteral("9"));

    // A typed number outside the range is brought in before the step.
    settle->edit()->setText(QStringLiteral("55"));
    settle->downButton()->click();
    EXPECT_EQ(settle->edit()->text(), QStringLiteral("9"));

    CNumberEdit* decertify = dlg.decertifyTimeEdit();
    decertify->edit()->setText(QStringLiteral("10"));
    QTest::keyClick(decertify->edit(), Qt::Key_Down);
    EXPECT_EQ(decertify->edit()->text(), QStringLiteral("10"));
    QTest::keyClick(decertify->edit(), Qt::Key_Up);
    EXPECT_EQ(decertify->edit()->text(), QStringLiteral("11"));

    EXPECT_EQ(table.settleCount(), 3); // stepping alone stores nothing
}

TEST_F(OptionsDialog, LegendSitsAtTheDialogsTopLeft) {
    COptionsDlg dlg(viewport, table, prompter);
    dlg.show();
    const QImage img = dlg.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_GE(img.width(), 240);
    EXPECT_EQ(img.pixel(41, 27), qRgb(255, 0, 0));
    const Rgb last = rssiColour(-21);
    EXPECT_EQ(img.pixel(198, 27), qRgb(last.r, last.g, last.b));
    EXPECT_EQ(img.pixel(199, 27), qRgb(0, 0, 0));
    // The controls start below the legend.
    EXPECT_GE(dlg.walkPathCheck()->mapTo(&dlg, QPoint(0, 0)).y(), COptionsDlg::kLegendHeight);
}

// The frame's entry point: runs the dialog modally; `act` plays the user.
void runModal(CViewport& viewport, CLiveApTable& table, IPrompter& prompter,
              std::function<void(COptionsDlg&)> act) {
    QTimer::singleShot(0, [act] {
        COptionsDlg* dlg = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = dynamic_cast<COptionsDlg*>(w); d && d->isVisible()) dlg = d;
        }
        ASSERT_NE(dlg, nullptr); // nothing to close: exec() cannot have started
        act(*dlg);
        if (dlg->isVisible()) dlg->reject(); // never leave the modal loop hanging
    });
    runOptionsCommand(nullptr, viewport, table, prompter);
}

TEST_F(OptionsDialog, CommandRunsModallyAndStoresOnOk) {
    runModal(viewport, table, prompter, [](COptionsDlg& dlg) {
        enter(dlg, "7", "33", "66");
        pressOk(dlg);
    });
    expectSettings(7, 33, 66);

    runModal(viewport, table, prompter, [](COptionsDlg& dlg) {
        EXPECT_EQ(dlg.decertifyTimeEdit()->edit()->text(), QStringLiteral("33"));
        enter(dlg, "2", "22", "22");
        dlg.reject();
    });
    expectSettings(7, 33, 66);
}

} // namespace
} // namespace walkmere
