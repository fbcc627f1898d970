#include "wifi/Nl80211Scanner.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <net/if.h>

#include <linux/nl80211.h>
#include <netlink/attr.h>
#include <netlink/errno.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>

#include "wifi/LibnlTransport.h"

namespace walkmere {

namespace {

namespace fs = std::filesystem;

// IFF_UP in the interface's flags file; true when the file cannot be read, so that the
// kernel's own answer decides.
bool interfaceUp(const ScannerSetup& setup) {
    std::ifstream in(fs::path(setup.sysNet) / setup.interface / "flags");
    std::string text;
    if (!(in >> text)) return true;
    char* end = nullptr;
    const unsigned long flags = std::strtoul(text.c_str(), &end, 16);
    if (end == text.c_str()) return true;
    return (flags & IFF_UP) != 0;
}

// The errno of an NLMSG_ERROR (0: an acknowledgement) or of an NLMSG_DONE that ends a dump,
// which the kernel sends negative. Anything else in an NLMSG_ERROR is not one and says only
// "failed"; NLMSG_DONE carries no error then.
int kernelCode(const nlmsghdr& h) {
    int32_t code = 0;
    if (h.nlmsg_len >= NLMSG_HDRLEN + sizeof code)
        std::memcpy(&code, reinterpret_cast<const uint8_t*>(&h) + NLMSG_HDRLEN, sizeof code);
    if (code < 0) return code == INT32_MIN ? EPROTO : -code;
    return code > 0 && h.nlmsg_type == NLMSG_ERROR ? EPROTO : 0;
}

} // namespace

std::unique_ptr<Nl80211Scanner> Nl80211Scanner::open(const ScannerSetup& setup,
                                                     std::string& error) {
    std::unique_ptr<LibnlTransport> transport =
        LibnlTransport::open(setup.wakeFd, setup.timeoutMs, error);
    if (!transport) return nullptr;
    const int family = transport->resolveFamily("nl80211");
    if (family == -NLE_OBJ_NOTFOUND) {
        error = "no nl80211 on this machine (no wireless support)";
        return nullptr;
    }
    if (family < 0) {
        error = std::string("cannot look up nl80211: ") + nl_geterror(family);
        return nullptr;
    }
    for (const char* group : {NL80211_MULTICAST_GROUP_SCAN, NL80211_MULTICAST_GROUP_CONFIG}) {
        if (int err = transport->joinGroup("nl80211", group); err < 0) {
            error = std::string("cannot listen to nl80211's \"") + group +
                    "\" events: " + nl_geterror(err);
            return nullptr;
        }
    }
    const unsigned index = if_nametoindex(setup.interface.c_str());
    if (index == 0) {
        error = "no network interface named \"" + setup.interface + "\"";
        return nullptr;
    }
    return std::make_unique<Nl80211Scanner>(std::move(transport), static_cast<uint16_t>(family),
                                            index, setup);
}

Nl80211Scanner::Nl80211Scanner(std::unique_ptr<INetlinkTransport> transport, uint16_t family,
                               uint32_t interfaceIndex, ScannerSetup setup)
    : transport(std::move(transport)), family(family), interfaceIndex(interfaceIndex),
      setup(std::move(setup)) {
    this->setup.timeoutMs = std::max(this->setup.timeoutMs, 1);
    this->setup.scanWaitMs = std::max(this->setup.scanWaitMs, 1);
}

std::string Nl80211Scanner::refusal(int code, const char* what) const {
    const std::string& name = setup.interface;
    switch (code) {
    case EPERM:
    case EACCES:
        return std::string("no permission to ") + what + " on " + name + " (needs CAP_NET_ADMIN)";
    case ENETDOWN:
        return name + " is down";
    case ENODEV: {
        std::error_code ec;
        if (!fs::exists(fs::path(setup.sysNet) / name, ec)) return name + " has gone";
        return name + " is not a wireless interface";
    }
    default:
        return std::string("nl80211 refused to ") + what + " on " + name + ": " +
               std::strerror(code);
    }
}

std::string Nl80211Scanner::noAnswer() const {
    return "no answer from nl80211 within " + std::to_string(setup.timeoutMs) + " ms";
}

Nl80211Scanner::Deadline Nl80211Scanner::after(int ms) const {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

bool Nl80211Scanner::send(uint8_t command, int flags, uint32_t& seq, std::string& error) {
    seq = nextSeq++;
    if (nextSeq == 0) nextSeq = 1;
    nl_msg* msg = nlmsg_alloc();
    if (msg == nullptr) {
        error = "cannot build a netlink message: out of memory";
        return false;
    }
    int err = 0;
    // Port 0: the kernel answers the socket that asked, whatever the header says.
    if (genlmsg_put(msg, 0, seq, family, 0, NLM_F_REQUEST | flags, command, 0) == nullptr)
        err = -NLE_NOMEM;
    if (err == 0) err = nla_put_u32(msg, NL80211_ATTR_IFINDEX, interfaceIndex);
    if (err == 0 && command == NL80211_CMD_TRIGGER_SCAN) {
        // One wildcard SSID: an active scan, which hidden networks answer too.
        nlattr* ssids = nla_nest_start(msg, NL80211_ATTR_SCAN_SSIDS);
        err = ssids == nullptr ? -NLE_NOMEM : nla_put(msg, 1, 0, "");
        if (err == 0) err = nla_nest_end(msg, ssids);
    }
    bool sent = false;
    if (err < 0) {
        error = std::string("cannot build a netlink message: ") + nl_geterror(err);
    } else {
        const nlmsghdr* h = nlmsg_hdr(msg);
        sent = transport->send({reinterpret_cast<const uint8_t*>(h), h->nlmsg_len}, error);
    }
    nlmsg_free(msg);
    return sent;
}

Nl80211Scanner::Wait Nl80211Scanner::readUntil(Deadline deadline,
                                               const std::function<bool(nlmsghdr&)>& take,
                                               std::string& error) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        NetlinkDatagram datagram;
        switch (transport->receive(static_cast<int>(std::max<int64_t>(left.count(), 0)), datagram,
                                   error)) {
        case NetlinkWait::Datagram:
            break;
        case NetlinkWait::TimedOut:
            return Wait::TimedOut;
        case NetlinkWait::Overrun:
            return Wait::Overrun;
        case NetlinkWait::Interrupted:
            error = "the wait for nl80211 was cut short";
            return Wait::Stopped;
        case NetlinkWait::Failed:
            return Wait::Stopped;
        }
        // Only the kernel speaks to us (another program could send to our port).
        if (datagram.sender != 0) continue;
        if (datagram.bytes.size() > INT_MAX) continue;
        int remaining = static_cast<int>(datagram.bytes.size());
        auto* h = reinterpret_cast<nlmsghdr*>(datagram.bytes.data());
        for (; nlmsg_ok(h, remaining); h = nlmsg_next(h, &remaining))
            if (take(*h)) return Wait::Over;
        if (std::chrono::steady_clock::now() >= deadline) return Wait::TimedOut;
    }
}

bool Nl80211Scanner::drain(std::string& error) {
    // At most what a socket's buffer holds, so that a stream of datagrams cannot keep it here.
    for (int i = 0; i < 1024; ++i) {
        NetlinkDatagram datagram;
        switch (transport->receive(0, datagram, error)) {
        case NetlinkWait::Datagram:
        case NetlinkWait::Overrun:
            continue;
        case NetlinkWait::TimedOut:
            return true;
        case NetlinkWait::Interrupted:
            error = "the wait for nl80211 was cut short";
            return false;
        case NetlinkWait::Failed:
            return false;
        }
    }
    return true;
}

Nl80211Scanner::Event Nl80211Scanner::eventOf(nlmsghdr& message, uint32_t& index) const {
    index = 0;
    if (message.nlmsg_seq != 0 || message.nlmsg_type != family) return Event::None;
    if (!genlmsg_valid_hdr(&message, 0)) return Event::None;
    nlattr* tb[NL80211_ATTR_MAX + 1];
    if (genlmsg_parse(&message, 0, tb, NL80211_ATTR_MAX, nullptr) < 0) return Event::None;
    if (const nlattr* a = tb[NL80211_ATTR_IFINDEX]; a != nullptr && nla_len(a) == 4)
        index = nla_get_u32(a);
    switch (static_cast<const genlmsghdr*>(nlmsg_data(&message))->cmd) {
    case NL80211_CMD_NEW_SCAN_RESULTS:
        return Event::ScanEnded;
    case NL80211_CMD_SCAN_ABORTED:
        return Event::ScanAborted;
    case NL80211_CMD_DEL_INTERFACE:
        return Event::InterfaceGone;
    default:
        return Event::None;
    }
}

ScanTrigger Nl80211Scanner::triggerScan(std::string& error) {
    // What waits on the socket is older than this request: it must not end the wait below.
    if (!drain(error)) return ScanTrigger::Failed;
    uint32_t seq = 0;
    if (!send(NL80211_CMD_TRIGGER_SCAN, NLM_F_ACK, seq, error)) return ScanTrigger::Failed;
    int code = 0;
    Event seen = Event::None; // an end of any scan, or our interface's removal, before the answer
    auto answer = [&](nlmsghdr& h) {
        if (h.nlmsg_seq == seq && h.nlmsg_type == NLMSG_ERROR) {
            code = kernelCode(h);
            return true;
        }
        uint32_t index = 0;
        const Event e = eventOf(h, index);
        if (e != Event::None && (e != Event::InterfaceGone || index == interfaceIndex)) seen = e;
        return false;
    };
    const Deadline deadline = after(setup.timeoutMs);
    Wait wait;
    while ((wait = readUntil(deadline, answer, error)) == Wait::Overrun) {
    }
    if (wait == Wait::TimedOut) error = noAnswer();
    if (wait != Wait::Over) return ScanTrigger::Failed;
    switch (code) {
    case 0:
        // Our scan has only just started: an end seen before the answer is an older scan's.
        return awaitScanEnd(false, seen == Event::InterfaceGone ? seen : Event::None, error);
    case EBUSY:
        // Another scan is running on the adapter (a network manager's, or one for another of
        // its interfaces): its results are what we want, so its end is waited for.
        return awaitScanEnd(true, seen, error);
    case EPERM:
    case EACCES:
        error = refusal(code, "trigger scans");
        return ScanTrigger::NoPermission;
    case ENETDOWN:
    case ENODEV:
        error = refusal(code, "trigger a scan");
        return ScanTrigger::Unusable;
    default:
        error = refusal(code, "trigger a scan");
        return ScanTrigger::Failed;
    }
}

ScanTrigger Nl80211Scanner::awaitScanEnd(bool anyInterface, Event seen, std::string& error) {
    Event end = seen;
    if (end == Event::None) {
        auto scanEnd = [&](nlmsghdr& h) {
            uint32_t index = 0;
            const Event e = eventOf(h, index);
            if (e == Event::None) return false;
            if (index != interfaceIndex && (e == Event::InterfaceGone || !anyInterface))
                return false;
            end = e;
            return true;
        };
        switch (readUntil(after(setup.scanWaitMs), scanEnd, error)) {
        case Wait::Over:
            break;
        case Wait::Overrun:
            // Events were lost, the scan's end among them perhaps: the results are read now.
            return ScanTrigger::Finished;
        case Wait::TimedOut:
            error = "the scan on " + setup.interface + " did not end within " +
                    std::to_string(setup.scanWaitMs) + " ms";
            return ScanTrigger::TimedOut;
        case Wait::Stopped:
            return ScanTrigger::Failed;
        }
    }
    switch (end) {
    case Event::ScanAborted:
        error = "the scan on " + setup.interface + " was aborted";
        return ScanTrigger::Aborted;
    case Event::InterfaceGone:
        error = setup.interface + " has gone";
        return ScanTrigger::Unusable;
    default:
        return ScanTrigger::Finished;
    }
}

bool Nl80211Scanner::dumpScan(std::vector<uint8_t>& raw, std::string& error) {
    raw.clear();
    if (!interfaceUp(setup)) {
        error = refusal(ENETDOWN, "read the scan results");
        return false;
    }
    uint32_t seq = 0;
    if (!send(NL80211_CMD_GET_SCAN, NLM_F_DUMP, seq, error)) return false;
    int code = 0;
    bool gone = false;
    // The dump's messages, in as many datagrams as it takes, up to NLMSG_DONE; an NLMSG_ERROR
    // ends it too (the interface went away part-way, say).
    auto part = [&](nlmsghdr& h) {
        if (h.nlmsg_seq != seq) {
            uint32_t index = 0;
            gone = eventOf(h, index) == Event::InterfaceGone && index == interfaceIndex;
            return gone;
        }
        const auto* start = reinterpret_cast<const uint8_t*>(&h);
        raw.insert(raw.end(), start, start + h.nlmsg_len);
        raw.resize(NLMSG_ALIGN(raw.size())); // a message's padding, which the datagram may lack
        if (h.nlmsg_type != NLMSG_DONE && h.nlmsg_type != NLMSG_ERROR) return false;
        code = kernelCode(h);
        return true;
    };
    const Deadline deadline = after(setup.timeoutMs);
    Wait wait;
    while ((wait = readUntil(deadline, part, error)) == Wait::Overrun) {
    }
    if (wait == Wait::TimedOut) error = noAnswer();
    if (wait == Wait::Over && gone) error = setup.interface + " has gone";
    if (wait == Wait::Over && !gone && code != 0) error = refusal(code, "read the scan results");
    if (wait != Wait::Over || gone || code != 0) {
        raw.clear();
        return false;
    }
    return true;
}

} // namespace walkmere
