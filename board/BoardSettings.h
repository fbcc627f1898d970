#pragma once

#include "board/Scenario.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace walkmere {

// How a setting is written in one place.
enum class Takes {
    Nowhere,    // not accepted there
    Nothing,    // a bare word: --noise-markers
    MaybeValue, // split or split 20; --split or --split=20
    Value,      // seed 7; --seed 7
};

// Sets a setting from its value (none for a bare word). Returns what is wrong with the value,
// to follow the setting's name ("'1.5' is not a number from 0 to 1"), or "" when it is set.
using SettingSetter = std::function<std::string(Scenario&, std::optional<std::string_view>)>;

// One setting of the stand-in board, as a scenario statement and as a command-line option.
// Both are read through kBoardSettings, so they accept the same values with the same
// messages; a new setting is one more entry there.
struct BoardSetting {
    std::string_view name; // the scenario statement; --name on the command line
    Takes inScenario;
    Takes onCommandLine;
    std::string_view valueName;  // its value in `walkmere-board --help`: --seed N
    std::string_view optionHelp; // what it does, for `walkmere-board --help`
    SettingSetter set;
    // How many values a scenario statement takes, for the message when it has others; ""
    // for what `inScenario` says.
    std::string_view scenarioUsage = {};
    // A word that may end the scenario statement and switches a flag on; the statement
    // without it switches the flag off ("noise 0.3 markers").
    std::string_view flagWord = {};
    bool BoardFaults::*flag = nullptr;
};

extern const std::span<const BoardSetting> kBoardSettings;

// The setting named `name` that `place` (&BoardSetting::inScenario or ::onCommandLine)
// accepts, or nullptr.
const BoardSetting* findBoardSetting(std::string_view name, Takes BoardSetting::*place);

// Applies one scenario statement, `values` being the words after its name. Returns "" or
// what is wrong, starting with the statement's name.
std::string applyScenarioStatement(const BoardSetting& setting, std::span<const std::string> values,
                                   Scenario& scenario);

// Applies a command-line option's value (none for a bare option). Returns "" or what is
// wrong, starting with "--name".
std::string applyOption(const BoardSetting& setting, std::optional<std::string_view> value,
                        Scenario& scenario);

// The scan interval's bounds for --interval, in ms.
inline constexpr uint64_t kMinWifiIntervalMs = 100;
inline constexpr uint64_t kMaxWifiIntervalMs = 600000;

// What is wrong with the Wi-Fi settings taken together, or "": --wifi, --wifi-replay and
// --simulate exclude each other and a scenario's APs; --trigger and --wifi-capture need
// --wifi, and --interval one of the three.
std::string checkWifiSettings(const Scenario& scenario);

// The scenario statements the table knows and "ap", for the unknown-statement message:
// "firmware, serial, ... or ap".
std::string scenarioStatementNames();

// The option lines of `walkmere-board --help`, one per option of the table, in its order.
std::string boardOptionsHelp();

} // namespace walkmere
