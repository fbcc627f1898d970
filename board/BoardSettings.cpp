#include "board/BoardSettings.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace walkmere {

namespace {

template <class Owner> Owner& partOf(Scenario& s);
template <> Scenario& partOf<Scenario>(Scenario& s) {
    return s;
}
template <> BoardFaults& partOf<BoardFaults>(Scenario& s) {
    return s.faults;
}

// A whole number from min to max, or the fault "'<value>' is not <what>".
template <class Owner, class T>
SettingSetter number(T Owner::*field, uint64_t min, uint64_t max, const char* what) {
    return [=](Scenario& s, std::optional<std::string_view> value) -> std::string {
        uint64_t n = 0;
        if (!parseUnsigned(*value, min, max, n)) return quoted(*value) + " is not " + what;
        partOf<Owner>(s).*field = static_cast<T>(n);
        return {};
    };
}

// The firmware and serial strings the board reports.
SettingSetter boardText(std::string Scenario::*field) {
    return [=](Scenario& s, std::optional<std::string_view> value) -> std::string {
        const std::string text(*value);
        s.*field = text;
        if (text.empty() || text.size() > 200) return "must have 1 to 200 characters";
        for (unsigned char c : text)
            if (c < 0x20 || c == 0x7F) return "holds a control character";
        return {};
    };
}

SettingSetter switchOn(bool BoardFaults::*field) {
    return [=](Scenario& s, std::optional<std::string_view>) -> std::string {
        s.faults.*field = true;
        return {};
    };
}

std::string setNoiseRate(Scenario& s, std::optional<std::string_view> value) {
    if (!parseRate(*value, 1.0, s.faults.noiseRate))
        return "rate " + quoted(*value) + " is not a number from 0 to 1";
    return {};
}

std::string setSplit(Scenario& s, std::optional<std::string_view> value) {
    uint64_t ms = s.faults.splitPauseMs;
    if (value && !parseUnsigned(*value, 0, 10000, ms))
        return "pause " + quoted(*value) + " is not a number of ms from 0 to 10000";
    s.faults.split = true;
    s.faults.splitPauseMs = static_cast<uint32_t>(ms);
    return {};
}

std::string setSilence(Scenario& s, std::optional<std::string_view> value) {
    const std::string_view text = *value;
    const size_t slash = text.find('/');
    uint64_t silent = 0, period = 0;
    if (slash == std::string_view::npos ||
        !parseUnsigned(text.substr(0, slash), 1, 1000000, silent) ||
        !parseUnsigned(text.substr(slash + 1), 2, 1000000, period) || silent >= period)
        return quoted(text) +
               " is not S/T with seconds 1 <= S < T (S silent seconds every T seconds)";
    s.faults.silenceSeconds = static_cast<uint32_t>(silent);
    s.faults.silencePeriod = static_cast<uint32_t>(period);
    return {};
}

std::string setPace(Scenario& s, std::optional<std::string_view> value) {
    if (value && *value != "on" && *value != "off") return "takes no value, 'on' or 'off'";
    s.faults.pace = !value || *value == "on";
    return {};
}

std::string setInterface(Scenario& s, std::optional<std::string_view> value) {
    const std::string_view name = *value;
    // IFNAMSIZ is 16 with its NUL; a name is one path component under /sys/class/net.
    if (name.empty() || name.size() > 15 || name.find('/') != std::string_view::npos ||
        name == "." || name == "..")
        return quoted(name) + " is not a network interface name (such as wlan0; see 'ip link')";
    s.wifi.interface = std::string(name);
    return {};
}

std::string setTrigger(Scenario& s, std::optional<std::string_view>) {
    s.wifi.trigger = true;
    return {};
}

std::string setInterval(Scenario& s, std::optional<std::string_view> value) {
    uint64_t ms = 0;
    if (!parseUnsigned(*value, kMinWifiIntervalMs, kMaxWifiIntervalMs, ms))
        return quoted(*value) + " is not a number of ms from " +
               std::to_string(kMinWifiIntervalMs) + " to " + std::to_string(kMaxWifiIntervalMs);
    s.wifi.intervalMs = static_cast<uint32_t>(ms);
    return {};
}

SettingSetter path(std::string WifiSettings::*field) {
    return [=](Scenario& s, std::optional<std::string_view> value) -> std::string {
        if (value->empty()) return "needs a file name";
        s.wifi.*field = std::string(*value);
        return {};
    };
}

using enum Takes;

// The order is that of `walkmere-board --help`, and the order in which command-line values
// are applied.
const BoardSetting kTable[] = {
    {"pace", MaybeValue, Nothing, "", "write at the line's 3840 bytes per second (38400 baud)",
     setPace, "no value, 'on' or 'off'"},
    {"noise", Value, Value, "RATE", "chance 0..1 of 1 to 8 noise bytes before each answer",
     setNoiseRate, "a rate from 0 to 1 and optionally 'markers'", "markers",
     &BoardFaults::noiseMarkers},
    {"noise-markers", Nowhere, Nothing, "", "let the noise hold 0x11 bytes, which can cost frames",
     switchOn(&BoardFaults::noiseMarkers)},
    {"split", MaybeValue, MaybeValue, "MS",
     "write each answer in two pieces MS ms apart (default 20)", setSplit},
    {"silence", Value, Value, "S/T", "answer nothing for the last S seconds of every T seconds",
     setSilence},
    {"bad-selector", Value, Value, "K",
     "every K-th entry answer carries a selector the handheld refuses",
     number(&BoardFaults::badSelectorEvery, 1, 1000000, "a count from 1 to 1000000")},
    {"radio-off", Value, Value, "M", "send radio status 0 (not responding) every M seconds",
     number(&BoardFaults::radioOffEvery, 1, 1000000, "a number of seconds from 1")},
    {"seed", Value, Value, "N", "seed of the RSSI jitter, missed hearings and faults",
     number(&Scenario::seed, 0, UINT64_MAX, "a whole number")},
    {"firmware", Value, Value, "TEXT", "firmware string to report", boardText(&Scenario::firmware)},
    {"serial", Value, Value, "TEXT", "serial number to report", boardText(&Scenario::serial)},
    {"wifi", Nowhere, Value, "IFACE",
     "serve the APs the laptop's adapter IFACE hears (nl80211) instead of a scenario's",
     setInterface},
    {"trigger", Nowhere, Nothing, "",
     "with --wifi: ask for a fresh scan before each dump (needs CAP_NET_ADMIN)", setTrigger},
    {"wifi-capture", Nowhere, Value, "FILE", "with --wifi: append every dump as read to FILE",
     path(&WifiSettings::capturePath)},
    {"wifi-replay", Nowhere, Value, "FILE",
     "serve the APs of a scan capture instead of a scenario's, one dump per interval, looping",
     path(&WifiSettings::replayPath)},
    {"simulate", Nowhere, Value, "MODEL",
     "serve a simulated site instead of a scenario's APs: the BSSs the site model MODEL.json "
     "gives where the surveyor stands (see below)",
     path(&WifiSettings::modelPath)},
    {"interval", Nowhere, Value, "MS",
     "with --wifi, --wifi-replay or --simulate: ms between dumps, 100 to 600000 (default "
     "2000)",
     setInterval},
    {"forget", Value, Nowhere, "S", "",
     number(&Scenario::forget, 0, 1000000000, "a number of seconds")},
};

std::string withName(std::string_view name, const std::string& fault) {
    if (fault.empty()) return fault;
    return std::string(name) + " " + fault;
}

} // namespace

const std::span<const BoardSetting> kBoardSettings(kTable);

const BoardSetting* findBoardSetting(std::string_view name, Takes BoardSetting::*place) {
    for (const BoardSetting& s : kBoardSettings)
        if (s.name == name && s.*place != Takes::Nowhere) return &s;
    return nullptr;
}

std::string applyScenarioStatement(const BoardSetting& setting, std::span<const std::string> values,
                                   Scenario& scenario) {
    size_t most = setting.inScenario == Takes::Nothing ? 0 : 1;
    const size_t least = setting.inScenario == Takes::Value ? 1 : 0;
    const bool flagged =
        !setting.flagWord.empty() && values.size() == most + 1 && values.back() == setting.flagWord;
    if (flagged) ++most;
    if (values.size() < least || values.size() > most) {
        std::string usage(setting.scenarioUsage);
        if (usage.empty())
            usage = setting.inScenario == Takes::Value ? "exactly one value" : "at most one value";
        return std::string(setting.name) + " takes " + usage;
    }
    std::optional<std::string_view> value;
    if (values.size() > (flagged ? 1u : 0u)) value = values[0];
    const std::string fault = withName(setting.name, setting.set(scenario, value));
    if (fault.empty() && setting.flag) scenario.faults.*setting.flag = flagged;
    return fault;
}

std::string applyOption(const BoardSetting& setting, std::optional<std::string_view> value,
                        Scenario& scenario) {
    return withName("--" + std::string(setting.name), setting.set(scenario, value));
}

std::string checkWifiSettings(const Scenario& s) {
    const WifiSettings& w = s.wifi;
    std::vector<std::string> sources; // the options naming one, in the order of --help
    if (!w.interface.empty()) sources.push_back("--wifi");
    if (!w.replayPath.empty()) sources.push_back("--wifi-replay");
    if (!w.modelPath.empty()) sources.push_back("--simulate");
    if (sources.size() > 1) {
        std::string names = sources[0];
        for (size_t i = 1; i < sources.size(); ++i)
            names += (i + 1 == sources.size() ? " and " : ", ") + sources[i];
        return names + " exclude each other: the board serves one source";
    }
    if (w.interface.empty()) {
        if (w.trigger) return "--trigger needs --wifi";
        if (!w.capturePath.empty()) return "--wifi-capture needs --wifi";
    }
    if (!w.used() && w.intervalMs) return "--interval needs --wifi, --wifi-replay or --simulate";
    if (w.used() && !s.aps.empty())
        return sources[0] + " excludes a scenario's APs: the scenario file has ap lines (line " +
               std::to_string(s.aps.front().line) + ")";
    return {};
}

std::string scenarioStatementNames() {
    std::string names;
    for (const BoardSetting& s : kBoardSettings)
        if (s.inScenario != Takes::Nowhere) names += std::string(s.name) + ", ";
    return names.substr(0, names.size() - 2) + " or ap";
}

std::string boardOptionsHelp() {
    std::string help;
    for (const BoardSetting& s : kBoardSettings) {
        if (s.onCommandLine == Takes::Nowhere) continue;
        std::string option = "--" + std::string(s.name);
        if (s.onCommandLine == Takes::Value) option += " " + std::string(s.valueName);
        if (s.onCommandLine == Takes::MaybeValue) option += "[=" + std::string(s.valueName) + "]";
        option.resize(std::max<size_t>(option.size() + 1, 19), ' ');
        help += "  " + option + std::string(s.optionHelp) + "\n";
    }
    return help;
}

} // namespace walkmere
