#pragma once

#include <csignal>

namespace walkmere::sitetool {

// The tool writes each output under a temporary ".part" name first. When SIGTERM or SIGINT
// ends the tool in the middle of a write, the handlers installed here remove that file and
// then let the signal end the tool as it would have.
void installPartFileCleanup();

// The temporary file being written now, or nullptr when there is none. The tool writes one
// output at a time. A path too long to keep is not removed by the handlers.
void setPartFile(const char* path);

// Holds SIGTERM and SIGINT back while it lives, so that a temporary file is never there
// without being known to the handlers: make it and set it under one of these.
class StopSignalsHeld {
public:
    StopSignalsHeld();
    ~StopSignalsHeld();
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

private:
    sigset_t previous;
};

} // namespace walkmere::sitetool
