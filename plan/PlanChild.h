#pragma once
// Work done in a child process under bounds on its processor time, its memory and the real
// time it takes, for a library that cannot be stopped from outside once it has started (a PDF
// page can take without end to draw, or all the memory there is). The child hands its answer
// back in a file that lives in memory; what it writes to standard error is kept too.

#include "platform/OwnedFd.h"

#include <cstdint>
#include <functional>
#include <string>

namespace walkmere {

struct ChildBounds {
    // Processor time: the child gets SIGXCPU past it, SIGKILL a second later.
    unsigned cpuSeconds = 60;
    // Real time: the child is killed past it (a child that waits, or gets little of the
    // processor on a busy machine).
    unsigned wallSeconds = 130;
    // Memory the child may map on top of what it starts with (a copy of its parent). A
    // sanitizer's runtime reserves its heap ahead, so in such a build the bound holds only
    // for memory mapped anew.
    uint64_t memoryBytes = uint64_t{2} << 30;
};

// How the work ended.
struct ChildOutcome {
    enum class End {
        Failed,    // the child could not be started or waited for: `problem` says why
        Exited,    // `exitCode` is what the work returned
        Signalled, // `signal` ended it (SIGXCPU: past the processor time)
        OverTime,  // past the real time; it was killed
    };
    End end = End::Failed;
    int exitCode = 0;
    int signal = 0;
    std::string problem;
    std::string messages; // the first few kilobytes the child wrote to standard error
    OwnedFd reply;        // the file the work was given, read from its start
};

// Exit codes of a child whose work threw.
inline constexpr int kChildOutOfMemory = 120; // std::bad_alloc
inline constexpr int kChildFailed = 121;      // any other exception

// Runs `work` in a child process and waits for it within the bounds. The work gets the
// descriptor of an empty file to write its answer to; its return value is the child's exit
// code. The child never returns into the caller's code, and dumps no core. When this returns,
// the child is gone and reaped, whatever happened to it.
ChildOutcome runBounded(const ChildBounds& bounds, const std::function<int(int replyFd)>& work);

} // namespace walkmere
