#include "app/CommandLine.h"

#include "board/BoardSettings.h"

namespace walkmere {

const char* const kCommandLineHelp =
    "Usage: walkmere [--port PATH | --wifi IFACE [--trigger] | --wifi-replay FILE |\n"
    "                 --simulate MODEL.json [--walker WALK.json]] [--interval MS]\n"
    "                [--registry FILE] [--scale N|auto] [SITE.kvs]\n"
    "\n"
    "  --port PATH      open the scanner board on this serial device (for example\n"
    "                   /dev/ttyUSB0 or the path printed by walkmere-board) instead of\n"
    "                   searching the registry for it\n"
    "  --wifi IFACE     survey with the laptop's own Wi-Fi adapter (such as wlan0; see\n"
    "                   'ip link'): a board inside the program serves the 16 strongest\n"
    "                   BSSs of the adapter's latest scan, read every 2 seconds\n"
    "  --trigger        with --wifi: ask the adapter for a fresh scan each time. The\n"
    "                   scans come from walkmere-board, run from this program's folder,\n"
    "                   which needs CAP_NET_ADMIN for them (the package gives it); without\n"
    "                   it the system's own scans are used\n"
    "  --wifi-replay FILE\n"
    "                   the same with a scan capture (walkmere-board --wifi-capture),\n"
    "                   one scan every 2 seconds, round and round\n"
    "  --simulate MODEL.json\n"
    "                   the same with a simulated site: the board hears what the site\n"
    "                   model gives where the surveyor stands (the spot being measured),\n"
    "                   one scan every 2 seconds and one at once when a measurement\n"
    "                   begins. The site file the model names is opened; a SITE.kvs\n"
    "                   given as well must be that file\n"
    "  --walker WALK.json\n"
    "                   with --simulate: the surveyor walks a script instead (waypoints\n"
    "                   with times, in plan pixels and seconds), standing at its first\n"
    "                   waypoint until the first tap of a walk starts its clock\n"
    "  --interval MS    with --wifi, --wifi-replay or --simulate: the time between the\n"
    "                   board's scans, 100 to 600000 ms (2000 by default)\n"
    "  --registry FILE  read the registry from FILE (the registry editor's .reg export);\n"
    "                   the environment variable WALKMERE_REGISTRY does the same\n"
    "  --scale N|auto   draw every pixel of the handheld's screen as N x N pixels (1 to 8);\n"
    "                   auto takes the largest N whose window fits the screen. The\n"
    "                   environment variable WALKMERE_SCALE does the same; without either\n"
    "                   the scale of the last run is used (1 at first)\n"
    "  SITE.kvs         a site file to open at start\n"
    "  --version        show the version\n"
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
    std::optional<std::string> scaleText, intervalText;
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
        } else if (a == "--version") {
            cl.version = true;
        } else if (a == "--port" || a.rfind("--port=", 0) == 0) {
            if (!value(cl.port)) return std::nullopt;
        } else if (a == "--wifi" || a.rfind("--wifi=", 0) == 0) {
            if (!value(cl.wifi)) return std::nullopt;
        } else if (a == "--wifi-replay" || a.rfind("--wifi-replay=", 0) == 0) {
            if (!value(cl.wifiReplay)) return std::nullopt;
        } else if (a == "--simulate" || a.rfind("--simulate=", 0) == 0) {
            if (!value(cl.simulate)) return std::nullopt;
        } else if (a == "--walker" || a.rfind("--walker=", 0) == 0) {
            if (!value(cl.walker)) return std::nullopt;
        } else if (a == "--interval" || a.rfind("--interval=", 0) == 0) {
            if (!value(intervalText)) return std::nullopt;
        } else if (a == "--trigger") {
            cl.trigger = true;
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
    const int boards = int(cl.port.has_value()) + int(cl.wifi.has_value()) +
                       int(cl.wifiReplay.has_value()) + int(cl.simulate.has_value());
    if (boards > 1) {
        error = "--port, --wifi, --wifi-replay and --simulate exclude each other: give one of them";
        return std::nullopt;
    }
    if (cl.walker && !cl.simulate) {
        error = "--walker needs --simulate";
        return std::nullopt;
    }
    if (cl.trigger && !cl.wifi) {
        error = "--trigger needs --wifi";
        return std::nullopt;
    }
    if (intervalText) {
        uint64_t ms = 0;
        if (!parseUnsigned(*intervalText, kMinWifiIntervalMs, kMaxWifiIntervalMs, ms)) {
            error = "--interval takes a number of ms from " + std::to_string(kMinWifiIntervalMs) +
                    " to " + std::to_string(kMaxWifiIntervalMs) + ", not '" + *intervalText + "'";
            return std::nullopt;
        }
        if (!cl.wifi && !cl.wifiReplay && !cl.simulate) {
            error = "--interval needs --wifi, --wifi-replay or --simulate";
            return std::nullopt;
        }
        cl.intervalMs = static_cast<uint32_t>(ms);
    }
    if (cl.wifi && cl.wifi->find('/') != std::string::npos) {
        error = "--wifi takes a network interface name such as wlan0, not '" + *cl.wifi + "'";
        return std::nullopt;
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
