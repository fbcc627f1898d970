#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct nl_sock;

namespace walkmere {

enum class ScanTrigger {
    Started,      // the interface scans; its results come with a later dump
    Busy,         // a scan was already running
    NoPermission, // triggering needs CAP_NET_ADMIN
    Failed,       // `error` says why
};

// What the live source asks of the kernel about one interface: Nl80211Scanner, or a
// stand-in in tests.
class IScanner {
public:
    virtual ~IScanner() = default;
    // Asks the interface to scan and waits for the answer only.
    virtual ScanTrigger triggerScan(std::string& error) = 0;
    // The messages of one scan dump exactly as received, NLMSG_DONE included, so that they
    // can be parsed (parseScanDump) and appended to a capture. False with one line in
    // `error` when the kernel refuses or does not answer, or the socket fails; the scanner
    // is best opened again then.
    virtual bool dumpScan(std::vector<uint8_t>& raw, std::string& error) = 0;
};

// The scan results of one wireless interface, asked of the kernel over nl80211. Every wait
// for the kernel ends after `timeoutMs`: nothing here blocks for longer or spins.
class Nl80211Scanner final : public IScanner {
public:
    // Opens a generic-netlink socket, resolves the nl80211 family and the interface. Nothing,
    // with one line in `error`, when the machine has no nl80211 (no wireless support), there
    // is no interface of that name, or the socket cannot be had.
    static std::unique_ptr<Nl80211Scanner> open(const std::string& interface, std::string& error,
                                                int timeoutMs = 3000);
    ~Nl80211Scanner();
    Nl80211Scanner(const Nl80211Scanner&) = delete;
    Nl80211Scanner& operator=(const Nl80211Scanner&) = delete;

    // NL80211_CMD_TRIGGER_SCAN with one wildcard SSID.
    ScanTrigger triggerScan(std::string& error) override;
    // NL80211_CMD_GET_SCAN with NLM_F_DUMP; refusals name the interface (down, gone, not
    // wireless).
    bool dumpScan(std::vector<uint8_t>& raw, std::string& error) override;

    const std::string& interfaceName() const { return interface; }

private:
    Nl80211Scanner() = default;
    // Waits for the messages answering the request with sequence number `seq`, up to the
    // first NLMSG_DONE (`untilDone`) or NLMSG_ERROR; appends them to `raw`. `kernelError`
    // is the code of an NLMSG_ERROR (0 for an acknowledgement) or of a failed NLMSG_DONE.
    bool receive(uint32_t seq, bool untilDone, std::vector<uint8_t>& raw, int& kernelError,
                 std::string& error);
    bool send(uint8_t command, int flags, uint32_t& seq, std::string& error);
    std::string refusal(int code, const char* what) const;

    nl_sock* socket = nullptr;
    int family = 0;
    unsigned interfaceIndex = 0;
    std::string interface;
    int timeoutMs = 3000;
};

} // namespace walkmere
