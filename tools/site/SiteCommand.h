#pragma once

#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace walkmere::sitetool {

inline constexpr const char* kToolName = "walkmere-site";

enum ExitCode : int {
    kExitOk = 0,
    kExitFileError = 1, // a file refused as damaged or not a site file, or one that cannot be used
    kExitUsage = 2,     // unknown command or option, missing argument
};

// Thrown by a command for wrong usage; the tool prints it with a hint and exits with 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Thrown by a command for a file it cannot work with; the tool prints it and exits with 1.
struct FileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ToolStreams {
    std::ostream& out;
    std::ostream& err;
};

// One command of the tool. A new command is one source file defining one of these and a
// line in CommandTable.cpp.
struct SiteCommand {
    std::string_view name;
    std::string_view synopsis; // arguments after the command name
    std::string_view summary;  // one line for the command list
    std::string_view details;  // the rest of `help NAME`
    // Runs with the arguments after the command name; returns the exit code. Errors are
    // thrown as UsageError or FileError.
    int (*run)(const std::vector<std::string>& args, ToolStreams& io);
};

// Every command, in the order the help lists them.
std::span<const SiteCommand* const> siteCommands();
const SiteCommand* findSiteCommand(std::string_view name);

} // namespace walkmere::sitetool
