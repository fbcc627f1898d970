#pragma once

#include "app/ViewKind.h"

#include <QMainWindow>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

class QStackedWidget;

namespace walkmere {

class AppServices;
class CCommandBar;
class CPlotraView;
class CScanView;
class CSiteView;

// Said once when the board's line hangs up; the link opens it again when it returns.
inline constexpr const char* kBoardLostText =
    "The connection to the board was lost. Walkmere goes on and reconnects when the board "
    "is back.";

// The coverage warning after a point that heard no access point.
inline constexpr const char* kNoApText = "No Access Points Detected!";
inline constexpr const char* kCoverageWarningCaption = "COVERAGE WARNING";

// The program's main window: the command bar on top and one view at a time below it.
//
// Its creation opens the board link and starts the worker in the handheld's order: open the
// port, one second, the worker, REQ_FIRMWARE, one second, the 750 ms timer. The pauses are
// single-shot timers, so the window stays responsive meanwhile.
//
// Commands of the command bar go first to the active view (when it is an ICommandTarget
// that handles them), then to the frame's own handlers (snapshot, Options, Help, About).
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(AppServices& services, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Runs the creation steps; the later ones follow from the event loop.
    void create();
    // Creation step 4: the board's notifications (WM_BOARD_UPDATE and the radio-status
    // warning) are queued onto this window's thread. create() does it; tests that drive the
    // link themselves call it alone.
    void attachToBoard();
    bool timerRunning() const { return tickTimer.isActive(); }

    // WM_BOARD_UPDATE, delivered on the UI thread: commits a finished measurement, warns when
    // the point heard no access point, and repaints the active view.
    void OnBoardUpdate(uint32_t wParam, uint32_t lParam);
    // One tick of the 750 ms timer.
    void OnTimer();
    // The board's line hung up (false) or is open again (true); UI thread.
    void OnConnection(bool connected);
    // Escape on the scan view: the measurement ends without a point and the site view
    // returns.
    void cancelMeasurement();

    // Makes a view of that kind the active one, creating it on first use; asking for the
    // view already shown does nothing. The only way views change.
    void ActivateView(ViewKind kind);
    ViewKind activeKind() const { return active; }
    QWidget* activeView() const;
    // The view of that kind, or null when it has not been made yet.
    QWidget* existingView(ViewKind kind) const;
    CPlotraView* startupView() const { return startup; }
    CSiteView* siteView() const;
    CScanView* scanView() const;
    CCommandBar* commandBar() const { return bar; }

    // Offers command `id` to the active view, then to the frame, as a button press does.
    // False when nobody handles it.
    bool routeCommand(int id);
    // Enables each button whose command the active view or the frame handles.
    void refreshCommandStates();

    // The frame's own commands (32778 snapshot, 32779 Options, 57670 Help, 32777 About)
    // call the hook set for them; a command without a hook does nothing.
    void setCommandHook(int id, std::function<void()> hook);

    // How the site and scan views are made on first use; the frame's own views unless a
    // factory is set (before the view is first shown). The start-up view is always there.
    using ViewFactory = std::function<QWidget*(QWidget* parent)>;
    void setViewFactory(ViewKind kind, ViewFactory factory);

    // A site file named on the command line. Kept until the open flow can take it.
    void openSiteAtStart(const std::string& path);
    const std::optional<std::string>& siteAtStart() const { return startSite; }

signals:
    // The creation steps have all run (the timer is running).
    void started();
    // Another view became the active one.
    void viewActivated(walkmere::ViewKind kind);
    // One of the frame's own commands was chosen.
    void frameCommand(int id);

protected:
    void changeEvent(QEvent* event) override;

private:
    void startWorker();
    void startTimer();
    QWidget* makeView(ViewKind kind);
    bool frameHandles(int id) const;

    AppServices& app;
    CCommandBar* bar;
    QStackedWidget* views;
    CPlotraView* startup = nullptr;
    QWidget* site = nullptr;
    QWidget* scan = nullptr;
    std::map<ViewKind, ViewFactory> factories;
    ViewKind active = ViewKind::Startup;
    QTimer tickTimer;
    std::map<int, std::function<void()>> commandHooks;
    std::optional<std::string> startSite;
    // A radio-status box is queued or open (set on the worker, cleared on the UI thread).
    std::atomic<bool> radioStatusShown{false};
};

} // namespace walkmere
