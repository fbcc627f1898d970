// The sign-off dialog and the save command with a real dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "app/SignOffDlg.h"
#include "testkit/StoreFixture.h"

namespace walkmere {
namespace {

using namespace storetest;

void drawLine(CSignaturePad& pad, QPoint from, QPoint to) {
    QTest::mousePress(&pad, Qt::LeftButton, {}, from);
    QTest::mouseMove(&pad, to);
    QTest::mouseRelease(&pad, Qt::LeftButton, {}, to);
}

// Runs `inside` once the next modal dialog is up.
void whenModal(std::function<void(CSignOffDlg&)> inside) {
    QTimer::singleShot(0, [inside] {
        auto* dlg = qobject_cast<CSignOffDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        inside(*dlg);
    });
}

TEST(SignOffDlg, HasItsCaptionPadAndButtons) {
    CSignOffDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "Sign Off On Survey");
    EXPECT_EQ(dlg.clearButton()->text(), "CLEAR SIGNATURE");
    EXPECT_EQ(dlg.saveButton()->text(), "SAVE SITE SURVEY");
    EXPECT_TRUE(dlg.isAncestorOf(&dlg.pad()));
}

TEST(SignOffDlg, SaveClosesWithResultZeroAndThePadOutlivesTheWindow) {
    CSignOffDlg dlg;
    whenModal([](CSignOffDlg& d) {
        drawLine(d.pad(), QPoint(20, 20), QPoint(80, 20));
        d.saveButton()->click();
    });
    EXPECT_EQ(dlg.exec(), 0);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.pad().IsBlankPixel(50, 20));
    EXPECT_TRUE(dlg.pad().IsBlankPixel(50, 40));
}

TEST(SignOffDlg, ClearSignatureButtonBlanksThePad) {
    CSignOffDlg dlg;
    whenModal([](CSignOffDlg& d) {
        drawLine(d.pad(), QPoint(20, 20), QPoint(80, 60));
        EXPECT_FALSE(d.pad().IsBlankPixel(20, 20));
        d.clearButton()->click();
        d.saveButton()->click();
    });
    dlg.exec();
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_TRUE(dlg.pad().IsBlankPixel(x, y)) << x << "," << y;
}

TEST(SignOffDlg, ClosingWithoutWritingLeavesEverySampledPixelBlank) {
    CSignOffDlg dlg;
    whenModal([](CSignOffDlg& d) { d.reject(); }); // the title-bar button
    dlg.exec();
    for (int y = 0; y < 65; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_TRUE(dlg.pad().IsBlankPixel(x, y)) << x << "," << y;
}

class SaveCommand : public ::testing::Test, public StoreFixture {
protected:
    void SetUp() override {
        makeSite();
        ASSERT_TRUE(store.loadPoints());
    }
    uint8_t signatureByte(int row, int byte) const {
        return file()[152 + static_cast<size_t>(row * 26 + byte)];
    }
};

TEST_F(SaveCommand, TheSignatureDrawnInTheDialogReachesTheOpenFile) {
    whenModal([](CSignOffDlg& d) {
        drawLine(d.pad(), QPoint(20, 10), QPoint(70, 10));
        d.saveButton()->click();
    });
    runSaveSiteCommand(nullptr, store, prompter, sound, "/as/opened.kvs");

    EXPECT_EQ(signatureByte(10, 5), 0x00) << "columns 40 to 47 are ink";
    EXPECT_EQ(signatureByte(10, 0), 0xFF);
    EXPECT_EQ(signatureByte(10, 25), 0x00);
    EXPECT_EQ(signatureByte(30, 5), 0xFF);
    EXPECT_EQ(signatureByte(99, 25), 0xFF);
    auto shown = prompter.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, testkit::ScriptedPrompter::Kind::SaveFile);
    EXPECT_EQ(shown[0].request.initialName, "/as/opened.kvs");
    EXPECT_EQ(store.sitePath(), path.string());
}

TEST_F(SaveCommand, ClosingByTheTitleBarStillSignsAndSaves) {
    prompter.scriptFile(dir.file("copy.kvs").string());
    whenModal([](CSignOffDlg& d) { d.reject(); });
    runSaveSiteCommand(nullptr, store, prompter, sound, "/as/opened.kvs");
    EXPECT_EQ(signatureByte(0, 0), 0xFF) << "a blank signature was written";
    EXPECT_EQ(store.sitePath(), dir.file("copy.kvs").string());
    EXPECT_EQ(testkit::readFileBytes(dir.file("copy.kvs")), file());
}

} // namespace
} // namespace walkmere
