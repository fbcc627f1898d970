// The main frame's views, command bar, command routing and closing.
#include "frame_fixture.h"

#include <QAction>
#include <QImage>
#include <QSignalSpy>
#include <QStackedWidget>

#include <algorithm>
#include <set>

#include "app/CommandBar.h"
#include "app/PlotraView.h"
#include "scan/BoardProtocol.h"
#include "scan/ScanView.h"
#include "siteview/SiteView.h"
#include "ui/CommandTarget.h"

namespace walkmere {
namespace {

using namespace frametest;

using FrameViews = FrameTest;

TEST_F(FrameViews, TapOnTheStartupViewBeepsAndShowsTheSiteView) {
    frame->show();
    QSignalSpy switched(frame.get(), &CMainFrame::viewActivated);
    ASSERT_EQ(frame->activeKind(), ViewKind::Startup);
    EXPECT_EQ(frame->siteView(), nullptr) << "views are made on first use";

    QTest::mouseClick(frame->startupView(), Qt::LeftButton, {}, QPoint(120, 134));

    EXPECT_EQ(recorded.played(), std::vector<std::string>{"beep"});
    EXPECT_EQ(events.all(), (std::vector<std::string>{"beep", "view:Site"}));
    ASSERT_NE(frame->siteView(), nullptr);
    EXPECT_EQ(frame->activeKind(), ViewKind::Site);
    EXPECT_EQ(frame->activeView(), frame->siteView());
    EXPECT_TRUE(frame->siteView()->isVisible());
    EXPECT_FALSE(frame->startupView()->isVisible());
    EXPECT_EQ(switched.count(), 1);

    // Asking for the view already shown changes nothing.
    CSiteView* first = frame->siteView();
    frame->ActivateView(ViewKind::Site);
    EXPECT_EQ(switched.count(), 1);
    EXPECT_EQ(frame->siteView(), first);
    EXPECT_EQ(frame->findChildren<CSiteView*>().size(), 1);
}

// The board's strings are 8-bit text: every byte from 0x80 up is a character of its own, as
// on the other views, not part of a broken UTF-8 sequence.
TEST_F(FrameViews, TheStartupViewWidensTheBoardsStringsByteForByte) {
    auto lines = [&](const std::string& firmware, const std::string& serial) {
        app->board.dispatchPacket(PKT_FIRMWARE, reinterpret_cast<const uint8_t*>(firmware.c_str()),
                                  static_cast<uint32_t>(firmware.size() + 1));
        app->board.dispatchPacket(PKT_SERIAL, reinterpret_cast<const uint8_t*>(serial.c_str()),
                                  static_cast<uint32_t>(serial.size() + 1));
        QImage picture(240, 268, QImage::Format_RGB32);
        frame->startupView()->render(picture);
        return std::pair{picture.copy(0, 153, 240, 20), picture.copy(0, 183, 240, 20)};
    };
    const auto acute = lines("DRV-\xE9", "A1\xE9");
    const auto grave = lines("DRV-\xE8", "A1\xE8");
    EXPECT_NE(acute.first, grave.first) << "firmware";
    EXPECT_NE(acute.second, grave.second) << "serial number";
}

TEST_F(FrameViews, TheScanViewIsMadeOnceAndReused) {
    frame->ActivateView(ViewKind::Site);
    ASSERT_EQ(frame->scanView(), nullptr);
    frame->ActivateView(ViewKind::Scan);
    CScanView* scan = frame->scanView();
    ASSERT_NE(scan, nullptr);
    EXPECT_EQ(frame->activeView(), scan);

    for (int i = 0; i < 3; ++i) {
        frame->ActivateView(ViewKind::Site);
        frame->ActivateView(ViewKind::Scan);
    }
    EXPECT_EQ(frame->scanView(), scan);
    EXPECT_EQ(frame->findChildren<CScanView*>().size(), 1);
    EXPECT_EQ(frame->findChildren<CSiteView*>().size(), 1);
    EXPECT_EQ(frame->findChildren<CPlotraView*>().size(), 1);
}

TEST_F(FrameViews, ViewsDrawForTheAreaTheyAreGiven) {
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    EXPECT_EQ(frame->activeView()->size(), QSize(240, 268)) << "the handheld's client area";

    frame->resize(frame->width() + 160, frame->height() + 100);
    QTest::qWait(1);
    EXPECT_EQ(frame->activeView()->size(), QSize(400, 368));
    frame->ActivateView(ViewKind::Scan);
    EXPECT_EQ(frame->activeView()->size(), QSize(400, 368));
    EXPECT_EQ(frame->scanView()->composePicture().size(), QSize(400, 368));
}

TEST_F(FrameViews, CommandBarHasTheNineButtonsWithTheirPrompts) {
    CCommandBar* bar = frame->commandBar();
    EXPECT_FALSE(bar->isMovable());
    // The desktop map's buttons are hidden in the handheld's form.
    QList<QAction*> actions;
    for (QAction* a : bar->actions())
        if (a->isVisible()) actions.push_back(a);
    ASSERT_EQ(actions.size(), 9);
    const std::vector<std::pair<int, QString>> expected = {
        {32771, "Open a Site"},
        {32772, "Save a Site"},
        {32778, "Take JPEG Snapshot of current screen"},
        {32774, "Zoom in on the Site"},
        {32775, "Zoom out from Site"},
        {32780, "Add/remove an access point"},
        {32779, "Options"},
        {57670, "Help"},
        {32777, "About"},
    };
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(actions[i]->data().toInt(), expected[i].first);
        EXPECT_EQ(actions[i]->toolTip(), expected[i].second);
        EXPECT_EQ(actions[i]->statusTip(), expected[i].second);
        EXPECT_FALSE(actions[i]->icon().isNull());
        EXPECT_EQ(actions[i]->icon().pixmap(16, 16).size(), QSize(16, 16));
    }
}

TEST_F(FrameViews, SiteViewButtonsAreDisabledWhileOtherViewsShow) {
    const std::set<int> siteCommands = {32771, 32772, 32774, 32775, 32780};
    auto check = [&](const char* when) {
        for (const CommandButton& b : kCommandButtons) {
            const bool siteCommand = siteCommands.count(b.id) > 0;
            EXPECT_EQ(frame->commandBar()->action(b.id)->isEnabled(), !siteCommand)
                << b.prompt << " " << when;
        }
    };
    check("at start");
    frame->ActivateView(ViewKind::Scan);
    check("while measuring");
}

// A site view that handles some of the commands, as the real one will.
class CommandView : public QWidget, public ICommandTarget {
public:
    using QWidget::QWidget;
    bool handlesCommand(int id) const override {
        return id == ID_FILE_OPEN_SITE || id == ID_ZOOM_IN || id == ID_OPTIONS;
    }
    void onCommand(int id) override { received.push_back(id); }
    std::vector<int> received;
};

TEST_F(FrameViews, CommandsGoToTheActiveViewFirstThenToTheFrame) {
    CommandView* view = nullptr;
    frame->setViewFactory(ViewKind::Site, [&view](QWidget* parent) {
        view = new CommandView(parent);
        return view;
    });
    std::vector<int> hooked;
    for (int id : {ID_TAKE_SNAPSHOT, ID_OPTIONS, ID_HELP, ID_APP_ABOUT_BOX})
        frame->setCommandHook(id, [&hooked, id] { hooked.push_back(id); });
    QSignalSpy frameCommands(frame.get(), &CMainFrame::frameCommand);

    EXPECT_FALSE(frame->routeCommand(ID_ZOOM_IN)) << "nobody zooms the start-up view";
    frame->ActivateView(ViewKind::Site);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(frame->activeView(), view);

    CCommandBar* bar = frame->commandBar();
    EXPECT_TRUE(bar->action(ID_FILE_OPEN_SITE)->isEnabled());
    EXPECT_TRUE(bar->action(ID_ZOOM_IN)->isEnabled());
    EXPECT_FALSE(bar->action(ID_ZOOM_OUT)->isEnabled()) << "the view does not handle it";
    EXPECT_FALSE(bar->action(ID_FILE_SAVE_SITE)->isEnabled());

    bar->action(ID_ZOOM_IN)->trigger();
    bar->action(ID_OPTIONS)->trigger(); // the view has it first
    bar->action(ID_APP_ABOUT_BOX)->trigger();
    bar->action(ID_ZOOM_OUT)->trigger(); // disabled: nothing happens
    EXPECT_EQ(view->received, (std::vector<int>{ID_ZOOM_IN, ID_OPTIONS}));
    EXPECT_EQ(hooked, std::vector<int>{ID_APP_ABOUT_BOX});

    // During a measurement the frame's commands stay available, the site view's do not.
    frame->ActivateView(ViewKind::Scan);
    EXPECT_FALSE(bar->action(ID_ZOOM_IN)->isEnabled());
    EXPECT_TRUE(bar->action(ID_OPTIONS)->isEnabled());
    bar->action(ID_OPTIONS)->trigger();
    EXPECT_FALSE(frame->routeCommand(ID_ZOOM_IN));
    EXPECT_EQ(view->received.size(), 2u);
    EXPECT_EQ(hooked, (std::vector<int>{ID_APP_ABOUT_BOX, ID_OPTIONS}));
    ASSERT_EQ(frameCommands.count(), 2);
    EXPECT_EQ(frameCommands[1][0].toInt(), ID_OPTIONS);
}

TEST_F(FrameViews, FrameCommandsReachTheFramesHandlers) {
    frame->show();
    std::vector<int> ran;
    for (int id : {ID_TAKE_SNAPSHOT, ID_OPTIONS, ID_HELP, ID_APP_ABOUT_BOX})
        frame->setCommandHook(id, [&ran, id] { ran.push_back(id); });
    for (int id : {ID_TAKE_SNAPSHOT, ID_OPTIONS, ID_HELP, ID_APP_ABOUT_BOX})
        EXPECT_TRUE(frame->routeCommand(id));
    EXPECT_EQ(ran, (std::vector<int>{ID_TAKE_SNAPSHOT, ID_OPTIONS, ID_HELP, ID_APP_ABOUT_BOX}));
    // Site-view commands are not the frame's: with the start-up view active nobody takes them.
    EXPECT_FALSE(frame->routeCommand(ID_ZOOM_IN));
    EXPECT_TRUE(events.all().empty());
}

TEST_F(FrameViews, MinimisingClosesTheProgram) {
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    frame->setWindowState(frame->windowState() | Qt::WindowMinimized);
    EXPECT_FALSE(frame->isVisible());
}

TEST_F(FrameViews, CtrlQCloses) {
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    QTest::keyClick(frame.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(frame->isVisible());
}

} // namespace
} // namespace walkmere
