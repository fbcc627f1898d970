// The window's geometry and scale are kept in the data folder's INI file between runs.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <tuple>

#include "app/WindowSettings.h"
#include "testkit/DataHome.h"
#include "testkit/TempDir.h"

namespace walkmere {
namespace {

namespace fs = std::filesystem;

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
    // Earlier versions kept the window's own pixels; at scale 3 each was 3 x 3 screen pixels.
    std::filesystem::remove(path.toStdString());
    {
        QSettings earlier(path, QSettings::IniFormat); // what earlier versions wrote with
        earlier.setValue("window/size", QSize(640, 480));
        earlier.setValue("window/position", QPoint(-7, 9));
        earlier.setValue("window/scale", 3);
    }
    const WindowSettings fromEarlier = loadWindowSettings(path);
    EXPECT_EQ(fromEarlier.size, QSize(1920, 1440));
    EXPECT_EQ(fromEarlier.position, QPoint(-21, 27));
    EXPECT_EQ(fromEarlier.scale, 3);

    std::ofstream(path.toStdString())
        << "[window]\nsize=@Size(-5 0)\nscale=99\nposition=@Point(1)\n"
           "[other]\nsize=@Size(300 300)\n[window]\nsize=@Size(99999999999 5)\nscale=2x\n";
    const WindowSettings nonsense = loadWindowSettings(path);
    EXPECT_FALSE(nonsense.size);
    EXPECT_FALSE(nonsense.position);
    EXPECT_FALSE(nonsense.scale);
}

// Only a regular file, or one a link leads to, is read or replaced. Device nodes are made in
// the test's own folder: a character device 1,3 is what /dev/null is.
TEST(WindowSettings, OnlyARegularFileIsReadOrReplaced) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& dir, const fs::path& ini)> make;
        bool regular;
    };
    const Case cases[] = {
        {"a link to a device",
         [](const fs::path& dir, const fs::path& ini) {
             ASSERT_EQ(::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
             fs::create_symlink(dir / "null", ini);
         },
         false},
        {"a folder", [](const fs::path&, const fs::path& ini) { fs::create_directory(ini); },
         false},
        {"a link to a regular file",
         [](const fs::path& dir, const fs::path& ini) {
             std::ofstream(dir / "dotfiles.ini") << "[window]\nscale=2\n";
             fs::create_symlink("dotfiles.ini", ini);
         },
         true},
        // Last: a FIFO held the program before in its open() for ever.
        {"a FIFO", [](const fs::path&, const fs::path& ini) { ::mkfifo(ini.c_str(), 0600); },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testkit::TempDir dir;
        const fs::path ini = dir.file("walkmere.ini");
        c.make(dir.path(), ini);
        // What is there: a link or not, what it leads to, and nothing more beside it.
        auto kinds = [&] {
            return std::tuple(fs::symlink_status(ini).type(), fs::status(ini).type(),
                              std::distance(fs::directory_iterator(dir.path()), {}));
        };
        const auto before = kinds();
        const QString path = QString::fromStdString(ini.string());

        EXPECT_EQ(loadWindowSettings(path).scale, c.regular ? std::optional(2) : std::nullopt);
        EXPECT_EQ(saveWindowSettings(path, {QSize(500, 400), QPoint(5, 6), 3}), c.regular);
        EXPECT_TRUE(kinds() == before) << "nothing replaced, nothing left beside";
        if (c.regular) {
            EXPECT_EQ(loadWindowSettings(path).scale, 3) << "the file got the content";
        }
    }
}

// A window as large as the remembered size would paint black (and be saved so again); one
// off every screen would be lost. What is restored stays within what the screens show.
TEST(WindowSettings, RestoredWithinWhatTheScreensShow) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint start(10, 10), nearCorner = area.bottomRight() - QPoint(10, 10);
    struct Case {
        WindowSettings remembered;
        QSize size;
        QPoint position;
    };
    const Case cases[] = {
        {{QSize(20000, 20000), {}, {}}, area.size(), area.topLeft()},
        {{QSize(100, 100), {}, {}}, QSize(240, 299), start}, // never below the minimum
        {{QSize(500, 400), QPoint(50, 60), {}}, QSize(500, 400), QPoint(50, 60)},
        {{QSize(300, 300), nearCorner, {}}, QSize(300, 300), area.bottomRight() - QPoint(299, 299)},
        {{{}, QPoint(-20000, -20000), {}}, QSize(300, 300), start},
    };
    for (const Case& c : cases) {
        QWidget window;
        window.setMinimumSize(240, 299);
        window.resize(300, 300);
        window.move(start);
        restoreWindowGeometry(window, c.remembered);
        EXPECT_EQ(window.size(), c.size);
        EXPECT_EQ(window.pos(), c.position);
    }
}

} // namespace
} // namespace walkmere
