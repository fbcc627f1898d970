// The program at UI scale 3 on a small screen: 960 x 720 screen pixels, 320 x 240 of its
// own. Dialogs and the restored window stay within what the screen shows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <QTimer>

#include <fstream>
#include <functional>
#include <memory>

#include "app/AboutDlg.h"
#include "app/HelpDlg.h"
#include "app/OptionsDlg.h"
#include "app/SignOffDlg.h"
#include "app/WindowSettings.h"
#include "platform/QtPrompter.h"
#include "scan/LiveApTable.h"
#include "siteview/LocationInfoDlg.h"
#include "siteview/Viewport.h"
#include "testkit/StoreFixture.h"
#include "testkit/TempDir.h"

namespace walkmere {
namespace {

constexpr int kScale = 3;

// The offscreen platform takes its screens from a file; the scale goes through Qt's own
// scaling, as the program sets it.
class ScaledApp : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string config = dir.file("screens.json").string();
        std::ofstream(config) << R"({"screens": [{"name": "small", "x": 0, "y": 0,
            "width": 960, "height": 720, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.c_str());
        qputenv("QT_SCALE_FACTOR", QByteArray::number(kScale));
        app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app.reset(); }

private:
    testkit::TempDir dir;
    int argc = 1;
    char name[16] = "walkmere_tests";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> app;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new ScaledApp);

QRect availableArea() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// Each dialog as it opens, whole within the screen's available area.
TEST(ScaledFit, EveryDialogOpensWithinTheAvailableArea) {
    storetest::StoreFixture site;
    site.makeSite();
    CViewport viewport;
    CLiveApTable table;
    QtPrompter prompter;
    prompter.setUiScale(kScale);
    QWidget owner;
    owner.resize(240, 299);
    owner.show();
    struct Case {
        const char* name;
        std::function<void()> open; // shows the dialog modally
    };
    const Case cases[] = {
        {"Options", [&] { COptionsDlg(viewport, table, site.prompter, &owner).exec(); }},
        {"Save", [&] { CSignOffDlg(&owner).exec(); }},
        {"About", [&] { CAboutDlg(&owner).exec(); }},
        {"Help", [&] { CHelpDlg(&owner).exec(); }},
        {"Location Information",
         [&] { CLocationInfoDlg(site.store, site.prompter, site.sound, &owner).exec(); }},
        {"Save As", [&] { prompter.askSaveFile({}); }},
        {"Open", [&] { prompter.askOpenFile({}); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QRect frame;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            frame = dialog->frameGeometry();
            static_cast<QDialog*>(dialog)->reject();
        });
        c.open();
        EXPECT_TRUE(availableArea().contains(frame))
            << frame.x() << ',' << frame.y() << ' ' << frame.width() << 'x' << frame.height();
    }
}

// Geometry kept in screen pixels comes back as the same window on the screen at another
// scale, or within the screen when that cannot be.
TEST(ScaledFit, AGeometryFromAScale1RunRestoresOnScreenAtScale3) {
    testkit::TempDir dir;
    const std::string path = dir.file("walkmere.ini").string();
    struct Case {
        const char* file;
        QRect own; // in this run's own pixels
    };
    const Case cases[] = {
        {"[window]\nscreen_position=@Point(300 240)\nscale=1\nscreen_size=@Size(600 450)\n",
         QRect(100, 80, 200, 150)},
        {"[window]\nposition=@Point(300 240)\nscale=1\nsize=@Size(600 450)\n",
         QRect(100, 80, 200, 150)},
        {"[window]\nposition=@Point(10 10)\nscale=1\nsize=@Size(1900 1075)\n",
         QRect(0, 0, 320, 240)},
        {"[window]\nscreen_position=@Point(900 700)\nscreen_size=@Size(600 450)\n",
         QRect(120, 90, 200, 150)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::ofstream(path) << c.file;
        QWidget window;
        window.setMinimumSize(100, 80);
        restoreWindowGeometry(window, loadWindowSettings(QString::fromStdString(path)));
        EXPECT_EQ(window.frameGeometry(), c.own);
        const WindowSettings kept = currentWindowGeometry(window, kScale);
        EXPECT_EQ(kept.size, c.own.size() * kScale) << "kept in screen pixels";
        EXPECT_EQ(kept.position, c.own.topLeft() * kScale);
    }
}

} // namespace
} // namespace walkmere
