#include "link/SerialLink.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"
#include "platform/Registry.h"

#include "link/pty_pair.h"

#include <gtest/gtest.h>

namespace walkmere {
namespace {

MemoryRegistry registryFrom(const std::string& body) {
    MemoryRegistry r;
    std::string error;
    EXPECT_TRUE(parseRegistryText("Windows Registry Editor Version 5.00\n\n" + body, r, error))
        << error;
    return r;
}

std::string searchIn(const IRegistrySource* registry) {
    ScriptedPrompter prompter;
    ManualClock clock;
    CSerialLink link(prompter, clock, registry);
    return link.findPortName();
}

TEST(PortSearch, FallsThroughToCom1) {
    EXPECT_EQ(searchIn(nullptr), "COM1:");
    MemoryRegistry empty;
    EXPECT_EQ(searchIn(&empty), "COM1:");
    MemoryRegistry other = registryFrom(R"([HKEY_LOCAL_MACHINE\Drivers\Active\00]
"PnpId"="Serial_Class"
"Name"="COM2:"
[HKEY_LOCAL_MACHINE\Drivers\Active\01]
"Name"="COM3:"
)");
    EXPECT_EQ(searchIn(&other), "COM1:");
}

TEST(PortSearch, QuatechWinsOverSocketWhereverItIs) {
    MemoryRegistry r = registryFrom(R"([HKEY_LOCAL_MACHINE\Drivers\Active\00]
"PnpId"="Socket Communications Serial"
"Name"="COM4:"
[HKEY_LOCAL_MACHINE\Drivers\Active\Serial7]
"PnpId"="Quatech SSP-100"
"Name"="COM7:"
)");
    EXPECT_EQ(searchIn(&r), "COM7:");
}

TEST(PortSearch, PrefixesAreCaseSensitiveAndMatchTheFirstCharactersOnly) {
    MemoryRegistry lower = registryFrom(R"([HKEY_LOCAL_MACHINE\Drivers\Active\03]
"PnpId"="quatech ssp-100"
"Name"="COM3:"
[HKEY_LOCAL_MACHINE\Drivers\Active\04]
"PnpId"="socket serial"
"Name"="COM4:"
[HKEY_LOCAL_MACHINE\Drivers\Active\05]
"PnpId"="Quatec"
"Name"="COM5:"
[HKEY_LOCAL_MACHINE\Drivers\Active\06]
"PnpId"="The Quatech card"
"Name"="COM6:"
)");
    EXPECT_EQ(searchIn(&lower), "COM1:");

    MemoryRegistry prefixed = registryFrom(R"([HKEY_LOCAL_MACHINE\Drivers\Active\12]
"PnpId"="QuatechXYZ-1"
"Name"="COM9:"
)");
    EXPECT_EQ(searchIn(&prefixed), "COM9:");
    MemoryRegistry socket = registryFrom(R"([HKEY_LOCAL_MACHINE\Drivers\Active\12]
"PnpId"="SocketCF"
"Name"="COM8:"
)");
    EXPECT_EQ(searchIn(&socket), "COM8:");
}

TEST(PortSearch, FirstQuatechWithANameInRegistryOrderWins) {
    MemoryRegistry r = registryFrom(R"([HKEY_LOCAL_MACHINE\Drivers\Active\20]
"PnpId"="Quatech without a name"
[HKEY_LOCAL_MACHINE\Drivers\Active\09]
"PnpId"="Quatech one"
"Name"="COM5:"
[HKEY_LOCAL_MACHINE\Drivers\Active\01]
"PnpId"="Quatech two"
"Name"="COM6:"
)");
    EXPECT_EQ(searchIn(&r), "COM5:");
}

TEST(PortSearch, SecondSearchLooksOnlyAtTwoDigitKeysUpTo50) {
    MemoryRegistry beyond = registryFrom(R"([HKEY_LOCAL_MACHINE\Drivers\Active\51]
"PnpId"="Socket"
"Name"="COM5:"
[HKEY_LOCAL_MACHINE\Drivers\Active\5]
"PnpId"="Socket"
"Name"="COM6:"
[HKEY_LOCAL_MACHINE\Drivers\Active\Socket]
"PnpId"="Socket"
"Name"="COM7:"
)");
    EXPECT_EQ(searchIn(&beyond), "COM1:");

    MemoryRegistry edges = registryFrom(R"([HKEY_LOCAL_MACHINE\Drivers\Active\50]
"PnpId"="Socket high"
"Name"="COM3:"
)");
    EXPECT_EQ(searchIn(&edges), "COM3:");
    MemoryRegistry lowest = registryFrom(R"([HKEY_LOCAL_MACHINE\Drivers\Active\50]
"PnpId"="Socket high"
"Name"="COM3:"
[HKEY_LOCAL_MACHINE\Drivers\Active\00]
"PnpId"="Socket low"
"Name"="COM2:"
)");
    EXPECT_EQ(searchIn(&lowest), "COM2:"); // numeric order, not the registry's
}

TEST(PortSearch, LongNamesAreCutTo127Characters) {
    std::string longName = "/dev/" + std::string(200, 'x');
    MemoryRegistry r;
    r.setString("Drivers\\Active\\02", "PnpId", "Quatech");
    r.setString("Drivers\\Active\\02", "Name", longName);
    EXPECT_EQ(searchIn(&r), longName.substr(0, 127));
}

TEST(PortSearch, OpenPortOpensWhatTheSearchFound) {
    testkit::PtyPair pty;
    MemoryRegistry r;
    r.setString("Drivers\\Active\\04", "PnpId", "Quatech SSP-100");
    r.setString("Drivers\\Active\\04", "Name", pty.slavePath());
    ScriptedPrompter prompter;
    ManualClock clock;
    CSerialLink link(prompter, clock, &r);
    EXPECT_TRUE(link.openPort());
    EXPECT_TRUE(link.isPortOpen());
    EXPECT_EQ(link.portPath(), pty.slavePath());
    EXPECT_TRUE(prompter.messages().empty());

    // A --port override skips the search altogether.
    CSerialLink overridden(prompter, clock, &r);
    overridden.setPortOverride("/nonexistent/walkmere-port");
    EXPECT_FALSE(overridden.openPort());
    EXPECT_EQ(overridden.portPath(), "/nonexistent/walkmere-port");
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"Cannot Open Connection To Board."});
}

} // namespace
} // namespace walkmere
