#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "wifi/NetlinkTransport.h"

struct nlmsghdr;

namespace walkmere {

enum class ScanTrigger {
    Finished,     // the scan asked for (or one already running) ended: its results are in
    Aborted,      // it was aborted (NL80211_CMD_SCAN_ABORTED): the results are older ones
    TimedOut,     // it did not end within the wait
    NoPermission, // triggering needs CAP_NET_ADMIN
    Unusable,     // the interface is down, gone or not wireless: no results can be read either
    Failed,       // `error` says why; the results may still be read
};

// What a scanner needs to know of the interface and its waits.
struct ScannerSetup {
    std::string interface;                 // "wlan0"
    std::string sysNet = "/sys/class/net"; // where the interface's folder is (up, gone)
    int timeoutMs = 3000;                  // the longest wait for an answer of the kernel
    int scanWaitMs = 10000;                // the longest wait for a scan to end
    int wakeFd = -1;                       // once readable, ends every wait (the owner stops)
};

// What the live source asks of the kernel about one interface: Nl80211Scanner, or a
// stand-in in tests.
class IScanner {
public:
    virtual ~IScanner() = default;
    // Asks the interface to scan and waits (at most the scan wait) for that scan, or the one
    // that was already running, to end. Everything but Finished comes with one line in `error`.
    virtual ScanTrigger triggerScan(std::string& error) = 0;
    // The messages of one scan dump exactly as received, NLMSG_DONE included, so that they
    // can be parsed (parseScanDump) and appended to a capture. False with one line in
    // `error` when the kernel refuses or does not answer, or the socket fails; the scanner
    // is best opened again then.
    virtual bool dumpScan(std::vector<uint8_t>& raw, std::string& error) = 0;
};

// The scan results of one wireless interface, asked of the kernel over nl80211. Every wait
// for the kernel ends after the setup's time: nothing here blocks for longer or spins.
// Answers are matched to their request by sequence number; the end of a scan comes as an
// event of nl80211's "scan" multicast group, the interface's removal of its "config" group.
class Nl80211Scanner final : public IScanner {
public:
    // Opens a generic-netlink socket, resolves the nl80211 family, joins its "scan" and
    // "config" groups and resolves the interface. Nothing, with one line in `error`, when the
    // machine has no nl80211 (no wireless support), there is no interface of that name, or
    // the socket cannot be had.
    static std::unique_ptr<Nl80211Scanner> open(const ScannerSetup& setup, std::string& error);
    // Over a transport of its own: `family` is nl80211's id, `interfaceIndex` the interface's.
    Nl80211Scanner(std::unique_ptr<INetlinkTransport> transport, uint16_t family,
                   uint32_t interfaceIndex, ScannerSetup setup);

    // NL80211_CMD_TRIGGER_SCAN with one wildcard SSID, then the wait for the scan's end.
    ScanTrigger triggerScan(std::string& error) override;
    // NL80211_CMD_GET_SCAN with NLM_F_DUMP, in as many datagrams as the kernel sends;
    // refusals name the interface (down, gone, not wireless).
    bool dumpScan(std::vector<uint8_t>& raw, std::string& error) override;

private:
    using Deadline = std::chrono::steady_clock::time_point;
    enum class Wait { Over, TimedOut, Overrun, Stopped };
    enum class Event { None, ScanEnded, ScanAborted, InterfaceGone };

    // Reads datagrams from the kernel until `take` says a message ends the wait, or the
    // deadline passes. Stopped: the transport failed or was interrupted; `error` says which.
    Wait readUntil(Deadline deadline, const std::function<bool(nlmsghdr&)>& take,
                   std::string& error);
    bool send(uint8_t command, int flags, uint32_t& seq, std::string& error);
    // Throws away what is waiting on the socket: events of earlier scans, answers whose wait
    // ran out.
    bool drain(std::string& error);
    // The nl80211 event a message is and the interface index it names (0 when none).
    Event eventOf(nlmsghdr& message, uint32_t& index) const;
    ScanTrigger awaitScanEnd(bool anyInterface, Event seen, std::string& error);
    Deadline after(int ms) const;
    std::string refusal(int code, const char* what) const;
    std::string noAnswer() const;

    std::unique_ptr<INetlinkTransport> transport;
    uint16_t family = 0;
    uint32_t interfaceIndex = 0;
    ScannerSetup setup;
    uint32_t nextSeq = 1; // events carry 0: a request never does
};

} // namespace walkmere
