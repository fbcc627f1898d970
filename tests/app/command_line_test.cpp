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
