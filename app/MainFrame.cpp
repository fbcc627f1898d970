#include "app/MainFrame.h"

#include "app/AboutDlg.h"
#include "app/AppServices.h"
#include "app/CommandBar.h"
#include "app/HelpDlg.h"
#include "app/OptionsDlg.h"
#include "app/PlotraView.h"
#include "app/SignOffDlg.h"
#include "app/Snapshot.h"
#include "res/Resources.h"
#include "scan/ScanView.h"
#include "siteview/SiteView.h"
#include "survey/TellSurveyor.h"
#include "survey/WalkSession.h"
#include "ui/CommandTarget.h"
#include "ui/HandheldSize.h"

#include <QAction>
#include <QEvent>
#include <QKeySequence>
#include <QStackedWidget>

#include <vector>

namespace walkmere {

namespace {

constexpr int kTickMs = 750;
constexpr int kPauseMs = 1000;
// The views' area asks for the handheld's 240 x 268 client area and is never smaller; the
// user may make it larger, and every view draws for the size it gets.
class ViewArea : public QStackedWidget {
public:
    using QStackedWidget::QStackedWidget;
    QSize sizeHint() const override { return kHandheldViewArea; }
};

} // namespace

CMainFrame::CMainFrame(AppServices& services, QWidget* parent)
    : QMainWindow(parent), app(services) {
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    setWindowIcon(programIcon());

    bar = new CCommandBar(this);
    addToolBar(Qt::TopToolBarArea, bar);
    connect(bar, &CCommandBar::commandTriggered, this, [this](int id) { routeCommand(id); });

    // Ctrl+Q (and whatever the desktop calls Quit) closes the program like the close button.
    auto* quit = new QAction(this);
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Quit);
    const QKeySequence ctrlQ(Qt::CTRL | Qt::Key_Q);
    if (!keys.contains(ctrlQ)) keys.append(ctrlQ);
    quit->setShortcuts(keys);
    quit->setShortcutContext(Qt::WindowShortcut);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);

    views = new ViewArea(this);
    views->setMinimumSize(kHandheldViewArea);
    setCentralWidget(views);
    startup = new CPlotraView(app.board, app.sound, views);
    connect(startup, &CPlotraView::tapped, this, [this] { ActivateView(ViewKind::Site); });
    views->addWidget(startup);
    views->setCurrentWidget(startup);
    refreshCommandStates();
    resize(sizeHint());

    tickTimer.setInterval(kTickMs);
    connect(&tickTimer, &QTimer::timeout, this, &CMainFrame::OnTimer);

    // The frame's own commands; tests may put hooks of their own in their place.
    setCommandHook(ID_TAKE_SNAPSHOT,
                   [this] { TakeSnapshot(activeView(), app.prompter, app.sound); });
    setCommandHook(ID_OPTIONS, [this] {
        runOptionsCommand(this, app.viewport, app.table, app.prompter);
        // The map switches may have changed.
        if (QWidget* v = activeView()) v->update();
    });
    setCommandHook(ID_HELP, [this] { runHelpCommand(this); });
    setCommandHook(ID_APP_ABOUT_BOX, [this] { runAboutCommand(this); });
}

CMainFrame::~CMainFrame() {
    // The worker posts to this window; it is stopped before the window goes away, so no
    // notification can be on its way to a dead frame.
    app.link.stop();
    app.board.setNotifySink({});
    app.board.setStatusMessageSink({});
    app.link.setConnectionSink({});
}

// ---- creation ----

void CMainFrame::create() {
    attachToBoard();
    app.prompter.beginWaitCursor();
    // A port that does not open has been reported by the link; the program goes on
    // without a board.
    app.link.openPort();
    QTimer::singleShot(kPauseMs, this, [this] {
        app.prompter.endWaitCursor();
        startWorker();
    });
}

void CMainFrame::attachToBoard() {
    app.board.setNotifySink([this](uint32_t w, uint32_t l) {
        QMetaObject::invokeMethod(
            this, [this, w, l] { OnBoardUpdate(w, l); }, Qt::QueuedConnection);
    });
    app.link.setConnectionSink([this](bool connected) {
        QMetaObject::invokeMethod(
            this, [this, connected] { OnConnection(connected); }, Qt::QueuedConnection);
    });
    app.board.setStatusMessageSink([this](const std::string& text) {
        // One radio-status box at a time: while one is on its way or open, further ones are
        // dropped here, on the worker, so a flood of them neither stacks modal loops nor
        // fills the event queue. The worker never waits for the box.
        if (radioStatusShown.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                app.prompter.showMessage(text);
                radioStatusShown.store(false);
            },
            Qt::QueuedConnection);
    });
}

void CMainFrame::OnConnection(bool connected) {
    if (connected) {
        // The board is back (or another one is there): ask who it is, as at start-up; its
        // answers start the sweep again.
        app.board.requestFirmware();
        return;
    }
    app.prompter.showMessage(kBoardLostText, {}, MessageIcon::Exclamation);
}

void CMainFrame::cancelMeasurement() {
    if (!app.measurement.running()) return;
    app.measurement.cancel();
    ActivateView(ViewKind::Site);
}

void CMainFrame::startWorker() {
    app.link.start();
    app.board.requestFirmware();
    QTimer::singleShot(kPauseMs, this, [this] { startTimer(); });
}

void CMainFrame::startTimer() {
    tickTimer.start();
    emit started();
}

// ---- the timer and the board ----

void CMainFrame::OnTimer() {
    app.measurement.tick();
}

void CMainFrame::OnBoardUpdate(uint32_t, uint32_t) {
    // Handed over once: the coverage warning below runs a modal loop in which further
    // updates arrive.
    if (const std::optional<std::vector<ApRecord>> certified = app.measurement.takeFinished()) {
        const CommitOutcome committed = app.store.commitPoint(*certified);
        tellSurveyor(committed.notices, app.prompter, app.sound);
        // -1: nothing could be stored and the surveyor has just been told why; the point did not
        // "hear no access point", so no coverage warning.
        if (committed.stored == 0) {
            app.sound.PlayWaveSync("REDALERT");
            app.prompter.showMessage(kNoApText, kCoverageWarningCaption, MessageIcon::Exclamation);
        }
        ActivateView(ViewKind::Site);
    }
    // A walk takes its samples as the board's sweeps come in.
    app.walk.update(walkClockNow());
    refreshCommandStates();
    if (QWidget* v = activeView()) v->update();
}

// ---- views ----

QWidget* CMainFrame::activeView() const {
    return views->currentWidget();
}

QWidget* CMainFrame::existingView(ViewKind kind) const {
    switch (kind) {
    case ViewKind::Startup:
        return startup;
    case ViewKind::Site:
        return site;
    case ViewKind::Scan:
        return scan;
    }
    return nullptr;
}

CSiteView* CMainFrame::siteView() const {
    return qobject_cast<CSiteView*>(site);
}

CScanView* CMainFrame::scanView() const {
    return qobject_cast<CScanView*>(scan);
}

void CMainFrame::setViewFactory(ViewKind kind, ViewFactory factory) {
    factories[kind] = std::move(factory);
}

QWidget* CMainFrame::makeView(ViewKind kind) {
    if (kind == ViewKind::Startup) return startup;
    QWidget* view = nullptr;
    if (auto f = factories.find(kind); f != factories.end() && f->second) view = f->second(views);
    if (!view && kind == ViewKind::Site) {
        auto* siteView = new CSiteView(app.viewport,
                                       {app.store, app.measurement, app.prompter, app.sound,
                                        [this] { ActivateView(ViewKind::Scan); }, &app.walk},
                                       views);
        // At the handheld's window size the view is exactly the handheld's; larger windows
        // show more of the plan at the same mapping.
        siteView->setHandheldClient(kHandheldViewArea - siteView->scrollBarExtent());
        connect(siteView, &CSiteView::formChanged, this, [this] { refreshCommandStates(); });
        siteView->setSaveHook([this, siteView] {
            runSaveSiteCommand(siteView, app.store, app.prompter, app.sound, siteView->openedPath);
        });
        if (startSite) {
            // The site named on the command line opens once the site view is on screen.
            QTimer::singleShot(0, siteView,
                               [siteView, path = *startSite] { siteView->openSite(path); });
            startSite.reset();
        }
        view = siteView;
    }
    if (!view && kind == ViewKind::Scan) {
        auto* scanView =
            new CScanView([&m = app.measurement] { return int(m.progressPercent()); },
                          [&table = app.table] { return table.certifiedRecords(); }, views);
        scanView->setCancelHandler([this] { cancelMeasurement(); });
        view = scanView;
    }
    (kind == ViewKind::Site ? site : scan) = view;
    return view;
}

void CMainFrame::ActivateView(ViewKind kind) {
    if (kind == active) return;
    QWidget* view = existingView(kind);
    if (!view) {
        view = makeView(kind);
        views->addWidget(view);
    }
    views->setCurrentWidget(view); // shows the new view and hides the old one
    active = kind;
    view->setFocus(Qt::OtherFocusReason);
    refreshCommandStates();
    view->update();
    emit viewActivated(kind);
}

// ---- commands ----

bool CMainFrame::frameHandles(int id) const {
    return id == ID_TAKE_SNAPSHOT || id == ID_OPTIONS || id == ID_HELP || id == ID_APP_ABOUT_BOX;
}

bool CMainFrame::routeCommand(int id) {
    if (auto* target = dynamic_cast<ICommandTarget*>(activeView());
        target && target->handlesCommand(id)) {
        target->onCommand(id);
        return true;
    }
    if (!frameHandles(id)) return false;
    emit frameCommand(id);
    auto hook = commandHooks.find(id);
    if (hook != commandHooks.end() && hook->second) hook->second();
    return true;
}

void CMainFrame::refreshCommandStates() {
    const auto* target = dynamic_cast<const ICommandTarget*>(activeView());
    for (const CommandButton& button : kCommandButtons) {
        const bool handled =
            (target && target->handlesCommand(button.id)) || frameHandles(button.id);
        if (QAction* a = bar->action(button.id)) a->setEnabled(handled);
    }
    // The desktop map's buttons are there while the site view is one.
    const CSiteView* map = siteView();
    const bool desktop = map && map->viewport().desktopMap() && activeView() == site;
    for (const CommandButton& button : kDesktopButtons) {
        if (QAction* a = bar->action(button.id)) {
            a->setVisible(desktop);
            a->setEnabled(desktop && target && target->handlesCommand(button.id));
        }
    }
}

void CMainFrame::setCommandHook(int id, std::function<void()> hook) {
    commandHooks[id] = std::move(hook);
}

// ---- the rest ----

void CMainFrame::openSiteAtStart(const std::string& path) {
    startSite = path;
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Minimising the frame ends the program, as on the handheld.
    if (event->type() == QEvent::WindowStateChange && isMinimized()) close();
}

} // namespace walkmere
