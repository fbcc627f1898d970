#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>

#include <cstdlib>
#include <vector>

#include "scan/ScanPainter.h"
#include "scan/ScanView.h"
#include "testkit/TextFit.h"
#include "ui/DrawnText.h"

namespace walkmere {
namespace {

constexpr int kW = 240, kH = 268;
const QRgb kOlive = qRgb(128, 128, 64);
const QRgb kYellow = qRgb(255, 255, 0);

ApRecord record(int i, uint16_t channelCode = 5180, int8_t rssi = -75) {
    ApRecord r;
    const uint8_t mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, uint8_t(i)};
    r.setMac(mac);
    r.setChannelCode(channelCode);
    r.setRssi(rssi);
    r.setSsid("office-" + std::to_string(i));
    return r;
}

QImage paint(int percent, const std::vector<ApRecord>& certified, int h = kH) {
    QImage img(kW, h, QImage::Format_RGB32);
    paintScanView(img, percent, certified);
    if (::testing::Test::HasFailure() || std::getenv("WALKMERE_KEEP_PICTURES")) {
        const char* dir = std::getenv("WALKMERE_BUILD_DIR");
        img.save(QDir(dir ? dir : "/tmp").filePath(QString("scanview-%1.png").arg(percent)));
    }
    return img;
}

int countColour(const QImage& img, QRect r, QRgb c) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += img.pixel(x, y) == c ? 1 : 0;
    return n;
}

TEST(ScanPicture, BarWidthTruncates) {
    EXPECT_EQ(progressBarWidth(0), 0);
    EXPECT_EQ(progressBarWidth(49), 108);
    EXPECT_EQ(progressBarWidth(50), 111);
    EXPECT_EQ(progressBarWidth(100), 222);
    EXPECT_EQ(progressBarWidth(250), 222) << "never past the slot";
    EXPECT_EQ(progressBarWidth(-5), 0);
}

TEST(ScanPicture, BarAndPercentageBelowHalf) {
    const QImage img = paint(49, {});
    // Left of the percentage text the bar shows; right of it the slot stays unfilled.
    for (int x = 9; x < 100; ++x)
        ASSERT_EQ(img.pixel(x, 20), kYellow) << x;
    EXPECT_NE(img.pixel(8, 15), kYellow);
    for (int x = 140; x < 240; ++x)
        ASSERT_NE(img.pixel(x, 15), kYellow) << x;
    // Yellow text on olive.
    const QImage cell = img.copy(9, 9, 222, 12);
    const int olive = countColour(cell, QRect(90, 0, 50, 12), kOlive);
    EXPECT_GT(olive, 50) << "the text's olive background";
}

TEST(ScanPicture, PercentageColoursSwapAtHalf) {
    const QImage at49 = paint(49, {});
    const QImage at50 = paint(50, {});
    // At 50 the text is olive on yellow: the middle of the cell is mostly yellow.
    const int yellow49 = countColour(at49, QRect(105, 9, 30, 12), kYellow);
    const int yellow50 = countColour(at50, QRect(105, 9, 30, 12), kYellow);
    EXPECT_GT(yellow50, yellow49);
    EXPECT_GT(countColour(at50, QRect(105, 9, 30, 12), kOlive), 5) << "olive glyphs";
    for (int x = 9; x < 100; ++x)
        ASSERT_EQ(at50.pixel(x, 20), kYellow) << x;
    for (int x = 140; x < 240; ++x)
        ASSERT_NE(at50.pixel(x, 15), kYellow) << x;
}

TEST(ScanPicture, FullBarReachesX230) {
    const QImage img = paint(100, {});
    EXPECT_EQ(img.pixel(230, 15), kYellow);
    EXPECT_NE(img.pixel(231, 15), kYellow);
    EXPECT_EQ(img.pixel(200, 9), kYellow);
    EXPECT_EQ(img.pixel(200, 20), kYellow);
    EXPECT_NE(img.pixel(200, 21), kYellow);
}

TEST(ScanPicture, NothingCertifiedLeavesTheRowsEmpty) {
    const QImage img = paint(0, {});
    EXPECT_EQ(countColour(img, QRect(10, 30, 221, 210), kYellow), 0);
    EXPECT_EQ(countColour(img, QRect(9, 9, 80, 12), kYellow), 0) << "no bar at 0";
}

TEST(ScanPicture, AtMostFifteenRowsIn268Pixels) {
    std::vector<ApRecord> aps;
    for (int i = 0; i < 20; ++i)
        aps.push_back(record(i));
    const QImage img = paint(30, aps);
    for (int row = 0; row < 15; ++row) {
        const int y = 30 + 15 * row;
        EXPECT_GT(countColour(img, QRect(30, y, 80, 15), kYellow), 10) << "row " << row;
    }
    EXPECT_EQ(countColour(img, QRect(10, 255, 221, 12), kYellow), 0);

    // A shorter client holds fewer rows: at 100 pixels, y 30, 45, 60 and 75.
    const QImage shortView = paint(30, aps, 100);
    EXPECT_GT(countColour(shortView, QRect(30, 75, 80, 15), kYellow), 10);
    EXPECT_EQ(countColour(shortView, QRect(30, 90, 80, 10), kYellow), 0);
}

// The texts and cells exactly as drawn, and for each some ink of the text colour in its cell.
TEST(ScanPicture, DrawsTheExactTextsInTheirCells) {
    ApRecord second = record(2, 5825, -100);
    second.setSsid("corp");
    DrawnTexts drawn;
    const QImage img = [&] {
        QImage i(kW, kH, QImage::Format_RGB32);
        paintScanView(i, 0, std::vector<ApRecord>{record(1, 5180, int8_t(0xB5)), second}, &drawn);
        return i;
    }();
    struct Want {
        const char* text;
        QRect rect;
        int flags;
    };
    const int left = Qt::AlignLeft | Qt::AlignTop;
    const Want want[] = {
        {"0%", QRect(9, 9, 222, 12), Qt::AlignHCenter | Qt::AlignTop},
        {"36", QRect(10, 30, 15, 15), left},
        {"001a2b3c4d01", QRect(30, 30, 80, 15), left},
        {"office-1", QRect(120, 30, 70, 15), left},
        {"-75", QRect(200, 30, 30, 15), left},
        {"165", QRect(10, 45, 15, 15), left},
        {"001a2b3c4d02", QRect(30, 45, 80, 15), left},
        {"corp", QRect(120, 45, 70, 15), left},
        {"-100", QRect(200, 45, 30, 15), left},
    };
    ASSERT_EQ(drawn.size(), std::size(want));
    for (size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_EQ(drawn[i].text.toStdString(), want[i].text) << i;
        EXPECT_EQ(drawn[i].rect, want[i].rect) << want[i].text;
        EXPECT_EQ(drawn[i].flags, want[i].flags) << want[i].text;
        EXPECT_GT(countColour(img, drawn[i].rect, kYellow), 5) << want[i].text << " was drawn";
    }

    // The percentage is "%d%%" of the value as it stands.
    for (int percent : {49, 50, 100}) {
        DrawnTexts texts;
        QImage i(kW, kH, QImage::Format_RGB32);
        paintScanView(i, percent, {}, &texts);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].text, QString::number(percent) + "%");
    }
}

// The widest channel, MAC and RSSI texts fit their cells without a glyph cut; the cells keep
// the handheld's sizes, the fonts are chosen to fit them.
TEST(ScanPicture, WidestRowTextsFitTheirCellsWhole) {
    const uint8_t allF[6] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    const uint8_t all8[6] = {0x88, 0x88, 0x88, 0x88, 0x88, 0x88};
    ApRecord a = record(1, 5825, -100); // channel 165
    a.setMac(allF);
    ApRecord b = record(2, 4995, -100); // channel -1
    b.setMac(all8);
    DrawnTexts drawn;
    QImage img(kW, kH, QImage::Format_RGB32);
    paintScanView(img, 100, std::vector<ApRecord>{a, b}, &drawn);
    ASSERT_EQ(drawn.size(), 9u);
    EXPECT_EQ(drawn[1].text, "165");
    EXPECT_EQ(drawn[2].text, "ffffffffffff");
    EXPECT_EQ(drawn[5].text, "-1");
    EXPECT_EQ(drawn[6].text, "888888888888");
    EXPECT_EQ(drawn[8].text, "-100");
    for (const DrawnText& t : drawn) {
        if (t.rect.top() < 30) continue;    // the percentage, not a row
        if (t.rect.left() == 120) continue; // SSIDs may be clipped: 32 characters never fit
        EXPECT_EQ(textfit::whereClipped(t), "") << t.text.toStdString();
    }
}

// A 6 GHz channel 1 stands out olive on yellow; a 2.4 GHz channel 1 keeps the handheld's
// yellow on olive.
TEST(ScanPicture, ASixGhzChannelIsDrawnOliveOnYellow) {
    ApRecord sixGhz = record(2, 5005);
    sixGhz.markSixGhz();
    const QImage img = paint(0, {record(1, 5005), sixGhz});
    const int plain = countColour(img, QRect(10, 30, 15, 15), kYellow);
    EXPECT_GT(plain, 0);
    EXPECT_GT(countColour(img, QRect(10, 45, 15, 15), kYellow), 2 * plain);
}

TEST(ScanPicture, LongTextsAreClippedToTheirCells) {
    ApRecord r = record(1);
    r.setSsid("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
    const QImage img = paint(10, {r});
    EXPECT_GT(countColour(img, QRect(120, 30, 70, 15), kYellow), 20);
    EXPECT_EQ(countColour(img, QRect(190, 30, 10, 15), kYellow), 0) << "gap before RSSI";
}

// Taller than the panel, the frame reaches the picture's bottom and holds every row drawn,
// strongest first; with more rows than fit, the last one shows when scrolled to the end.
TEST(ScanPicture, ATallPictureHoldsItsRowsInsideItsFrameStrongestFirst) {
    struct Case {
        int height, aps, firstRow;
        int firstRssi, lastRssi; // of the rows drawn
    };
    const Case cases[] = {
        {600, 20, 0, -61, -80},
        {400, 40, 0, -41, -64},   // 24 rows fit
        {400, 40, 999, -57, -80}, // scrolled past the end: the last 24
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.height);
        std::vector<ApRecord> aps;
        for (int i = 0; i < c.aps; ++i) // weakest first in the table
            aps.push_back(record(i, 5180, int8_t(-80 + i)));
        DrawnTexts drawn;
        QImage img(kW, c.height, QImage::Format_RGB32);
        paintScanView(img, 0, aps, &drawn, nullptr, c.firstRow);
        std::vector<int> rssi;
        int lowest = 0, bands = 0;
        for (const DrawnText& t : drawn) {
            if (t.rect.left() == 174) bands += t.text == "5G"; // each row names its band
            if (t.rect.left() != 200) continue;
            rssi.push_back(t.text.toInt());
            lowest = std::max(lowest, t.rect.bottom());
        }
        ASSERT_FALSE(rssi.empty());
        EXPECT_TRUE(std::is_sorted(rssi.rbegin(), rssi.rend())) << "strongest first";
        EXPECT_EQ(rssi.front(), c.firstRssi);
        EXPECT_EQ(rssi.back(), c.lastRssi);
        EXPECT_NE(img.pixel(120, c.height - 1), kOlive) << "the frame's bottom edge";
        EXPECT_EQ(img.pixel(115, 266), kOlive) << "no frame line across the rows";
        EXPECT_LT(lowest, c.height - 3) << "the last row inside the frame";
        EXPECT_EQ(bands, int(rssi.size()));
    }
}

// End scrolls a tall view to its last rows, Home back to its first.
TEST(ScanViewWidget, ATallViewScrollsToItsLastRow) {
    std::vector<ApRecord> aps;
    for (int i = 0; i < 40; ++i)
        aps.push_back(record(i, 5180, int8_t(-80 + i)));
    CScanView view([] { return 0; }, [&] { return aps; });
    view.resize(kW, 400);
    const QImage top = view.composePicture();
    for (Qt::Key key : {Qt::Key_End, Qt::Key_Home}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &press);
        EXPECT_EQ(view.composePicture() == top, key == Qt::Key_Home) << key;
    }
}

TEST(ScanViewWidget, PaintsFromItsGettersAtPaintTime) {
    int percent = 20;
    std::vector<ApRecord> aps{record(1)};
    CScanView view([&] { return percent; }, [&] { return aps; });
    view.resize(kW, kH);
    const QImage first = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(first, view.composePicture());
    EXPECT_EQ(first.pixel(30, 15), kYellow);
    EXPECT_NE(first.pixel(80, 15), kYellow);
    percent = 100;
    aps.clear();
    const QImage second = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(second.pixel(80, 15), kYellow);
    EXPECT_EQ(countColour(second, QRect(30, 30, 80, 15), kYellow), 0);
}

} // namespace
} // namespace walkmere
