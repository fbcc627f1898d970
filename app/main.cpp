#include "app/AppServices.h"
#include "app/CommandLine.h"
#include "app/MainFrame.h"
#include "platform/AlsaSoundPlayer.h"
#include "platform/QtPrompter.h"
#include "res/Resources.h"

#include <QApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <sys/socket.h>
#include <unistd.h>

using namespace walkmere;

namespace {

int signalPipe[2] = {-1, -1};

void onTerminate(int) {
    char c = 1;
    ssize_t ignored = ::write(signalPipe[1], &c, 1);
    (void)ignored;
}

// SIGTERM and SIGINT end the event loop like closing the window does, so the worker is
// stopped and the port closed in order.
void quitOnSignals(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char c;
        ssize_t ignored = ::read(signalPipe[0], &c, 1);
        (void)ignored;
        app.quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

std::optional<std::vector<uint8_t>> loadSound(const std::string& upperName) {
    QFile f(soundResourcePath(QString::fromStdString(upperName)));
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = f.readAll();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto cl = parseCommandLine(args, error);
    if (!cl) {
        std::cerr << "walkmere: " << error << "\n\n" << kCommandLineHelp;
        return 2;
    }
    if (cl->help) {
        std::cout << kCommandLineHelp;
        return 0;
    }

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("walkmere"));
    walkmereInitResources();
    quitOnSignals(qapp);

    QtPrompter prompter;
    AlsaSoundPlayer sound(loadSound);
    auto registry = loadRegistry(registryFilePath(cl->registry), error);
    if (!error.empty()) std::cerr << "walkmere: " << error << "\n";

    AppServices services(prompter, sound, systemClock(), std::move(registry));
    if (cl->port) services.link.setPortOverride(*cl->port);

    CMainFrame frame(services);
    prompter.setParent(&frame);
    if (cl->siteFile) frame.openSiteAtStart(*cl->siteFile);
    frame.show();
    frame.create();
    return qapp.exec();
}
