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
