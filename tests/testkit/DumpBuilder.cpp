#include "testkit/DumpBuilder.h"

#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

#include "wifi/ScanCapture.h"

#include <netlink/attr.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>

namespace walkmere::wifitest {

namespace {

void check(int err) {
    if (err < 0) throw std::runtime_error("building a netlink message failed");
}

Bytes serialise(nl_msg* msg) {
    const nlmsghdr* h = nlmsg_hdr(msg);
    const auto* p = reinterpret_cast<const uint8_t*>(h);
    Bytes out(p, p + NLMSG_ALIGN(h->nlmsg_len));
    nlmsg_free(msg);
    return out;
}

Bytes controlMessage(uint16_t type, int32_t code, uint32_t seq) {
    nl_msg* msg = nlmsg_alloc_simple(type, NLM_F_MULTI);
    if (msg == nullptr) throw std::runtime_error("out of memory");
    nlmsg_hdr(msg)->nlmsg_seq = seq;
    nlmsg_hdr(msg)->nlmsg_pid = 4242;
    check(nlmsg_append(msg, &code, sizeof code, NLMSG_ALIGNTO));
    return serialise(msg);
}

} // namespace

Bytes ssidElements(const std::string& ssid) {
    // Byte by byte: GCC 12 takes a range insert into a two-byte vector for an overflow.
    Bytes e;
    e.reserve(2 + ssid.size() + 6);
    e.push_back(0);
    e.push_back(static_cast<uint8_t>(ssid.size()));
    for (char c : ssid)
        e.push_back(static_cast<uint8_t>(c));
    for (uint8_t r : {1, 4, 0x82, 0x84, 0x8B, 0x96})
        e.push_back(r);
    return e;
}

Bytes resultMessage(const BssFields& b, uint16_t family, uint32_t seq) {
    nl_msg* msg = nlmsg_alloc();
    if (msg == nullptr) throw std::runtime_error("out of memory");
    if (genlmsg_put(msg, 4242, seq, family, 0, NLM_F_MULTI, b.command, 1) == nullptr)
        throw std::runtime_error("genlmsg_put failed");
    check(nla_put_u32(msg, NL80211_ATTR_GENERATION, 7));
    check(nla_put_u32(msg, NL80211_ATTR_IFINDEX, 3));
    if (b.unknownAttributes) check(nla_put_u32(msg, NL80211_ATTR_MAX + 5, 0xDEAD));
    nlattr* nest = nla_nest_start(msg, NL80211_ATTR_BSS);
    if (nest == nullptr) throw std::runtime_error("nla_nest_start failed");
    if (b.nestedFlag)
        nest->nla_type |= NLA_F_NESTED;
    else
        nest->nla_type &= static_cast<uint16_t>(~NLA_F_NESTED);
    if (b.unknownAttributes) check(nla_put_u32(msg, NL80211_BSS_MAX + 3, 0xBEEF));
    if (b.withBssid) check(nla_put(msg, NL80211_BSS_BSSID, 6, b.bssid.data()));
    if (b.withFrequency) check(nla_put_u32(msg, NL80211_BSS_FREQUENCY, b.frequency));
    check(nla_put_u64(msg, NL80211_BSS_TSF, 123456789));
    check(nla_put_u16(msg, NL80211_BSS_BEACON_INTERVAL, 100));
    const Bytes elements = b.elements ? *b.elements : ssidElements(b.ssid);
    check(nla_put(msg, NL80211_BSS_INFORMATION_ELEMENTS, static_cast<int>(elements.size()),
                  elements.data()));
    if (b.withSignal)
        check(nla_put_u32(msg, NL80211_BSS_SIGNAL_MBM, static_cast<uint32_t>(b.signalMbm)));
    check(nla_put_u32(msg, NL80211_BSS_SEEN_MS_AGO, b.seenMsAgo));
    check(nla_nest_end(msg, nest));
    return serialise(msg);
}

Bytes doneMessage(int32_t code, uint32_t seq) {
    return controlMessage(NLMSG_DONE, code, seq);
}

Bytes errorMessage(int32_t code, uint32_t seq) {
    // The error is followed by the header of the request it answers; the code is enough.
    return controlMessage(NLMSG_ERROR, code, seq);
}

Bytes buildDump(const std::vector<BssFields>& bss, uint16_t family, uint32_t seq) {
    Bytes out;
    for (const BssFields& b : bss)
        append(out, resultMessage(b, family, seq));
    append(out, doneMessage(0, seq));
    return out;
}

Bytes eventMessage(uint8_t command, uint32_t ifindex, uint16_t family) {
    nl_msg* msg = nlmsg_alloc();
    if (msg == nullptr) throw std::runtime_error("out of memory");
    if (genlmsg_put(msg, 0, 0, family, 0, 0, command, 1) == nullptr)
        throw std::runtime_error("genlmsg_put failed");
    check(nla_put_u32(msg, NL80211_ATTR_WIPHY, 0));
    check(nla_put_u32(msg, NL80211_ATTR_IFINDEX, ifindex));
    return serialise(msg);
}

Bytes answerMessage(const Bytes& request, int32_t code) {
    nlmsghdr header;
    std::memcpy(&header, request.data(), sizeof header);
    nl_msg* msg = nlmsg_alloc_simple(NLMSG_ERROR, 0);
    if (msg == nullptr) throw std::runtime_error("out of memory");
    nlmsg_hdr(msg)->nlmsg_seq = header.nlmsg_seq;
    nlmsg_hdr(msg)->nlmsg_pid = 4242;
    const size_t echoed = code == 0 ? sizeof header : header.nlmsg_len;
    check(nlmsg_append(msg, &code, sizeof code, 0));
    check(nlmsg_append(msg, const_cast<uint8_t*>(request.data()), echoed, NLMSG_ALIGNTO));
    return serialise(msg);
}

std::vector<Bytes> datagrams(const Bytes& messages, size_t most) {
    std::vector<Bytes> out;
    for (size_t at = 0; at < messages.size();) {
        nlmsghdr h;
        std::memcpy(&h, messages.data() + at, sizeof h);
        const size_t size = NLMSG_ALIGN(h.nlmsg_len);
        if (out.empty() || out.back().size() + size > most) out.emplace_back();
        out.back().insert(out.back().end(), messages.begin() + static_cast<std::ptrdiff_t>(at),
                          messages.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    }
    return out;
}

std::array<uint8_t, 6> bssid(uint8_t last, uint8_t first) {
    return {0x00, 0x1A, 0x2B, 0x3C, first, last};
}

void append(Bytes& to, const Bytes& from) {
    to.insert(to.end(), from.begin(), from.end());
}

std::vector<BssFields> variedBss(int count, uint8_t variant) {
    static const uint32_t kFrequencies[] = {2412, 2437, 2462, 5180, 5500, 5745, 5955, 6115};
    std::vector<BssFields> out;
    for (int i = 0; i < count; ++i) {
        BssFields b;
        b.bssid = bssid(static_cast<uint8_t>(i + 1), static_cast<uint8_t>(0x40 + variant));
        b.frequency = kFrequencies[i % 8];
        // 7 is coprime to 50: every signal from -40 to -89 dBm once, shuffled.
        b.signalMbm = -100 * (40 + (i * 7 + variant) % 50);
        b.seenMsAgo = static_cast<uint32_t>(i * 1700);
        b.ssid = i == 2 ? "" : "net-" + std::to_string(i);
        out.push_back(b);
    }
    return out;
}

void writeCapture(const std::string& path, const std::vector<Bytes>& dumps) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    std::string error;
    bool ok = true;
    for (const Bytes& d : dumps)
        ok = ok && appendToCapture(fd, d, error);
    ::close(fd);
    if (!ok) throw std::runtime_error(error);
}

} // namespace walkmere::wifitest
