#include "testkit/ScriptedKernel.h"

#include <cerrno>
#include <cstring>
#include <poll.h>

#include "wifi/Nl80211Scanner.h"

#include <netlink/attr.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>

namespace walkmere::wifitest {

class ScriptedSocket final : public INetlinkTransport {
public:
    ScriptedSocket(ScriptedKernel& kernel, int wakeFd) : kernel(kernel), wakeFd(wakeFd) {}

    bool send(std::span<const uint8_t> request, std::string&) override {
        kernel.take(Bytes(request.begin(), request.end()));
        return true;
    }
    NetlinkWait receive(int timeoutMs, NetlinkDatagram& datagram, std::string&) override {
        pollfd wake{wakeFd, POLLIN, 0};
        if (wakeFd >= 0 && ::poll(&wake, 1, 0) == 1) return NetlinkWait::Interrupted;
        {
            std::lock_guard<std::mutex> guard(kernel.lock);
            if (!kernel.inbox.empty()) {
                datagram = std::move(kernel.inbox.front());
                kernel.inbox.pop_front();
                return NetlinkWait::Datagram;
            }
        }
        // Nothing is coming: the wait lasts its time, unless it is cut short.
        return ::poll(&wake, wakeFd >= 0 ? 1 : 0, timeoutMs) == 1 ? NetlinkWait::Interrupted
                                                                  : NetlinkWait::TimedOut;
    }

private:
    ScriptedKernel& kernel;
    int wakeFd;
};

namespace {

// What nl80211 says to a request before its command runs: 0 when it may run.
int32_t refusalOf(const Bytes& request, uint8_t& command) {
    auto* h = reinterpret_cast<nlmsghdr*>(const_cast<uint8_t*>(request.data()));
    if (request.size() < NLMSG_HDRLEN || h->nlmsg_len != request.size() ||
        h->nlmsg_type != kFamily || !(h->nlmsg_flags & NLM_F_REQUEST) || !genlmsg_valid_hdr(h, 0))
        return -EINVAL;
    command = static_cast<genlmsghdr*>(nlmsg_data(h))->cmd;
    nlattr* tb[NL80211_ATTR_MAX + 1];
    if (genlmsg_parse(h, 0, tb, NL80211_ATTR_MAX, nullptr) < 0) return -EINVAL;
    if (tb[NL80211_ATTR_IFINDEX] == nullptr) return -EINVAL;
    if (nla_get_u32(tb[NL80211_ATTR_IFINDEX]) != ScriptedKernel::kIfindex) return -ENODEV;
    const bool dump = (h->nlmsg_flags & NLM_F_DUMP) == NLM_F_DUMP;
    if (command == NL80211_CMD_GET_SCAN) return dump ? 0 : -EOPNOTSUPP;
    if (command == NL80211_CMD_TRIGGER_SCAN)
        return !dump && (h->nlmsg_flags & NLM_F_ACK) && tb[NL80211_ATTR_SCAN_SSIDS] ? 0 : -EINVAL;
    return -EOPNOTSUPP;
}

} // namespace

void ScriptedKernel::answer(uint8_t command, Answer a) {
    std::lock_guard<std::mutex> guard(lock);
    answers[command].push_back(std::move(a));
}

void ScriptedKernel::queue(NetlinkDatagram datagram) {
    std::lock_guard<std::mutex> guard(lock);
    inbox.push_back(std::move(datagram));
}

std::unique_ptr<INetlinkTransport> ScriptedKernel::transport(int wakeFd) {
    std::lock_guard<std::mutex> guard(lock);
    inbox.clear();
    return std::make_unique<ScriptedSocket>(*this, wakeFd);
}

LiveWifiSource::ScannerOpener ScriptedKernel::opener() {
    return [this](const ScannerSetup& setup, std::string&) -> std::unique_ptr<IScanner> {
        return std::make_unique<Nl80211Scanner>(transport(setup.wakeFd), kFamily, kIfindex, setup);
    };
}

void ScriptedKernel::take(const Bytes& request) {
    uint8_t command = 0;
    const int32_t refused = refusalOf(request, command);
    std::unique_lock<std::mutex> guard(lock);
    ++count;
    requested.notify_all();
    std::deque<Answer>& script = answers[command];
    if (refused != 0 || script.empty()) {
        inbox.push_back({answerMessage(request, refused ? refused : -EOPNOTSUPP)});
        return;
    }
    const Answer a = script.front();
    if (script.size() > 1) script.pop_front();
    guard.unlock();
    uint32_t seq;
    std::memcpy(&seq, request.data() + offsetof(nlmsghdr, nlmsg_seq), sizeof seq);
    std::vector<NetlinkDatagram> out = a(request, seq);
    guard.lock();
    for (NetlinkDatagram& d : out)
        inbox.push_back(std::move(d));
}

size_t ScriptedKernel::requests() const {
    std::lock_guard<std::mutex> guard(lock);
    return count;
}

bool ScriptedKernel::waitForRequests(size_t n, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> guard(lock);
    return requested.wait_for(guard, limit, [&] { return count >= n; });
}

ScriptedKernel::Answer acknowledge(int32_t code, std::vector<Bytes> events) {
    return [code, events](const Bytes& request, uint32_t) {
        std::vector<NetlinkDatagram> out{{answerMessage(request, code)}};
        for (const Bytes& e : events)
            out.push_back({e});
        return out;
    };
}

ScriptedKernel::Answer dumpAnswer(std::vector<BssFields> bss, size_t most, int32_t done) {
    return [bss, most, done](const Bytes&, uint32_t seq) {
        Bytes messages;
        for (const BssFields& b : bss)
            append(messages, resultMessage(b, kFamily, seq));
        append(messages, doneMessage(done, seq));
        std::vector<NetlinkDatagram> out;
        for (Bytes& d : datagrams(messages, most))
            out.push_back({std::move(d)});
        return out;
    };
}

} // namespace walkmere::wifitest
