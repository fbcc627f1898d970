#include "link/SerialLink.h"
#include "platform/Registry.h"
#include "testkit/ManualClock.h"
#include "testkit/ScriptedPrompter.h"

#include "testkit/PtyPair.h"

#include <gtest/gtest.h>

namespace walkmere {
namespace {

// One key under Drivers\Active; an empty PnpId or Name is left out of the key.
struct Driver {
    std::string key;
    std::string pnpId;
    std::string name;
};

// Keys enumerate in the order given, as a registry's keys come in the order made.
MemoryRegistry registryWith(std::initializer_list<Driver> drivers) {
    MemoryRegistry r;
    for (const Driver& d : drivers) {
        const std::string path = "Drivers\\Active\\" + d.key;
        r.addKey(path);
        if (!d.pnpId.empty()) r.setString(path, "PnpId", d.pnpId);
        if (!d.name.empty()) r.setString(path, "Name", d.name);
    }
    return r;
}

std::string searchIn(const IRegistrySource* registry) {
    testkit::ScriptedPrompter prompter;
    testkit::ManualClock clock;
    CSerialLink link(prompter, clock, registry);
    return link.findPortName();
}

std::string searchIn(std::initializer_list<Driver> drivers) {
    const MemoryRegistry r = registryWith(drivers);
    return searchIn(&r);
}

TEST(PortSearch, FallsThroughToCom1) {
    EXPECT_EQ(searchIn(nullptr), "COM1:");
    EXPECT_EQ(searchIn({}), "COM1:");
    EXPECT_EQ(searchIn({{"00", "Serial_Class", "COM2:"}, {"01", "", "COM3:"}}), "COM1:");
}

TEST(PortSearch, QuatechWinsOverSocketWhereverItIs) {
    EXPECT_EQ(searchIn({{"00", "Socket Communications Serial", "COM4:"},
                        {"Serial7", "Quatech SSP-100", "COM7:"}}),
              "COM7:");
}

TEST(PortSearch, PrefixesAreCaseSensitiveAndMatchTheFirstCharactersOnly) {
    EXPECT_EQ(searchIn({{"03", "quatech ssp-100", "COM3:"},
                        {"04", "socket serial", "COM4:"},
                        {"05", "Quatec", "COM5:"},
                        {"06", "The Quatech card", "COM6:"}}),
              "COM1:");
    EXPECT_EQ(searchIn({{"12", "QuatechXYZ-1", "COM9:"}}), "COM9:");
    EXPECT_EQ(searchIn({{"12", "SocketCF", "COM8:"}}), "COM8:");
}

TEST(PortSearch, FirstQuatechWithANameInRegistryOrderWins) {
    EXPECT_EQ(searchIn({{"20", "Quatech without a name", ""},
                        {"09", "Quatech one", "COM5:"},
                        {"01", "Quatech two", "COM6:"}}),
              "COM5:");
}

TEST(PortSearch, SecondSearchLooksOnlyAtTwoDigitKeysUpTo50) {
    EXPECT_EQ(
        searchIn(
            {{"51", "Socket", "COM5:"}, {"5", "Socket", "COM6:"}, {"Socket", "Socket", "COM7:"}}),
        "COM1:");
    EXPECT_EQ(searchIn({{"50", "Socket high", "COM3:"}}), "COM3:");
    // Numeric order, not the registry's.
    EXPECT_EQ(searchIn({{"50", "Socket high", "COM3:"}, {"00", "Socket low", "COM2:"}}), "COM2:");
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
    testkit::ScriptedPrompter prompter;
    testkit::ManualClock clock;
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
