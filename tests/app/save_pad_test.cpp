// The signature pad: strokes by mouse, stylus and touch, clipping and clearing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointingDevice>
#include <QTabletEvent>
#include <QTest>

#include <memory>

#include "app/SignOffDlg.h"
#include "app/SignaturePad.h"
#include "survey/SignatureBlock.h"

namespace walkmere {
namespace {

int inkCount(const CSignaturePad& pad) {
    int n = 0;
    for (int y = 0; y < CSignaturePad::kHeight; ++y)
        for (int x = 0; x < CSignaturePad::kWidth; ++x)
            if (!pad.IsBlankPixel(x, y)) ++n;
    return n;
}

class Pad : public ::testing::Test {
protected:
    void SetUp() override {
        pad.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&pad));
    }
    void stroke(std::initializer_list<QPoint> points) {
        auto it = points.begin();
        QTest::mousePress(&pad, Qt::LeftButton, {}, *it);
        for (++it; it != points.end(); ++it)
            QTest::mouseMove(&pad, *it);
        QTest::mouseRelease(&pad, Qt::LeftButton, {}, *(points.end() - 1));
    }
    CSignaturePad pad;
};

TEST_F(Pad, IsAOneBitBitmapOf200By100ThatStartsBlank) {
    EXPECT_EQ(pad.bitmap().size(), QSize(200, 100));
    EXPECT_EQ(pad.bitmap().depth(), 1);
    EXPECT_EQ(pad.size(), QSize(200, 65)) << "only the rows a site file records show";
    EXPECT_EQ(inkCount(pad), 0);
    EXPECT_TRUE(pad.IsBlankPixel(-1, 0));
    EXPECT_TRUE(pad.IsBlankPixel(200, 50));
    EXPECT_TRUE(pad.IsBlankPixel(5, 100));
}

TEST_F(Pad, AMouseStrokeInksAlongItsPolylineOnly) {
    stroke({QPoint(20, 30), QPoint(60, 30), QPoint(60, 50)});
    for (int x = 20; x <= 60; x += 5)
        EXPECT_FALSE(pad.IsBlankPixel(x, 30)) << x;
    for (int y = 30; y <= 50; y += 5)
        EXPECT_FALSE(pad.IsBlankPixel(60, y)) << y;
    // A 2-pixel pen: nothing a few pixels off the line.
    EXPECT_TRUE(pad.IsBlankPixel(40, 33));
    EXPECT_TRUE(pad.IsBlankPixel(40, 27));
    EXPECT_TRUE(pad.IsBlankPixel(40, 45));
    EXPECT_TRUE(pad.IsBlankPixel(150, 80));
    EXPECT_LT(inkCount(pad), 3 * (40 + 20 + 4));

    // Lifting the pen ends the stroke: the next one does not join the last point.
    stroke({QPoint(100, 10), QPoint(120, 10)});
    EXPECT_TRUE(pad.IsBlankPixel(80, 30));
    EXPECT_FALSE(pad.IsBlankPixel(110, 10));
}

TEST_F(Pad, MovesWithoutAPressDrawNothing) {
    QTest::mouseMove(&pad, QPoint(10, 10));
    QTest::mouseMove(&pad, QPoint(150, 90));
    QMouseEvent hover(QEvent::MouseMove, QPointF(50, 50), pad.mapToGlobal(QPointF(50, 50)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&pad, &hover);
    EXPECT_EQ(inkCount(pad), 0);
}

TEST_F(Pad, ATapLeavesADotAtThePressPoint) {
    stroke({QPoint(10, 10)});
    EXPECT_FALSE(pad.IsBlankPixel(10, 10));
    EXPECT_TRUE(pad.IsBlankPixel(13, 13));
    EXPECT_LE(inkCount(pad), 4);
}

TEST_F(Pad, AStrokeLeavingThePadIsClippedToTheBitmap) {
    stroke({QPoint(150, 50), QPoint(400, 50), QPoint(400, -300), QPoint(-50, -50)});
    EXPECT_FALSE(pad.IsBlankPixel(170, 50));
    EXPECT_FALSE(pad.IsBlankPixel(199, 50));
    EXPECT_EQ(pad.bitmap().size(), QSize(200, 100));
    stroke({QPoint(-20, 60), QPoint(30, 60)});
    EXPECT_FALSE(pad.IsBlankPixel(0, 60));
    EXPECT_FALSE(pad.IsBlankPixel(30, 60));
    // Below the visible rows nothing is inked, though the bitmap goes on.
    stroke({QPoint(100, 40), QPoint(100, 95)});
    EXPECT_FALSE(pad.IsBlankPixel(100, 64));
    for (int y = 65; y < CSignaturePad::kHeight; ++y)
        EXPECT_TRUE(pad.IsBlankPixel(100, y)) << y;
}

TEST_F(Pad, ClearSignatureMakesEveryPixelBlankAgain) {
    stroke({QPoint(0, 0), QPoint(199, 99)});
    stroke({QPoint(199, 0), QPoint(0, 99)});
    ASSERT_GT(inkCount(pad), 200);
    pad.ClearSignature();
    EXPECT_EQ(inkCount(pad), 0);
    stroke({QPoint(50, 50), QPoint(70, 50)});
    EXPECT_FALSE(pad.IsBlankPixel(60, 50)) << "the pad draws again after clearing";
}

TEST_F(Pad, TheFirstFingerDrawsOnATouchScreen) {
    std::unique_ptr<QPointingDevice> screen(QTest::createTouchDevice());
    QTest::touchEvent(&pad, screen.get()).press(0, QPoint(30, 30));
    QTest::touchEvent(&pad, screen.get()).move(0, QPoint(90, 30)).press(1, QPoint(30, 58));
    QTest::touchEvent(&pad, screen.get()).move(0, QPoint(90, 40)).move(1, QPoint(90, 58));
    QTest::touchEvent(&pad, screen.get()).release(0, QPoint(90, 40)).release(1, QPoint(90, 58));
    EXPECT_FALSE(pad.IsBlankPixel(30, 30));
    EXPECT_FALSE(pad.IsBlankPixel(60, 30));
    EXPECT_FALSE(pad.IsBlankPixel(90, 35));
    EXPECT_TRUE(pad.IsBlankPixel(60, 58)) << "a second finger does not draw";
    EXPECT_TRUE(pad.IsBlankPixel(60, 50));
}

TEST_F(Pad, AStylusDrawsThroughTabletEvents) {
    QPointingDevice stylus(
        "test stylus", 42, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Pen,
        QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
    auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
        QTabletEvent e(type, &stylus, at, pad.mapToGlobal(at), 0.5, 0, 0, 0, 0, 0, Qt::NoModifier,
                       button, held);
        QApplication::sendEvent(&pad, &e);
        EXPECT_TRUE(e.isAccepted());
    };
    send(QEvent::TabletMove, QPointF(10, 60), Qt::NoButton, Qt::NoButton); // hovering
    send(QEvent::TabletPress, QPointF(20, 50), Qt::LeftButton, Qt::LeftButton);
    send(QEvent::TabletMove, QPointF(120, 50), Qt::NoButton, Qt::LeftButton);
    send(QEvent::TabletRelease, QPointF(120, 50), Qt::LeftButton, Qt::NoButton);
    send(QEvent::TabletMove, QPointF(150, 10), Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(pad.IsBlankPixel(70, 50));
    EXPECT_TRUE(pad.IsBlankPixel(10, 60));
    EXPECT_TRUE(pad.IsBlankPixel(140, 40)) << "no line after the stylus was lifted";
}

// In the sign-off dialog the pad is its control's 125 x 40 dialog units, at most 200 x 65:
// a stroke along any edge of what shows lands in the signature block that is written.
TEST(SignOffPad, WhatThePadShowsIsWhatTheBlockRecords) {
    CSignOffDlg dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    CSignaturePad& pad = dialog.pad();
    const QRect shown = pad.visibleArea();
    EXPECT_EQ(pad.size(), shown.size());
    EXPECT_LE(shown.width(), signature::kPadWidth);
    EXPECT_LE(shown.height(), signature::kRecordedRows);
    EXPECT_GE(shown.height(), signature::kRecordedRows - 8) << "the pad is not cut short";

    const int right = shown.width() - 1, bottom = shown.height() - 1;
    QTest::mousePress(&pad, Qt::LeftButton, {}, QPoint(0, bottom));
    QTest::mouseMove(&pad, QPoint(right, bottom));
    QTest::mouseMove(&pad, QPoint(right, 0));
    QTest::mouseRelease(&pad, Qt::LeftButton, {}, QPoint(right, 0));

    const auto block = buildSignatureBlock([&](int x, int y) { return pad.IsBlankPixel(x, y); });
    auto inkInBlock = [&](int x, int y) { return signaturePixelIsBlank(block, x, y) == false; };
    for (int x = 0; x <= right; ++x)
        EXPECT_TRUE(inkInBlock(x, bottom)) << "column " << x << " of the bottom row";
    for (int y = 0; y <= bottom; ++y)
        EXPECT_TRUE(inkInBlock(right, y)) << "row " << y << " of the right column";
}

} // namespace
} // namespace walkmere
