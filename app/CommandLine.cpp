#include "app/CommandLine.h"

namespace walkmere {

const char* const kCommandLineHelp =
    "Usage: walkmere [--port PATH] [--registry FILE] [SITE.kvs]\n"
    "\n"
    "  --port PATH      open the scanner board on this serial device (for example\n"
    "                   /dev/ttyUSB0 or the path printed by walkmere-board) instead of\n"
    "                   searching the registry for it\n"
    "  --registry FILE  read the registry from FILE (the registry editor's .reg export);\n"
    "                   the environment variable WALKMERE_REGISTRY does the same\n"
    "  SITE.kvs         a site file to open at start\n"
    "  --help           show this text\n";

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            std::string& error) {
    CommandLine cl;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::optional<std::string>& into) -> bool {
            std::string v;
            auto eq = a.find('=');
            if (eq != std::string::npos) {
                v = a.substr(eq + 1);
            } else if (i + 1 < args.size()) {
                v = args[++i];
            } else {
                error = a + " needs a value";
                return false;
            }
            if (v.empty()) {
                error = a.substr(0, eq) + " needs a value";
                return false;
            }
            into = v;
            return true;
        };
        if (a == "--help" || a == "-h") {
            cl.help = true;
        } else if (a == "--port" || a.rfind("--port=", 0) == 0) {
            if (!value(cl.port)) return std::nullopt;
        } else if (a == "--registry" || a.rfind("--registry=", 0) == 0) {
            if (!value(cl.registry)) return std::nullopt;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            error = "unknown option " + a;
            return std::nullopt;
        } else if (cl.siteFile) {
            error = "only one site file can be opened";
            return std::nullopt;
        } else {
            cl.siteFile = a;
        }
    }
    return cl;
}

} // namespace walkmere
