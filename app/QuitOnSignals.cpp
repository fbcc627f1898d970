#include "app/QuitOnSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace walkmere {

namespace {

int signalPipe[2] = {-1, -1};
std::atomic<bool> quitting{false};

void onTerminate(int) {
    const int saved = errno;
    char c = 1;
    ssize_t ignored = ::write(signalPipe[1], &c, 1);
    (void)ignored;
    errno = saved;
}

} // namespace

void quitOnSignals(QCoreApplication& app) {
    if (signalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char c;
        while (::read(signalPipe[0], &c, 1) > 0) {
        }
        quitting.store(true);
        // exit(), unlike quit(), ends every loop that runs, also before the main loop has
        // started, and makes any loop started afterwards return at once.
        QCoreApplication::exit(0);
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

bool quitRequested() {
    return quitting.load();
}

} // namespace walkmere
