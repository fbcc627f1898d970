// The pictures compiled into the program: sizes, formats and the pixels the views rely on.

#include "res/Resources.h"

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

#include <set>

namespace walkmere {
namespace {

// QPixmap and QIcon need a GUI application; the offscreen platform needs no display.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "res_tests";
        static char* argv[] = {name, nullptr};
        app = new QGuiApplication(argc, argv);
        walkmereInitResources();
    }
    void TearDown() override {
        delete app;
        app = nullptr;
    }

private:
    QGuiApplication* app = nullptr;
};

[[maybe_unused]] auto* const guiEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

QColor colourAt(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kDarkCyan(0, 128, 128);
const QColor kOlive(128, 128, 64);
const QColor kToolbarGrey(192, 192, 192);

int brightness(const QColor& c) {
    return c.red() + c.green() + c.blue();
}

TEST(ResourcePaths, BitmapsAreAddressedById) {
    EXPECT_EQ(bitmapResourcePath(141), QStringLiteral(":/res/bitmap141.bmp"));
    EXPECT_EQ(bitmapResourcePath(128), QStringLiteral(":/res/bitmap128.bmp"));
    EXPECT_TRUE(QImage(bitmapResourcePath(999)).isNull());
    EXPECT_EQ(iconResourcePath(32), QStringLiteral(":/res/icon128_32.png"));
    EXPECT_TRUE(iconResourcePath(24).isEmpty());
}

TEST(ResourcePaths, InitialisingTwiceIsHarmless) {
    walkmereInitResources();
    EXPECT_FALSE(QImage(bitmapResourcePath(141)).isNull());
}

TEST(ToolbarBitmap, StripHoldsNineDistinctImages) {
    const QImage strip(bitmapResourcePath(128));
    ASSERT_FALSE(strip.isNull());
    EXPECT_EQ(strip.size(), QSize(144, 16));
    EXPECT_EQ(strip.depth(), 32); // read from a 24-bit file

    std::set<QByteArray> seen;
    for (int i = 0; i < kToolbarImageCount; ++i) {
        const QImage image = strip.copy(i * 16, 0, 16, 16).convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(colourAt(image, 0, 0), kToolbarGrey) << "image " << i;
        int drawn = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                drawn += colourAt(image, x, y) != kToolbarGrey;
        EXPECT_GT(drawn, 40) << "image " << i << " is nearly empty";
        seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()),
                               static_cast<int>(image.sizeInBytes())));
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kToolbarImageCount));
}

TEST(ToolbarBitmap, DenseStripIsTwiceTheSize) {
    const QImage strip(QStringLiteral(":/res/bitmap128_2x.bmp"));
    ASSERT_FALSE(strip.isNull());
    EXPECT_EQ(strip.size(), QSize(288, 32));
}

TEST(ToolbarBitmap, IconsHaveTransparentBackground) {
    for (int i = 0; i < kToolbarImageCount; ++i) {
        const QIcon icon = toolbarIcon(i);
        ASSERT_FALSE(icon.isNull()) << "image " << i;
        const QImage image =
            icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(16, 16));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "image " << i;
        EXPECT_EQ(qAlpha(image.pixel(8, 8)) == 0, i == 6)
            << "only the gear has a hole, image " << i;
        const QImage dense = icon.pixmap(QSize(32, 32)).toImage();
        EXPECT_EQ(dense.size(), QSize(32, 32)) << "image " << i;
        // At scale 3 the handheld's pixels, each a 3 x 3 block: no smoothing.
        const QImage three = icon.pixmap(QSize(48, 48)).toImage();
        ASSERT_EQ(three.size(), QSize(48, 48));
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 48; ++x)
                ASSERT_EQ(three.pixel(x, y), image.pixel(x / 3, y / 3))
                    << i << " " << x << "," << y;
    }
    EXPECT_TRUE(toolbarIcon(-1).isNull());
    EXPECT_TRUE(toolbarIcon(kToolbarImageCount).isNull());
}

TEST(SurveyCursorBitmap, RingOnWhiteWithTicks) {
    const QImage cursor(bitmapResourcePath(138));
    ASSERT_FALSE(cursor.isNull());
    EXPECT_EQ(cursor.size(), QSize(32, 32));
    EXPECT_EQ(cursor.format(), QImage::Format_Indexed8); // a 16-colour file
    EXPECT_LE(cursor.colorCount(), 16);

    for (auto [x, y] : {std::pair{0, 0}, {31, 0}, {0, 31}, {31, 31}})
        EXPECT_EQ(colourAt(cursor, x, y), kWhite) << x << "," << y;
    EXPECT_EQ(colourAt(cursor, 16, 16), kWhite); // the centre leaves the map visible
    for (auto [x, y] : {std::pair{16, 4}, {16, 28}, {4, 16}, {28, 16}})
        EXPECT_EQ(colourAt(cursor, x, y), kDarkCyan) << x << "," << y;
    for (auto [x, y] : {std::pair{16, 8}, {16, 24}, {8, 16}, {24, 16}})
        EXPECT_EQ(colourAt(cursor, x, y), kBlack) << x << "," << y;

    // Combined with the map by AND: only white, the ring colour and black may appear.
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QColor c = colourAt(cursor, x, y);
            EXPECT_TRUE(c == kWhite || c == kDarkCyan || c == kBlack) << x << "," << y;
        }
}

TEST(ScanPanelBitmap, OlivePanelWithBevelAndSlot) {
    const QImage panel(bitmapResourcePath(141));
    ASSERT_FALSE(panel.isNull());
    EXPECT_EQ(panel.size(), QSize(240, 268));
    EXPECT_EQ(panel.format(), QImage::Format_Indexed8);
    EXPECT_EQ(colourAt(panel, 120, 134), kOlive);
    EXPECT_EQ(colourAt(panel, 120, 15), kOlive);  // inside the bar slot
    EXPECT_EQ(colourAt(panel, 230, 20), kOlive);  // last pixel the full bar covers
    EXPECT_EQ(colourAt(panel, 120, 260), kOlive); // where the AP rows stop

    EXPECT_GT(brightness(colourAt(panel, 0, 100)), brightness(kOlive));   // lit left edge
    EXPECT_GT(brightness(colourAt(panel, 100, 0)), brightness(kOlive));   // lit top edge
    EXPECT_LT(brightness(colourAt(panel, 239, 100)), brightness(kOlive)); // shaded right edge
    EXPECT_LT(brightness(colourAt(panel, 100, 267)), brightness(kOlive)); // shaded bottom edge

    EXPECT_LT(brightness(colourAt(panel, 120, 8)), brightness(kOlive));  // slot shade above
    EXPECT_LT(brightness(colourAt(panel, 8, 15)), brightness(kOlive));   // and to the left
    EXPECT_GT(brightness(colourAt(panel, 120, 21)), brightness(kOlive)); // slot light below
    EXPECT_GT(brightness(colourAt(panel, 231, 15)), brightness(kOlive)); // and to the right
}

TEST(StartupBitmap, PictureWithCalmBandForTheBoardTexts) {
    const QImage picture(bitmapResourcePath(144));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(240, 290));
    EXPECT_EQ(picture.depth(), 32); // read from a 24-bit file

    // The firmware and serial-number lines land on rows 153..203 of the view, which the
    // picture (stretched to 270 rows) fills from its rows 164..218: all light there.
    for (int y = 150; y < 226; ++y)
        for (int x = 0; x < 240; ++x)
            ASSERT_GE(QColor(picture.pixel(x, y)).lightness(), 230) << x << "," << y;

    // The title and the plan above it are a picture, not a flat fill.
    std::set<QRgb> colours;
    for (int y = 0; y < 146; ++y)
        for (int x = 0; x < 240; ++x)
            colours.insert(picture.pixel(x, y));
    EXPECT_GT(colours.size(), 50u);
}

TEST(ProgramIcon, AllSizesLoadWithTransparency) {
    for (int size : {16, 32, 48, 64}) {
        const QImage image(iconResourcePath(size));
        ASSERT_FALSE(image.isNull()) << size;
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_TRUE(image.hasAlphaChannel()) << size;
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size;
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255) << size;
    }
    const QList<QSize> sizes = programIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(64, 64)));
}

} // namespace
} // namespace walkmere
