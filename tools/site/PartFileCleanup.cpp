#include "tools/site/PartFileCleanup.h"

#include <climits>
#include <csignal>
#include <cstring>
#include <initializer_list>
#include <pthread.h>
#include <unistd.h>

namespace walkmere::sitetool {

namespace {

// The handler may only look at these: a fixed buffer and a flag that says whether the
// buffer holds a whole path (it is cleared while the buffer changes).
char partFile[PATH_MAX];
volatile sig_atomic_t partFileSet = 0;

void removePartFile(int signal) {
    if (partFileSet) ::unlink(partFile);
    // SA_RESETHAND has put the default action back: the signal, held until this handler
    // returns, then ends the tool with the status the caller expects of it.
    ::raise(signal);
}

} // namespace

void setPartFile(const char* path) {
    partFileSet = 0;
    if (!path || std::strlen(path) >= sizeof partFile) return;
    std::strcpy(partFile, path);
    partFileSet = 1;
}

StopSignalsHeld::StopSignalsHeld() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, &previous);
}

StopSignalsHeld::~StopSignalsHeld() {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void installPartFileCleanup() {
    struct sigaction action {};
    action.sa_handler = removePartFile;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    // Both stop signals are held while either handler runs, so the file goes only once.
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    for (int signal : {SIGTERM, SIGINT}) {
        struct sigaction old {};
        // A signal the caller chose to ignore (a background job's SIGINT) stays ignored.
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace walkmere::sitetool
