#include "app/AppServices.h"
#include "app/BoardChild.h"
#include "app/CommandLine.h"
#include "app/MainFrame.h"
#include "app/QuitOnSignals.h"
#include "app/SimulatedBoard.h"
#include "app/WindowSettings.h"
#include "board/TriggerPermission.h"
#include "board/WifiBoard.h"
#include "platform/AlsaSoundPlayer.h"
#include "platform/QtPrompter.h"
#include "platform/Version.h"
#include "res/Resources.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include <iostream>

using namespace walkmere;

namespace {

std::optional<std::vector<uint8_t>> loadSound(const std::string& upperName) {
    QFile f(soundResourcePath(QString::fromStdString(upperName)));
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = f.readAll();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// The handheld's window: its view area and the command bar above it, in its own pixels.
constexpr int kHandheldWindowHeight = 268 + 31;

// The largest scale whose window fits in 90 % of the primary screen's available height,
// asked of a short-lived application before the real one exists (the scale must be set
// before that one starts).
int automaticScale(int argc, char** argv) {
    int height = 0;
    {
        QGuiApplication probe(argc, argv);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            height = screen->availableGeometry().height(); // in the desktop's own scale
    }
    return std::clamp(static_cast<int>(0.9 * height / kHandheldWindowHeight), 1, UiScale::kMax);
}

// Every pixel of the handheld's screen becomes scale x scale device pixels through Qt's own
// scaling, on top of whatever scale the desktop already asks of Qt.
void applyScale(int scale) {
    if (scale <= 1) return;
    double desktop = 1.0;
    if (const char* set = std::getenv("QT_SCALE_FACTOR")) {
        const double v = std::atof(set);
        if (v > 0 && std::isfinite(v)) desktop = v;
    }
    qputenv("QT_SCALE_FACTOR", QByteArray::number(desktop * scale));
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto cl = parseCommandLine(args, error, std::getenv("WALKMERE_SCALE"));
    if (!cl) {
        std::cerr << "walkmere: " << error << "\n\n" << kCommandLineHelp;
        return 2;
    }
    if (cl->help) {
        std::cout << kCommandLineHelp;
        return 0;
    }
    if (cl->version) {
        std::cout << "walkmere " << kVersion << '\n';
        return 0;
    }

    // --scale, else WALKMERE_SCALE, else the scale of the last run, else 1.
    const QString settingsPath = windowSettingsPath();
    const WindowSettings remembered = loadWindowSettings(settingsPath);
    int scale = remembered.scale.value_or(1);
    if (cl->scale) scale = cl->scale->automatic ? automaticScale(argc, argv) : cl->scale->factor;
    applyScale(scale);

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("walkmere"));
    // The installed desktop entry's name: a Wayland desktop matches the window to it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.walkmere.Walkmere"));
    walkmereInitResources();
    quitOnSignals(qapp);

    QtPrompter prompter;
    prompter.setUiScale(scale);
    AlsaSoundPlayer sound(loadSound);
    auto registry = loadRegistry(registryFilePath(cl->registry), error);
    if (!error.empty()) std::cerr << "walkmere: " << error << "\n";

    // --wifi with --trigger: fresh scans need CAP_NET_ADMIN, which only walkmere-board is
    // given, so that this program never runs with it. The board runs as a child, found beside
    // this program (installed there; in the build tree a link stands for it), and is read
    // over its pseudo-terminal as --port reads a board. Declared after the prompter, so it is
    // stopped before that goes.
    std::unique_ptr<BoardChild> boardChild;
    if (cl->wifi && cl->trigger) {
        BoardChild::Setup setup;
        setup.program = boardProgramBesideThisProgram();
        setup.arguments = {"--wifi", *cl->wifi, "--trigger"};
        if (cl->intervalMs)
            setup.arguments.insert(setup.arguments.end(),
                                   {"--interval", std::to_string(*cl->intervalMs)});
        setup.onLine = [](const std::string& line) { std::cerr << line << "\n"; };
        // The board ends by itself only on an error of the adapter, or when it is killed; its
        // port goes with it, and the survey goes on with the table ageing, as after a board's
        // cable came out.
        setup.onEnd = [&](const std::string& how) {
            const std::string text = "The scanner board has stopped: " + how +
                                     ". No fresh scans come in; start Walkmere again to go on "
                                     "surveying with the adapter.";
            std::cerr << "walkmere: " << text << "\n";
            QMetaObject::invokeMethod(
                &qapp, [&prompter, text] { prompter.showMessage(text, {}, MessageIcon::Stop); },
                Qt::QueuedConnection);
        };
        const std::string program = setup.program;
        boardChild = BoardChild::start(std::move(setup), error);
        if (!boardChild) {
            std::cerr << "walkmere: " << error << "\n";
            prompter.showMessage(error, {}, MessageIcon::Stop);
            return 1;
        }
        // The board has said so on its standard error too; a surveyor started from the
        // desktop sees this box.
        std::string missing = missingTriggerPermission(boardChild->pid(), program);
        if (!missing.empty()) {
            missing[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(missing[0])));
            prompter.showMessage(missing + ".\n\nWalkmere goes on with the scans the system "
                                           "makes by itself.",
                                 {}, MessageIcon::Exclamation);
        }
    }

    // --wifi (without --trigger) and --wifi-replay: a board fed by the adapter (or a capture)
    // on a private pseudo-terminal, opened as --port would be. It is declared after the
    // prompter, so it stops (and its feed with it) before the prompter goes.
    std::unique_ptr<WifiBoard> wifiBoard;
    std::atomic<bool> wifiErrorShown{false};
    if ((cl->wifi && !cl->trigger) || cl->wifiReplay) {
        WifiSettings wifi;
        wifi.interface = cl->wifi.value_or("");
        wifi.replayPath = cl->wifiReplay.value_or("");
        wifi.intervalMs = cl->intervalMs;
        // An error after the start is shown once; the program goes on with the board it has:
        // the last scan stays on it and ages, so its APs are no longer sighted afresh and leave
        // the live table at their delete or decertify time. Later errors go to stderr only.
        auto onError = [&](const std::string& text) {
            std::cerr << "walkmere: " << text << "\n";
            if (wifiErrorShown.exchange(true)) return;
            QMetaObject::invokeMethod(
                &qapp, [&prompter, text] { prompter.showMessage(text, {}, MessageIcon::Stop); },
                Qt::QueuedConnection);
        };
        auto onNotice = [](const std::string& text) { std::cerr << "walkmere: " << text << "\n"; };
        wifiBoard = WifiBoard::start(wifi, error, onError, onNotice);
        if (!wifiBoard) {
            std::cerr << "walkmere: " << error << "\n";
            prompter.showMessage(error, {}, MessageIcon::Stop);
            return 1;
        }
    }

    // --simulate: the same with a simulated site, refused whole at start when anything in
    // its model, its site or their fit is wrong, so that nothing is surveyed from half a model.
    std::unique_ptr<SimulatedBoard> simulatedBoard;
    if (cl->simulate) {
        simulatedBoard = SimulatedBoard::start(
            *cl->simulate, cl->siteFile, cl->intervalMs.value_or(WifiSettings::kDefaultIntervalMs),
            error, cl->walker);
        if (!simulatedBoard) {
            std::cerr << "walkmere: " << error << "\n";
            prompter.showMessage(error, {}, MessageIcon::Stop);
            return 1;
        }
    }

    AppServices services(prompter, sound, systemClock(), std::move(registry));
    if (cl->port) services.link.setPortOverride(*cl->port);
    if (wifiBoard) services.link.setPortOverride(wifiBoard->slavePath());
    if (boardChild) services.link.setPortOverride(boardChild->portPath());
    std::optional<std::string> siteAtStart = cl->siteFile;
    if (simulatedBoard) {
        services.link.setPortOverride(simulatedBoard->slavePath());
        simulatedBoard->follow(services.measurement, services.table);
        simulatedBoard->followWalk(services.walk);
        if (!siteAtStart) siteAtStart = simulatedBoard->sitePath();
    }

    CMainFrame frame(services);
    prompter.setParent(&frame);
    if (siteAtStart) frame.openSiteAtStart(*siteAtStart);
    // The window appears once its creation steps have run (the port, two one-second pauses,
    // the first request, the timer), as the handheld showed its frame; the pauses do not
    // block the event loop meanwhile.
    bool shown = false;
    QObject::connect(&frame, &CMainFrame::started, &frame, [&] {
        restoreWindowGeometry(frame, remembered);
        frame.show();
        shown = true;
    });
    frame.create();
    // A signal during start-up (say, while "Cannot Open Connection To Board." was shown)
    // has already ended the loops that ran; the main loop is not started then.
    const int status = quitRequested() ? 0 : qapp.exec();
    if (shown) saveWindowSettings(settingsPath, currentWindowGeometry(frame, scale));
    return status;
}
