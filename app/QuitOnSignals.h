#pragma once

class QCoreApplication;

namespace walkmere {

// SIGTERM and SIGINT end the program from wherever the user interface is waiting: the
// main loop, a message box, a dialog or a file dialog. The handler only writes a byte to a
// socket; the event loop that reads it asks every running loop to end (message boxes and
// dialogs then return as if dismissed, which keeps the points and changes nothing), and
// any loop started after that returns at once. main() checks quitRequested() before it
// starts the main loop, since a signal during start-up ends the loops that ran then.
void quitOnSignals(QCoreApplication& app);
bool quitRequested();

} // namespace walkmere
