#include "tools/site/SiteTool.h"

#include "platform/Version.h"
#include "tools/site/SiteCommand.h"

#include <string>
#include <vector>

namespace walkmere::sitetool {

namespace {

constexpr std::string_view kIntroduction =
    "Reads and makes Walkmere site files (.kvs): the floor plan, the scale and the survey\n"
    "points. Reading commands open the file read-only and never change it.\n"
    "\n"
    "A file written with -o appears under its name only when complete. '-o -' writes to\n"
    "standard output; a symbolic link gets the new content in the file it leads to;\n"
    "devices, FIFOs, sockets and folders are never written over.\n";

constexpr std::string_view kExitCodes =
    "Exit codes: 0 success; 1 a file that is not a site file, is damaged or cannot be\n"
    "read or written; 2 wrong usage.\n";

void printOverview(std::ostream& out) {
    out << "Usage: " << kToolName << " COMMAND [ARGUMENTS]\n\n" << kIntroduction << "\nCommands:\n";
    for (const SiteCommand* c : siteCommands())
        out << "  " << c->name << std::string(c->name.size() < 8 ? 8 - c->name.size() : 1, ' ')
            << c->summary << '\n';
    out << "  help    this text; 'help COMMAND' for one command's details\n";
    out << "  --version  the version of " << kToolName << "\n\n";
    for (const SiteCommand* c : siteCommands())
        out << "  " << kToolName << ' ' << c->name << ' ' << c->synopsis << '\n';
    out << '\n' << kExitCodes;
}

void printCommandHelp(const SiteCommand& c, std::ostream& out) {
    out << "Usage: " << kToolName << ' ' << c.name << ' ' << c.synopsis << "\n\n"
        << c.summary << ".\n\n"
        << c.details << '\n'
        << kExitCodes;
}

int usageFailure(std::ostream& err, const std::string& what, std::string_view command = {}) {
    err << kToolName << ": " << what << '\n';
    err << "Try '" << kToolName << " help" << (command.empty() ? "" : " ") << command << "'.\n";
    return kExitUsage;
}

bool isHelpWord(const std::string& arg) {
    return arg == "--help" || arg == "-h" || arg == "help";
}

} // namespace

const SiteCommand* findSiteCommand(std::string_view name) {
    for (const SiteCommand* c : siteCommands())
        if (c->name == name) return c;
    return nullptr;
}

int runSiteTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    if (args.empty()) return usageFailure(err, "missing command");

    if (args[0] == "--version" && args.size() == 1) {
        out << kToolName << ' ' << kVersion << '\n';
        return kExitOk;
    }
    if (isHelpWord(args[0])) {
        if (args.size() == 1) {
            printOverview(out);
            return kExitOk;
        }
        const SiteCommand* c = findSiteCommand(args[1]);
        if (!c || args.size() > 2) return usageFailure(err, "no help for '" + args[1] + "'");
        printCommandHelp(*c, out);
        return kExitOk;
    }

    const SiteCommand* command = findSiteCommand(args[0]);
    if (!command) return usageFailure(err, "unknown command '" + args[0] + "'");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& arg : rest) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") {
            printCommandHelp(*command, out);
            return kExitOk;
        }
    }

    ToolStreams io{out, err};
    try {
        return command->run(rest, io);
    } catch (const UsageError& e) {
        return usageFailure(err, std::string(command->name) + ": " + e.what(), command->name);
    } catch (const FileError& e) {
        err << kToolName << ": " << e.what() << '\n';
        return kExitFileError;
    } catch (const std::bad_alloc&) {
        err << kToolName << ": out of memory\n";
        return kExitFileError;
    }
}

} // namespace walkmere::sitetool
