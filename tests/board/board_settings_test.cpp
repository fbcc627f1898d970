// A board setting reads the same from a scenario line and from the command line.

#include <gtest/gtest.h>

#include "board/BoardSettings.h"

namespace walkmere {
namespace {

const BoardSetting& option(std::string_view name) {
    const BoardSetting* s = findBoardSetting(name, &BoardSetting::onCommandLine);
    EXPECT_NE(s, nullptr) << name;
    return *s;
}

// The same value in both places sets the same thing, or is refused with the same fault.
TEST(BoardSettings, ScenarioAndCommandLineAgree) {
    struct Case {
        const char* name;
        const char* value;
        const char* fault; // after the name; "" when the value is taken
    };
    const Case cases[] = {
        {"seed", "7", ""},
        {"seed", "-1", "'-1' is not a whole number"},
        {"noise", "0.25", ""},
        {"noise", "1.5", "rate '1.5' is not a number from 0 to 1"},
        {"split", "35", ""},
        {"split", "10001", "pause '10001' is not a number of ms from 0 to 10000"},
        {"silence", "5/30", ""},
        {"silence", "9/3",
         "'9/3' is not S/T with seconds 1 <= S < T (S silent seconds every "
         "T seconds)"},
        {"bad-selector", "0", "'0' is not a count from 1 to 1000000"},
        {"radio-off", "soon", "'soon' is not a number of seconds from 1"},
        {"firmware", "DRV-9", ""},
        {"serial", "\x01", "holds a control character"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.value);
        Scenario fromFile, fromOption;
        std::string error;
        const bool read =
            parseScenario(std::string(c.name) + " \"" + c.value + "\"", fromFile, error);
        const std::string optionError = applyOption(option(c.name), c.value, fromOption);
        if (*c.fault) {
            EXPECT_FALSE(read);
            EXPECT_EQ(error, "line 1: " + std::string(c.name) + " " + c.fault);
            EXPECT_EQ(optionError, "--" + std::string(c.name) + " " + c.fault);
            continue;
        }
        EXPECT_TRUE(read) << error;
        EXPECT_EQ(optionError, "");
        EXPECT_EQ(fromFile.seed, fromOption.seed);
        EXPECT_EQ(fromFile.firmware, fromOption.firmware);
        EXPECT_EQ(fromFile.faults.noiseRate, fromOption.faults.noiseRate);
        EXPECT_EQ(fromFile.faults.splitPauseMs, fromOption.faults.splitPauseMs);
        EXPECT_EQ(fromFile.faults.silencePeriod, fromOption.faults.silencePeriod);
    }
}

// The scenario's "noise RATE markers" is --noise RATE --noise-markers on the command line;
// a bare --split or --pace switches the fault on.
TEST(BoardSettings, WordsAndBareOptions) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(parseScenario("noise 0.5 markers\nsplit\npace off", s, error)) << error;
    EXPECT_TRUE(s.faults.noiseMarkers);
    EXPECT_TRUE(s.faults.split);
    EXPECT_EQ(s.faults.splitPauseMs, 20u);
    EXPECT_FALSE(s.faults.pace);

    Scenario o;
    for (const char* name : {"noise-markers", "split", "pace"})
        EXPECT_EQ(applyOption(option(name), std::nullopt, o), "");
    EXPECT_TRUE(o.faults.noiseMarkers && o.faults.split && o.faults.pace);
    EXPECT_EQ(findBoardSetting("noise-markers", &BoardSetting::inScenario), nullptr);
    EXPECT_EQ(findBoardSetting("forget", &BoardSetting::onCommandLine), nullptr);
}

// The Wi-Fi options are the command line's only, and are checked together once all are read.
TEST(BoardSettings, WifiOptionsAndTheirConflicts) {
    struct Case {
        std::vector<std::pair<const char*, const char*>> options; // name, value (nullptr: bare)
        bool withAps;                                             // a scenario file's ap lines
        const char* fault;                                        // "" when accepted
    };
    const Case cases[] = {
        {{{"wifi", "wlan0"}}, false, ""},
        {{{"wifi", "wlan0"}, {"trigger", nullptr}, {"wifi-capture", "a.nlscan"}}, false, ""},
        {{{"wifi-replay", "a.nlscan"}, {"interval", "100"}}, false, ""},
        {{{"wifi", "wlan0"}, {"interval", "600000"}}, false, ""},
        {{{"wifi", "wl/an0"}},
         false,
         "--wifi 'wl/an0' is not a network interface name (such as wlan0; see 'ip link')"},
        {{{"wifi", "a-name-of-16-chr"}},
         false,
         "--wifi 'a-name-of-16-chr' is not a network interface name (such as wlan0; see 'ip "
         "link')"},
        {{{"wifi-replay", "a.nlscan"}, {"interval", "99"}},
         false,
         "--interval '99' is not a number of ms from 100 to 600000"},
        {{{"wifi-replay", "a.nlscan"}, {"interval", "600001"}},
         false,
         "--interval '600001' is not a number of ms from 100 to 600000"},
        {{{"wifi-replay", ""}}, false, "--wifi-replay needs a file name"},
        {{{"wifi", "wlan0"}, {"wifi-replay", "a.nlscan"}},
         false,
         "--wifi and --wifi-replay exclude each other: the board serves one source"},
        {{{"simulate", "office.json"}, {"interval", "100"}}, false, ""},
        {{{"simulate", ""}}, false, "--simulate needs a file name"},
        {{{"wifi-replay", "a.nlscan"}, {"simulate", "office.json"}},
         false,
         "--wifi-replay and --simulate exclude each other: the board serves one source"},
        {{{"wifi", "wlan0"}, {"wifi-replay", "a.nlscan"}, {"simulate", "office.json"}},
         false,
         "--wifi, --wifi-replay and --simulate exclude each other: the board serves one source"},
        {{{"simulate", "office.json"}, {"trigger", nullptr}}, false, "--trigger needs --wifi"},
        {{{"trigger", nullptr}}, false, "--trigger needs --wifi"},
        {{{"wifi-replay", "a.nlscan"}, {"trigger", nullptr}}, false, "--trigger needs --wifi"},
        {{{"wifi-replay", "a.nlscan"}, {"wifi-capture", "b.nlscan"}},
         false,
         "--wifi-capture needs --wifi"},
        {{{"interval", "500"}}, false, "--interval needs --wifi, --wifi-replay or --simulate"},
        {{{"wifi", "wlan0"}},
         true,
         "--wifi excludes a scenario's APs: the scenario file has ap lines (line 2)"},
        {{{"wifi-replay", "a.nlscan"}},
         true,
         "--wifi-replay excludes a scenario's APs: the scenario file has ap lines (line 2)"},
        {{{"simulate", "office.json"}},
         true,
         "--simulate excludes a scenario's APs: the scenario file has ap lines (line 2)"},
        {{}, true, ""},
    };
    for (const Case& c : cases) {
        Scenario s;
        std::string trace;
        if (c.withAps) {
            std::string error;
            ASSERT_TRUE(
                parseScenario("seed 1\nap 00:a0:f8:12:34:01 channel=6 rssi=-50\n", s, error))
                << error;
        }
        std::string fault;
        for (const auto& [name, value] : c.options) {
            trace += std::string(name) + " ";
            EXPECT_EQ(findBoardSetting(name, &BoardSetting::inScenario), nullptr) << name;
            fault = applyOption(option(name),
                                value ? std::optional<std::string_view>(value) : std::nullopt, s);
            if (!fault.empty()) break;
        }
        if (fault.empty()) fault = checkWifiSettings(s);
        EXPECT_EQ(fault, c.fault) << trace;
    }
}

} // namespace
} // namespace walkmere
