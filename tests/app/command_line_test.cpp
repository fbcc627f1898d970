#include "app/CommandLine.h"

#include <gtest/gtest.h>

using namespace walkmere;

TEST(CommandLine, ReadsPortRegistryAndSite) {
    std::string error;
    auto cl =
        parseCommandLine({"--port", "/dev/pts/7", "--registry=/etc/walkmere.reg", "a.kvs"}, error);
    ASSERT_TRUE(cl) << error;
    EXPECT_EQ(cl->port, "/dev/pts/7");
    EXPECT_EQ(cl->registry, "/etc/walkmere.reg");
    EXPECT_EQ(cl->siteFile, "a.kvs");
    EXPECT_FALSE(cl->help);

    auto none = parseCommandLine({}, error);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->port);
    EXPECT_FALSE(none->siteFile);
}

TEST(CommandLine, RefusesMistakes) {
    std::string error;
    EXPECT_FALSE(parseCommandLine({"--port"}, error));
    EXPECT_EQ(error, "--port needs a value");
    EXPECT_FALSE(parseCommandLine({"--port="}, error));
    EXPECT_FALSE(parseCommandLine({"--colour"}, error));
    EXPECT_EQ(error, "unknown option --colour");
    EXPECT_FALSE(parseCommandLine({"a.kvs", "b.kvs"}, error));
}

TEST(CommandLine, ScaleFromTheOptionElseTheEnvironment) {
    struct Case {
        std::vector<std::string> args;
        const char* variable;
        std::optional<UiScale> expected;
        bool refused;
    };
    const Case cases[] = {
        {{}, nullptr, std::nullopt, false},
        {{"--scale", "3"}, nullptr, UiScale{false, 3}, false},
        {{"--scale=auto"}, "2", UiScale{true, 1}, false},
        {{}, "8", UiScale{false, 8}, false},
        {{}, "auto", UiScale{true, 1}, false},
        {{}, "", std::nullopt, false},
        {{"--scale", "0"}, nullptr, std::nullopt, true},
        {{"--scale", "9"}, nullptr, std::nullopt, true},
        {{"--scale", "2x"}, nullptr, std::nullopt, true},
        {{}, "big", std::nullopt, true},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto cl = parseCommandLine(c.args, error, c.variable);
        EXPECT_EQ(!cl, c.refused) << error;
        if (cl) {
            EXPECT_EQ(cl->scale, c.expected) << (c.variable ? c.variable : "");
        }
    }
}

// --wifi and --wifi-replay start a board inside the program instead of opening a port.
TEST(CommandLine, WifiOptions) {
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> wifi;
        bool trigger;
        std::optional<std::string> replay;
        const char* error; // "" when accepted
    };
    const Case cases[] = {
        {{"--wifi", "wlan0"}, "wlan0", false, std::nullopt, ""},
        {{"--wifi=wlp3s0", "--trigger", "a.kvs"}, "wlp3s0", true, std::nullopt, ""},
        {{"--trigger", "--wifi", "wlan0"}, "wlan0", true, std::nullopt, ""},
        {{"--wifi-replay", "office.nlscan"}, std::nullopt, false, "office.nlscan", ""},
        {{"--wifi-replay=w.nlscan"}, std::nullopt, false, "w.nlscan", ""},
        {{"--wifi"}, std::nullopt, false, std::nullopt, "--wifi needs a value"},
        {{"--wifi-replay="}, std::nullopt, false, std::nullopt, "--wifi-replay needs a value"},
        {{"--wifi", "wlan0", "--port", "/dev/pts/3"},
         std::nullopt,
         false,
         std::nullopt,
         "--port, --wifi, --wifi-replay and --simulate exclude each other: give one of them"},
        {{"--wifi-replay", "a", "--port", "/dev/pts/3"},
         std::nullopt,
         false,
         std::nullopt,
         "--port, --wifi, --wifi-replay and --simulate exclude each other: give one of them"},
        {{"--wifi", "wlan0", "--wifi-replay", "a"},
         std::nullopt,
         false,
         std::nullopt,
         "--port, --wifi, --wifi-replay and --simulate exclude each other: give one of them"},
        {{"--trigger"}, std::nullopt, false, std::nullopt, "--trigger needs --wifi"},
        {{"--wifi-replay", "a", "--trigger"},
         std::nullopt,
         false,
         std::nullopt,
         "--trigger needs --wifi"},
        {{"--wifi", "../wlan0"},
         std::nullopt,
         false,
         std::nullopt,
         "--wifi takes a network interface name such as wlan0, not '../wlan0'"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto cl = parseCommandLine(c.args, error);
        SCOPED_TRACE(c.args.front());
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(bool(cl), *c.error == '\0');
        if (!cl) continue;
        EXPECT_EQ(cl->wifi, c.wifi);
        EXPECT_EQ(cl->trigger, c.trigger);
        EXPECT_EQ(cl->wifiReplay, c.replay);
        EXPECT_FALSE(cl->port);
    }
}

// --simulate starts a board inside the program that hears a site model; --interval paces the
// scans of any board inside the program.
TEST(CommandLine, SimulateAndIntervalOptions) {
    const char* const excluded =
        "--port, --wifi, --wifi-replay and --simulate exclude each other: give one of them";
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> simulate;
        std::optional<uint32_t> interval;
        const char* error; // "" when accepted
        std::optional<std::string> walker = std::nullopt;
    };
    const Case cases[] = {
        {{"--simulate", "office.json"}, "office.json", std::nullopt, ""},
        {{"--simulate=m.json", "--interval", "100", "a.kvs"}, "m.json", 100, ""},
        {{"--interval=600000", "--wifi-replay", "w.nlscan"}, std::nullopt, 600000, ""},
        {{"--wifi", "wlan0", "--interval", "2500"}, std::nullopt, 2500, ""},
        {{"--simulate", "m.json", "--walker", "w.json"}, "m.json", std::nullopt, "", "w.json"},
        {{"--walker=w.json"}, std::nullopt, std::nullopt, "--walker needs --simulate"},
        {{"--wifi", "wlan0", "--walker", "w.json"}, {}, {}, "--walker needs --simulate"},
        {{"--simulate"}, std::nullopt, std::nullopt, "--simulate needs a value"},
        {{"--simulate", "m.json", "--port", "/dev/pts/3"}, std::nullopt, std::nullopt, excluded},
        {{"--simulate", "m.json", "--wifi", "wlan0"}, std::nullopt, std::nullopt, excluded},
        {{"--wifi-replay", "a", "--simulate", "m.json"}, std::nullopt, std::nullopt, excluded},
        {{"--simulate", "m.json", "--trigger"},
         std::nullopt,
         std::nullopt,
         "--trigger needs --wifi"},
        {{"--interval", "500"},
         std::nullopt,
         std::nullopt,
         "--interval needs --wifi, --wifi-replay or --simulate"},
        {{"--port", "/dev/pts/3", "--interval", "500"},
         std::nullopt,
         std::nullopt,
         "--interval needs --wifi, --wifi-replay or --simulate"},
        {{"--simulate", "m.json", "--interval", "99"},
         std::nullopt,
         std::nullopt,
         "--interval takes a number of ms from 100 to 600000, not '99'"},
        {{"--simulate", "m.json", "--interval=2s"},
         std::nullopt,
         std::nullopt,
         "--interval takes a number of ms from 100 to 600000, not '2s'"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto cl = parseCommandLine(c.args, error);
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(bool(cl), *c.error == '\0');
        if (!cl) continue;
        EXPECT_EQ(cl->simulate, c.simulate);
        EXPECT_EQ(cl->intervalMs, c.interval);
        EXPECT_EQ(cl->walker, c.walker);
    }
}
