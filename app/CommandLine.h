#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace walkmere {

// How large the handheld's pixels are drawn: N x N device pixels each (1 to 8), or the
// largest N whose window fits in 90 % of the screen's available height.
struct UiScale {
    static constexpr int kMax = 8;
    bool automatic = false;
    int factor = 1; // when not automatic
    bool operator==(const UiScale&) const = default;
};

// "1" to "8" or "auto"; nothing for anything else.
std::optional<UiScale> parseUiScale(const std::string& text);

// walkmere [--port PATH | --wifi IFACE [--trigger] | --wifi-replay FILE |
//           --simulate MODEL [--walker WALK]] [--interval MS] [--registry FILE]
//          [--scale N|auto] [SITE.kvs]
//          or --help, or --version
struct CommandLine {
    std::optional<std::string> port; // skip the port search and open this device
    // A board inside the program fed by the laptop's adapter, by a capture of it, or by a
    // simulated site, on a private pseudo-terminal that stands for --port.
    std::optional<std::string> wifi;       // the adapter's interface
    bool trigger = false;                  // with wifi: ask for fresh scans
    std::optional<std::string> wifiReplay; // the capture
    std::optional<std::string> simulate;   // the site model
    std::optional<std::string> walker;     // with simulate: the surveyor's scripted walk
    std::optional<uint32_t> intervalMs;    // between the board's scans; unset: 2000

    std::optional<std::string> registry; // the registry file for the port search
    std::optional<UiScale> scale;        // --scale, else WALKMERE_SCALE
    std::optional<std::string> siteFile; // a site to open at start
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name; `scaleVariable` is WALKMERE_SCALE's value,
// used when --scale is not given. On a mistake, error says what is wrong.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            std::string& error,
                                            const char* scaleVariable = nullptr);

extern const char* const kCommandLineHelp;

} // namespace walkmere
