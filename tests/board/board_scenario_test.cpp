#include <gtest/gtest.h>

#include <set>

#include "board/Scenario.h"
#include "testkit/TempDir.h"

namespace walkmere {
namespace {

Scenario parseOk(const std::string& text) {
    Scenario s;
    std::string error;
    EXPECT_TRUE(parseScenario(text, s, error)) << error;
    return s;
}

std::string parseError(const std::string& text) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(parseScenario(text, s, error)) << text;
    return error;
}

TEST(BoardScenario, DefaultScenarioHasSixVariedAps) {
    Scenario s = defaultScenario();
    EXPECT_EQ(s.firmware, "DRV-2.14");
    EXPECT_EQ(s.serial, "A1B2C3D4E5");
    ASSERT_EQ(s.aps.size(), 6u);
    std::set<int> rssi;
    for (const ScenarioAp& ap : s.aps)
        rssi.insert(ap.rssiMean);
    EXPECT_EQ(rssi.size(), 6u);
    EXPECT_EQ(s.aps[3].ssid, "lab 2");
}

TEST(BoardScenario, ApLineWithEveryKey) {
    Scenario s = parseOk("forget 90\n"
                         "ap 00:A0:f8:12:34:56 ssid=\"Guest \\\"net\\\"\" channel=36 rssi=-61 "
                         "jitter=3 appear=5 disappear=65 heardEvery=2 miss=0.25 forget=40\n"
                         "ap 00-0b-86-aa-10-01 code=4999 rssi=0\n");
    ASSERT_EQ(s.aps.size(), 2u);
    const ScenarioAp& a = s.aps[0];
    EXPECT_EQ(a.mac, (std::array<uint8_t, 6>{0x00, 0xA0, 0xF8, 0x12, 0x34, 0x56}));
    EXPECT_EQ(a.ssid, "Guest \"net\"");
    EXPECT_EQ(a.channelCode, 5180);
    EXPECT_EQ(a.rssiMean, -61);
    EXPECT_EQ(a.jitter, 3);
    EXPECT_EQ(a.appear, 5u);
    EXPECT_EQ(a.disappear, 65u);
    EXPECT_EQ(a.heardEvery, 2u);
    EXPECT_DOUBLE_EQ(a.miss, 0.25);
    EXPECT_EQ(s.forgetOf(a), 40u);
    EXPECT_EQ(a.line, 2);

    const ScenarioAp& b = s.aps[1];
    EXPECT_EQ(b.channelCode, 4999);
    EXPECT_EQ(b.ssid, "");
    EXPECT_EQ(b.disappear, kNever);
    EXPECT_EQ(b.heardEvery, 1u);
    EXPECT_EQ(s.forgetOf(b), 90u);
}

TEST(BoardScenario, IdentityAndFaultStatements) {
    Scenario s = parseOk("# identity\r\n"
                         "firmware \"DRV 3.0\"   # with a space\r\n"
                         "\r\n"
                         "serial ZZ9\n"
                         "seed 77\n"
                         "noise 0.5 markers\n"
                         "split 35\n"
                         "silence 5/60\n"
                         "bad-selector 7\n"
                         "radio-off 300\n"
                         "pace\n");
    EXPECT_EQ(s.firmware, "DRV 3.0");
    EXPECT_EQ(s.serial, "ZZ9");
    EXPECT_EQ(s.seed, 77u);
    EXPECT_DOUBLE_EQ(s.faults.noiseRate, 0.5);
    EXPECT_TRUE(s.faults.noiseMarkers);
    EXPECT_TRUE(s.faults.split);
    EXPECT_EQ(s.faults.splitPauseMs, 35u);
    EXPECT_EQ(s.faults.silenceSeconds, 5u);
    EXPECT_EQ(s.faults.silencePeriod, 60u);
    EXPECT_EQ(s.faults.badSelectorEvery, 7u);
    EXPECT_EQ(s.faults.radioOffEvery, 300u);
    EXPECT_TRUE(s.faults.pace);

    EXPECT_FALSE(parseOk("pace on\npace off\n").faults.pace);
    Scenario plain = parseOk("split\nnoise 0.1\n");
    EXPECT_EQ(plain.faults.splitPauseMs, 20u);
    EXPECT_FALSE(plain.faults.noiseMarkers);
}

TEST(BoardScenario, SameMacMayComeBackAfterItWasForgotten) {
    // Last heard at 9, forgotten after 10 unheard seconds: listed up to second 19.
    Scenario s = parseOk("ap 00:00:00:00:00:01 channel=1 rssi=-50 disappear=10 forget=10\n"
                         "ap 00:00:00:00:00:01 channel=1 rssi=-50 appear=21\n");
    EXPECT_EQ(s.aps.size(), 2u);
}

TEST(BoardScenario, BadLinesNameTheLineAndTheFault) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"ap 00:a0:f8:12:34 channel=1 rssi=-50", "line 1: bad MAC address '00:a0:f8:12:34'"},
        {"\nap 00:a0:f8:12:34:zz channel=1 rssi=-50", "line 2: bad MAC address"},
        {"ap 00:a0:f8:12:34:56 channel=1 rssi=-50 rsi=3", "line 1: unknown ap key 'rsi'"},
        {"ap 00:a0:f8:12:34:56 channel=1", "line 1: ap needs rssi="},
        {"ap 00:a0:f8:12:34:56 rssi=-50", "line 1: ap needs channel= or code="},
        {"ap 00:a0:f8:12:34:56 channel=0 rssi=-50", "line 1: channel='0' is not a channel number"},
        {"ap 00:a0:f8:12:34:56 channel=1 rssi=-130", "line 1: rssi='-130' is not an RSSI"},
        {"ap 00:a0:f8:12:34:56 channel=1 rssi=5", "line 1: rssi='5'"},
        {"ap 00:a0:f8:12:34:56 channel=1 rssi=-50 miss=0.99", "line 1: miss='0.99'"},
        {"ap 00:a0:f8:12:34:56 channel=1 rssi=-50 ssid=123456789012345678901234567890123",
         "line 1: ssid '123456789012345678901234567890123' is longer than 32 characters"},
        {"ap 00:a0:f8:12:34:56 channel=1 rssi=-50 ssid=\"open",
         "line 1: unterminated quoted value"},
        {"ap 00:a0:f8:12:34:56 channel=1 rssi=-50 appear=10 disappear=10",
         "line 1: disappear must come after appear"},
        {"ap 00:a0:f8:12:34:56 channel=1 rssi=-50 heardEvery", "line 1: expected key=value"},
        {"# ok\n\nwhistle loud", "line 3: unknown statement 'whistle'"},
        {"silence 20/10", "line 1: silence '20/10' is not S/T"},
        {"silence 5", "line 1: silence '5' is not S/T"},
        {"noise 1.5", "line 1: noise rate '1.5' is not a number from 0 to 1"},
        {"noise 0.5 loud", "line 1: noise takes a rate"},
        {"bad-selector 0", "line 1: bad-selector '0'"},
        {"radio-off soon", "line 1: radio-off 'soon'"},
        {"firmware", "line 1: firmware takes exactly one value"},
        {"firmware a b", "line 1: firmware takes exactly one value"},
        {"serial \"\"", "line 1: serial must have 1 to 200 characters"},
        {"pace maybe", "line 1: pace takes no value"},
        {"seed -1", "line 1: seed '-1'"},
        {"ap 00:00:00:00:00:01 channel=1 rssi=-50\nap 00:00:00:00:00:01 channel=2 rssi=-50 "
         "appear=500",
         "line 2: this AP's MAC is already listed on line 1"},
    };
    for (const Case& c : cases) {
        std::string error = parseError(c.text);
        EXPECT_EQ(error.rfind(c.expected, 0), 0u) << "text: " << c.text << "\nerror: " << error;
    }
}

TEST(BoardScenario, FilesAreReadAndTheirErrorsNameThem) {
    testkit::TempDir dir;
    auto good = dir.file("good.txt");
    auto bad = dir.file("bad.txt");
    std::string goodText = "serial QQ\nap 00:00:00:00:00:07 channel=149 rssi=-70\n";
    std::string badText = "serial QQ\nap 00:00:00:00:00:07 channel=149\n";
    testkit::writeFileBytes(good, std::vector<unsigned char>(goodText.begin(), goodText.end()));
    testkit::writeFileBytes(bad, std::vector<unsigned char>(badText.begin(), badText.end()));

    Scenario s;
    std::string error;
    ASSERT_TRUE(loadScenarioFile(good.string(), s, error)) << error;
    EXPECT_EQ(s.serial, "QQ");
    EXPECT_EQ(s.aps.at(0).channelCode, 5745);

    Scenario t;
    EXPECT_FALSE(loadScenarioFile(bad.string(), t, error));
    EXPECT_EQ(error, bad.string() + ": line 2: ap needs rssi=");

    EXPECT_FALSE(loadScenarioFile(dir.file("missing.txt").string(), t, error));
    EXPECT_NE(error.find("cannot open scenario file"), std::string::npos);
}

TEST(BoardScenario, HelpDescribesEveryStatementAndTheBuiltInScenarioParses) {
    for (const char* word : {"firmware", "serial",     "seed",         "forget",    "ap MAC",
                             "ssid=",    "channel=",   "code=",        "rssi=",     "jitter=",
                             "appear=",  "disappear=", "heardEvery=",  "miss=",     "noise",
                             "split",    "silence",    "bad-selector", "radio-off", "pace"})
        EXPECT_NE(std::string(kScenarioFormatHelp).find(word), std::string::npos) << word;
    Scenario s;
    std::string error;
    EXPECT_TRUE(parseScenario(kDefaultScenarioText, s, error)) << error;
}

} // namespace
} // namespace walkmere
