#include "wifi/Nl80211Scanner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>

#include <linux/nl80211.h>
#include <netlink/errno.h>
#include <netlink/genl/ctrl.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>
#include <netlink/socket.h>

namespace walkmere {

namespace {

// IFF_UP in /sys/class/net/IFACE/flags; true when the file cannot be read, so that the
// kernel's own answer decides.
bool interfaceUp(const std::string& interface) {
    std::ifstream in("/sys/class/net/" + interface + "/flags");
    std::string text;
    if (!(in >> text)) return true;
    char* end = nullptr;
    const unsigned long flags = std::strtoul(text.c_str(), &end, 16);
    if (end == text.c_str()) return true;
    return (flags & IFF_UP) != 0;
}

} // namespace

std::unique_ptr<Nl80211Scanner> Nl80211Scanner::open(const std::string& interface,
                                                     std::string& error, int timeoutMs) {
    std::unique_ptr<Nl80211Scanner> scanner(new Nl80211Scanner);
    scanner->interface = interface;
    scanner->timeoutMs = std::max(timeoutMs, 1);
    scanner->socket = nl_socket_alloc();
    if (scanner->socket == nullptr) {
        error = "cannot open a netlink socket: out of memory";
        return nullptr;
    }
    if (int err = genl_connect(scanner->socket); err < 0) {
        error = std::string("cannot open a generic-netlink socket: ") + nl_geterror(err);
        return nullptr;
    }
    // The family look-up below waits on a blocking socket: the receive timeout bounds it.
    const int fd = nl_socket_get_fd(scanner->socket);
    timeval tv{scanner->timeoutMs / 1000, (scanner->timeoutMs % 1000) * 1000};
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
        error = std::string("cannot set the netlink socket's timeout: ") + std::strerror(errno);
        return nullptr;
    }
    scanner->family = genl_ctrl_resolve(scanner->socket, "nl80211");
    if (scanner->family == -NLE_OBJ_NOTFOUND) {
        error = "no nl80211 on this machine (no wireless support)";
        return nullptr;
    }
    if (scanner->family < 0) {
        error = std::string("cannot look up nl80211: ") + nl_geterror(scanner->family);
        return nullptr;
    }
    scanner->interfaceIndex = if_nametoindex(interface.c_str());
    if (scanner->interfaceIndex == 0) {
        error = "no network interface named \"" + interface + "\"";
        return nullptr;
    }
    // From here on every wait is a poll() with the time left; the messages are matched to
    // their request by sequence number, by us.
    nl_socket_disable_auto_ack(scanner->socket);
    nl_socket_disable_seq_check(scanner->socket);
    if (int err = nl_socket_set_nonblocking(scanner->socket); err < 0) {
        error = std::string("cannot set up the netlink socket: ") + nl_geterror(err);
        return nullptr;
    }
    return scanner;
}

Nl80211Scanner::~Nl80211Scanner() {
    if (socket != nullptr) nl_socket_free(socket);
}

std::string Nl80211Scanner::refusal(int code, const char* what) const {
    switch (code) {
    case EPERM:
    case EACCES:
        return std::string("no permission to ") + what + " on " + interface +
               " (needs CAP_NET_ADMIN)";
    case ENETDOWN:
        return interface + " is down";
    case ENODEV:
        if (if_nametoindex(interface.c_str()) == 0) return interface + " has gone";
        return interface + " is not a wireless interface";
    default:
        return std::string("nl80211 refused to ") + what + " on " + interface + ": " +
               std::strerror(code);
    }
}

bool Nl80211Scanner::send(uint8_t command, int flags, uint32_t& seq, std::string& error) {
    nl_msg* msg = nlmsg_alloc();
    if (msg == nullptr) {
        error = "cannot build a netlink message: out of memory";
        return false;
    }
    int err = 0;
    if (genlmsg_put(msg, NL_AUTO_PORT, NL_AUTO_SEQ, family, 0, flags, command, 0) == nullptr)
        err = -NLE_NOMEM;
    if (err == 0) err = nla_put_u32(msg, NL80211_ATTR_IFINDEX, interfaceIndex);
    if (err == 0 && command == NL80211_CMD_TRIGGER_SCAN) {
        // One wildcard SSID: an active scan, which hidden networks answer too.
        nlattr* ssids = nla_nest_start(msg, NL80211_ATTR_SCAN_SSIDS);
        err = ssids == nullptr ? -NLE_NOMEM : nla_put(msg, 1, 0, "");
        if (err == 0) err = nla_nest_end(msg, ssids);
    }
    if (err == 0) err = nl_send_auto(socket, msg);
    seq = nlmsg_hdr(msg)->nlmsg_seq;
    nlmsg_free(msg);
    if (err < 0) {
        error = std::string("netlink socket error: ") + nl_geterror(err);
        return false;
    }
    return true;
}

bool Nl80211Scanner::receive(uint32_t seq, bool untilDone, std::vector<uint8_t>& raw,
                             int& kernelError, std::string& error) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    kernelError = 0;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            error = "no answer from nl80211 within " + std::to_string(timeoutMs) + " ms";
            return false;
        }
        pollfd p{nl_socket_get_fd(socket), POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            error = std::string("netlink socket error: ") + std::strerror(errno);
            return false;
        }
        if (ready == 0) continue; // the deadline check above ends it
        sockaddr_nl peer{};
        unsigned char* buffer = nullptr;
        const int n = nl_recv(socket, &peer, &buffer, nullptr);
        if (n == -NLE_AGAIN) {
            std::free(buffer);
            continue;
        }
        if (n <= 0) {
            std::free(buffer);
            error = n == 0 ? std::string("the netlink socket was closed")
                           : std::string("netlink socket error: ") + nl_geterror(n);
            return false;
        }
        bool complete = false;
        int remaining = n;
        for (nlmsghdr* h = reinterpret_cast<nlmsghdr*>(buffer); nlmsg_ok(h, remaining);) {
            const auto* start = reinterpret_cast<const uint8_t*>(h);
            const int before = remaining;
            nlmsghdr* next = nlmsg_next(h, &remaining);
            // An answer to an earlier request whose wait ran out is not ours.
            if (h->nlmsg_seq != seq || peer.nl_pid != 0) {
                h = next;
                continue;
            }
            const size_t size = std::min<size_t>(NLMSG_ALIGN(h->nlmsg_len), before);
            if (untilDone) raw.insert(raw.end(), start, start + size);
            const size_t payload = h->nlmsg_len - NLMSG_HDRLEN;
            int32_t code = 0;
            if ((h->nlmsg_type == NLMSG_ERROR || h->nlmsg_type == NLMSG_DONE) &&
                payload >= sizeof code)
                std::memcpy(&code, nlmsg_data(h), sizeof code);
            if (h->nlmsg_type == NLMSG_ERROR || (untilDone && h->nlmsg_type == NLMSG_DONE)) {
                // A negative errno; anything else but 0 is not one and says only "failed".
                if (code < 0)
                    kernelError = code == INT32_MIN ? EPROTO : -code;
                else if (code > 0 && h->nlmsg_type == NLMSG_ERROR)
                    kernelError = EPROTO;
                complete = true;
                break;
            }
            h = next;
        }
        std::free(buffer);
        if (complete) return true;
    }
}

ScanTrigger Nl80211Scanner::triggerScan(std::string& error) {
    uint32_t seq = 0;
    if (!send(NL80211_CMD_TRIGGER_SCAN, NLM_F_ACK, seq, error)) return ScanTrigger::Failed;
    std::vector<uint8_t> unused;
    int code = 0;
    if (!receive(seq, false, unused, code, error)) return ScanTrigger::Failed;
    switch (code) {
    case 0:
        return ScanTrigger::Started;
    case EBUSY:
        return ScanTrigger::Busy;
    case EPERM:
    case EACCES:
        error = refusal(code, "trigger scans");
        return ScanTrigger::NoPermission;
    default:
        error = refusal(code, "trigger a scan");
        return ScanTrigger::Failed;
    }
}

bool Nl80211Scanner::dumpScan(std::vector<uint8_t>& raw, std::string& error) {
    raw.clear();
    if (!interfaceUp(interface)) {
        error = refusal(ENETDOWN, "read the scan results");
        return false;
    }
    uint32_t seq = 0;
    if (!send(NL80211_CMD_GET_SCAN, NLM_F_DUMP, seq, error)) return false;
    int code = 0;
    if (!receive(seq, true, raw, code, error)) return false;
    if (code != 0) {
        error = refusal(code, "read the scan results");
        raw.clear();
        return false;
    }
    return true;
}

} // namespace walkmere
