#include "app/CommandLine.h"

namespace walkmere {

const char* const kCommandLineHelp =
    "Usage: walkmere [--port PATH] [--registry FILE] [--scale N|auto] [SITE.kvs]\n"
    "\n"
    "  --port PATH      open the scanner board on this serial device (for example\n"
    "                   /dev/ttyUSB0 or the path printed by walkmere-board) instead of\n"
    "                   searching the registry for it\n"
    "  --registry FILE  read the registry from FILE (the registry editor's .reg export);\n"
    "                   the environment variable WALKMERE_REGISTRY does the same\n"
    "  --scale N|auto   draw every pixel of the handheld's screen as N x N pixels (1 to 8);\n"
    "                   auto takes the largest N whose window fits the screen. The\n"
    "                   environment variable WALKMERE_SCALE does the same; without either\n"
    "                   the scale of the last run is used (1 at first)\n"
    "  SITE.kvs         a site file to open at start\n"
    "  --help           show this text\n";

std::optional<UiScale> parseUiScale(const std::string& text) {
    if (text == "auto") return UiScale{true, 1};
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '0' + UiScale::kMax)
        return UiScale{false, text[0] - '0'};
    return std::nullopt;
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            std::string& error, const char* scaleVariable) {
    CommandLine cl;
    std::optional<std::string> scaleText;
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
        } else if (a == "--scale" || a.rfind("--scale=", 0) == 0) {
            if (!value(scaleText)) return std::nullopt;
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
    if (scaleText) {
        cl.scale = parseUiScale(*scaleText);
        if (!cl.scale) {
            error = "--scale takes 1 to 8 or auto, not '" + *scaleText + "'";
            return std::nullopt;
        }
    } else if (scaleVariable && *scaleVariable) {
        cl.scale = parseUiScale(scaleVariable);
        if (!cl.scale) {
            error = std::string("WALKMERE_SCALE takes 1 to 8 or auto, not '") + scaleVariable + "'";
            return std::nullopt;
        }
    }
    return cl;
}

} // namespace walkmere
