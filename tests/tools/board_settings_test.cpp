// A board setting reads the same from a scenario line and from the command line.

#include <gtest/gtest.h>

#include "tools/board/BoardSettings.h"

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

} // namespace
} // namespace walkmere
