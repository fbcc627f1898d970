// The window's geometry and scale are kept in the data folder's INI file between runs.
#include <gtest/gtest.h>

#include <QWidget>

#include <fstream>

#include "app/WindowSettings.h"
#include "testkit/DataHome.h"

namespace walkmere {
namespace {

TEST(WindowSettings, KeptInTheDataFolderAndReadBackWithNonsenseLeftOut) {
    testkit::ScopedDataHome home;
    const QString path = windowSettingsPath();
    EXPECT_TRUE(path.startsWith(QString::fromStdString(home.path().string())));
    EXPECT_FALSE(loadWindowSettings(path).size) << "a first run remembers nothing";

    ASSERT_TRUE(saveWindowSettings(path, {QSize(1000, 750), QPoint(40, 30), 3}));
    const WindowSettings back = loadWindowSettings(path);
    EXPECT_EQ(back.size, QSize(1000, 750));
    EXPECT_EQ(back.position, QPoint(40, 30));
    EXPECT_EQ(back.scale, 3);

    std::ofstream(path.toStdString()) << "[window]\nsize=@Size(-5 0)\nscale=99\n";
    const WindowSettings nonsense = loadWindowSettings(path);
    EXPECT_FALSE(nonsense.size);
    EXPECT_FALSE(nonsense.position);
    EXPECT_FALSE(nonsense.scale);
}

TEST(WindowSettings, RestoresTheSizeAndOnlyAPositionSomeScreenShows) {
    QWidget window;
    window.setMinimumSize(240, 299);
    window.move(10, 10);
    restoreWindowGeometry(window, {QSize(100, 100), QPoint(-20000, -20000), 1});
    EXPECT_EQ(window.size(), QSize(240, 299)) << "never below the minimum";
    EXPECT_EQ(window.pos(), QPoint(10, 10)) << "a position off every screen is ignored";

    restoreWindowGeometry(window, {QSize(500, 400), QPoint(50, 60), 1});
    EXPECT_EQ(window.size(), QSize(500, 400));
    EXPECT_EQ(window.pos(), QPoint(50, 60));
    const WindowSettings now = currentWindowGeometry(window, 2);
    EXPECT_EQ(now.size, QSize(500, 400));
    EXPECT_EQ(now.scale, 2);
}

} // namespace
} // namespace walkmere
