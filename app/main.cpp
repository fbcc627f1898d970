#include "app/AppServices.h"
#include "app/CommandLine.h"
#include "app/MainFrame.h"
#include "app/QuitOnSignals.h"
#include "platform/AlsaSoundPlayer.h"
#include "platform/QtPrompter.h"
#include "res/Resources.h"

#include <QApplication>
#include <QFile>

#include <iostream>

using namespace walkmere;

namespace {

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
    // The window appears once its creation steps have run (the port, two one-second pauses,
    // the first request, the timer), as the handheld showed its frame; the pauses do not
    // block the event loop meanwhile.
    QObject::connect(&frame, &CMainFrame::started, &frame, [&frame] { frame.show(); });
    frame.create();
    // A signal during start-up (say, while "Cannot Open Connection To Board." was shown)
    // has already ended the loops that ran; the main loop is not started then.
    if (quitRequested()) return 0;
    return qapp.exec();
}
