#pragma once

#include <optional>
#include <string>
#include <vector>

namespace walkmere {

// walkmere [--port PATH] [--registry FILE] [SITE.kvs]
struct CommandLine {
    std::optional<std::string> port;     // skip the port search and open this device
    std::optional<std::string> registry; // the registry file for the port search
    std::optional<std::string> siteFile; // a site to open at start
    bool help = false;
};

// Parses the arguments after the program name. On a mistake, error says what is wrong.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

extern const char* const kCommandLineHelp;

} // namespace walkmere
