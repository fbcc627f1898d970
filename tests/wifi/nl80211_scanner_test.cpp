// Nl80211Scanner against a kernel that answers from a script, and LibnlTransport on a real
// netlink socket.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <linux/netlink.h>
#include <sys/socket.h>

#include "platform/OwnedFd.h"
#include "testkit/DumpBuilder.h"
#include "testkit/ScriptedKernel.h"
#include "testkit/TempDir.h"
#include "wifi/LibnlTransport.h"
#include "wifi/Nl80211Scanner.h"

namespace walkmere {
namespace {

using wifitest::Bytes;
using wifitest::ScriptedKernel;

constexpr uint32_t kOurs = ScriptedKernel::kIfindex;

Bytes event(uint8_t command, uint32_t ifindex = kOurs) {
    return wifitest::eventMessage(command, ifindex);
}

// The scanner of "wlan0", an interface that is there but not up to anything else.
struct Rig {
    testkit::TempDir sys;
    ScriptedKernel kernel;
    Nl80211Scanner scanner{kernel.transport(), wifitest::kFamily, kOurs,
                           ScannerSetup{"wlan0", sys.path().string(), 50, 50}};
    Rig() { std::filesystem::create_directories(sys.path() / "wlan0"); }
};

// An answer that is not ours comes first: one to an earlier request, or one from another
// program's socket.
ScriptedKernel::Answer after(Bytes (*stray)(const Bytes&), uint32_t sender,
                             ScriptedKernel::Answer then) {
    return [=](const Bytes& request, uint32_t seq) {
        std::vector<NetlinkDatagram> out{{stray(request), sender}};
        for (NetlinkDatagram& d : then(request, seq))
            out.push_back(std::move(d));
        return out;
    };
}

Bytes refusedEarlier(const Bytes& request) {
    Bytes earlier = request;
    --reinterpret_cast<nlmsghdr*>(earlier.data())->nlmsg_seq;
    return wifitest::answerMessage(earlier, -EPERM);
}

Bytes refused(const Bytes& request) {
    return wifitest::answerMessage(request, -EPERM);
}

// What a trigger makes of the kernel's answers and events (the board's own test has the
// rest: a refusal, an abort, a scan that does not end).
TEST(WifiScanner, TriggerWaitsForTheScansEnd) {
    using wifitest::acknowledge;
    using T = ScanTrigger;
    const Bytes ended = event(NL80211_CMD_NEW_SCAN_RESULTS);
    const Bytes endedElsewhere = event(NL80211_CMD_NEW_SCAN_RESULTS, 9);
    const Bytes removed = event(NL80211_CMD_DEL_INTERFACE);
    auto endedThenBusy = [&](const Bytes& request, uint32_t) {
        return std::vector<NetlinkDatagram>{{ended}, {wifitest::answerMessage(request, -EBUSY)}};
    };
    auto silence = [](const Bytes&, uint32_t) { return std::vector<NetlinkDatagram>{}; };
    const std::string late = "the scan on wlan0 did not end within 50 ms";
    const struct {
        const char* what;
        bool olderEndWaiting; // on the socket before the request
        ScriptedKernel::Answer answer;
        ScanTrigger outcome;
        std::string error;
    } cases[] = {
        {"started, ended", false, acknowledge(0, {ended}), T::Finished, ""},
        {"started, another's ended", false, acknowledge(0, {endedElsewhere}), T::TimedOut, late},
        {"started, removed", false, acknowledge(0, {removed}), T::Unusable, "wlan0 has gone"},
        {"busy, the running scan ends", false, acknowledge(-EBUSY, {endedElsewhere}), T::Finished,
         ""},
        {"busy, it ended before the answer", false, endedThenBusy, T::Finished, ""},
        {"busy, an older scan's end waiting", true, acknowledge(-EBUSY), T::TimedOut, late},
        {"not wireless", false, acknowledge(-ENODEV), T::Unusable,
         "wlan0 is not a wireless interface"},
        {"not supported", false, acknowledge(-EOPNOTSUPP), T::Failed,
         "nl80211 refused to trigger a scan on wlan0: Operation not supported"},
        {"no answer", false, silence, T::Failed, "no answer from nl80211 within 50 ms"},
        {"an earlier request's answer first", false,
         after(refusedEarlier, 0, acknowledge(0, {ended})), T::Finished, ""},
        {"another program's answer first", false, after(refused, 4242, acknowledge(0, {ended})),
         T::Finished, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        if (c.olderEndWaiting) rig.kernel.queue({ended});
        rig.kernel.answer(NL80211_CMD_TRIGGER_SCAN, c.answer);
        std::string error;
        EXPECT_EQ(rig.scanner.triggerScan(error), c.outcome);
        EXPECT_EQ(error, c.error);
    }
}

// A dump of many BSSs comes in many datagrams, after answers that are not ours; what is kept
// is exactly the dump's messages.
TEST(WifiScanner, ADumpIsGatheredFromItsDatagrams) {
    Rig rig;
    const std::vector<wifitest::BssFields> bss = wifitest::variedBss(50);
    rig.kernel.answer(
        NL80211_CMD_GET_SCAN,
        after(refusedEarlier, 0, after(refused, 4242, wifitest::dumpAnswer(bss, 1024))));
    Bytes raw;
    std::string error;
    ASSERT_TRUE(rig.scanner.dumpScan(raw, error)) << error;
    EXPECT_EQ(raw, wifitest::buildDump(bss, wifitest::kFamily, 1));
    std::vector<WifiBss> parsed;
    ASSERT_TRUE(parseScanDump(raw, parsed, error)) << error;
    EXPECT_EQ(parsed.size(), 50u);
}

// A datagram far larger than the socket's buffer of 32 KB arrives whole. Sending to another
// program's netlink port needs CAP_NET_ADMIN, which the tests have as root.
TEST(WifiTransport, ADatagramLargerThanTheBufferArrivesWhole) {
    std::string error;
    const std::unique_ptr<LibnlTransport> transport = LibnlTransport::open(-1, 500, error);
    ASSERT_TRUE(transport) << error;
    OwnedFd other(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_GENERIC));
    ASSERT_TRUE(other.valid());
    sockaddr_nl to{};
    to.nl_family = AF_NETLINK;
    to.nl_pid = transport->port();
    Bytes big = wifitest::buildDump(wifitest::variedBss(50));
    while (big.size() < 100 * 1024)
        wifitest::append(big, big);
    if (::sendto(other.get(), big.data(), big.size(), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to) < 0) {
        if (errno == EPERM) GTEST_SKIP() << "sending to a netlink port needs CAP_NET_ADMIN";
        FAIL() << std::strerror(errno);
    }
    NetlinkDatagram got;
    ASSERT_EQ(transport->receive(500, got, error), NetlinkWait::Datagram) << error;
    EXPECT_EQ(got.bytes.size(), big.size());
    EXPECT_TRUE(got.bytes == big);
    EXPECT_NE(got.sender, 0u); // not the kernel: the scanner will not listen to it
    EXPECT_EQ(transport->receive(0, got, error), NetlinkWait::TimedOut);
}

} // namespace
} // namespace walkmere
