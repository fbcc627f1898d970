#include "wifi/ScanDump.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>

#include <linux/nl80211.h>
#include <netlink/attr.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>

namespace walkmere {

std::string ssidFromElements(const uint8_t* elements, size_t length) {
    std::string ssid;
    bool found = false;
    size_t pos = 0;
    while (pos < length) {
        if (length - pos < 2) return {};
        const size_t size = elements[pos + 1];
        if (size > length - pos - 2) return {};
        if (elements[pos] == 0 && !found) {
            found = true;
            const char* text = reinterpret_cast<const char*>(elements + pos + 2);
            ssid.assign(text, strnlen(text, std::min(size, kMaxSsidBytes)));
        }
        pos += 2 + size;
    }
    return ssid;
}

namespace detail {

namespace {

std::string damaged(const MessageSource& source, size_t offset, const std::string& what) {
    return std::string("damaged ") + source.name + " at byte " +
           std::to_string(source.base + offset) + ": " + what;
}

// The text of a kernel error code, which is a negative errno; any int32 may stand there.
std::string errnoText(int32_t code) {
    if (code < 0 && code != INT32_MIN) return std::strerror(-code);
    return "not an error number";
}

std::optional<uint32_t> u32Of(const nlattr* a) {
    if (a == nullptr || nla_len(a) != 4) return std::nullopt;
    uint32_t v;
    std::memcpy(&v, nla_data(a), 4);
    return v;
}

// The BSS of one NL80211_ATTR_BSS nest, or nothing when it lacks what a record needs.
std::optional<WifiBss> bssOf(nlattr* nest) {
    nlattr* tb[NL80211_BSS_MAX + 1];
    if (nla_parse_nested(tb, NL80211_BSS_MAX, nest, nullptr) < 0) return std::nullopt;
    const nlattr* bssid = tb[NL80211_BSS_BSSID];
    const std::optional<uint32_t> frequency = u32Of(tb[NL80211_BSS_FREQUENCY]);
    // A driver that reports only NL80211_BSS_SIGNAL_UNSPEC (a 0-100 quality) gives no dBm
    // to put on the plan: such a BSS is left out like one without a frequency.
    const std::optional<uint32_t> signal = u32Of(tb[NL80211_BSS_SIGNAL_MBM]);
    if (bssid == nullptr || nla_len(bssid) != 6 || !frequency || !signal) return std::nullopt;
    WifiBss bss;
    std::memcpy(bss.bssid.data(), nla_data(bssid), 6);
    bss.frequency = *frequency;
    bss.signalMbm = static_cast<int32_t>(*signal);
    bss.seenMsAgo = u32Of(tb[NL80211_BSS_SEEN_MS_AGO]).value_or(0);
    if (const nlattr* ies = tb[NL80211_BSS_INFORMATION_ELEMENTS]) {
        bss.ssid = ssidFromElements(static_cast<const uint8_t*>(nla_data(ies)),
                                    static_cast<size_t>(nla_len(ies)));
    }
    return bss;
}

} // namespace

size_t checkedMessageLength(const uint8_t* header, size_t left, size_t offset,
                            const MessageSource& source, std::string& error) {
    if (left < NLMSG_HDRLEN) {
        error = damaged(source, offset,
                        std::to_string(left) + " bytes left, too few for a message header (" +
                            std::to_string(NLMSG_HDRLEN) + " bytes)");
        return 0;
    }
    nlmsghdr h;
    std::memcpy(&h, header, sizeof h);
    if (h.nlmsg_len < NLMSG_HDRLEN) {
        error = damaged(source, offset,
                        "message length " + std::to_string(h.nlmsg_len) +
                            " is shorter than its header");
        return 0;
    }
    if (h.nlmsg_len > left) {
        error =
            damaged(source, offset,
                    "message length " + std::to_string(h.nlmsg_len) + " runs past the end of the " +
                        source.whole + " (" + std::to_string(left) + " bytes left)");
        return 0;
    }
    return h.nlmsg_len;
}

size_t nextMessageOffset(std::span<const uint8_t> bytes, size_t offset) {
    nlmsghdr header;
    std::memcpy(&header, bytes.data() + offset, sizeof header);
    return std::min(bytes.size(), offset + NLMSG_ALIGN(size_t{header.nlmsg_len}));
}

bool parseDumpMessages(std::span<const uint8_t> input, const MessageSource& source,
                       std::vector<WifiBss>& out, std::string& error) {
    // libnl works on the messages in place: a copy of our own is aligned for their headers
    // and may be handed to its functions, which take no const.
    if (input.size() > INT_MAX) {
        error = damaged(source, 0, "larger than 2 GiB");
        return false;
    }
    std::vector<uint8_t> copy(input.begin(), input.end());
    std::span<const uint8_t> bytes(copy);
    size_t offset = 0;
    bool done = false;
    while (offset < bytes.size()) {
        if (done) {
            error = damaged(source, offset, "a message after NLMSG_DONE");
            return false;
        }
        const size_t length = checkedMessageLength(bytes.data() + offset, bytes.size() - offset,
                                                   offset, source, error);
        if (length == 0) return false;
        auto* message = reinterpret_cast<nlmsghdr*>(copy.data() + offset);
        const int left = static_cast<int>(bytes.size() - offset);
        if (!nlmsg_ok(message, left)) {
            error = damaged(source, offset, "not a netlink message");
            return false;
        }
        const size_t payload = length - NLMSG_HDRLEN;
        switch (message->nlmsg_type) {
        case NLMSG_DONE: {
            // The kernel puts the dump's own error code into NLMSG_DONE.
            int32_t code = 0;
            if (payload >= sizeof code) std::memcpy(&code, nlmsg_data(message), sizeof code);
            if (code < 0) {
                error = damaged(source, offset,
                                "the dump ended with error " + std::to_string(code) + " (" +
                                    errnoText(code) + ")");
                return false;
            }
            done = true;
            break;
        }
        case NLMSG_ERROR: {
            int32_t code = 0;
            if (payload >= sizeof code) std::memcpy(&code, nlmsg_data(message), sizeof code);
            error = damaged(source, offset,
                            "an error message (" + std::to_string(code) + ": " +
                                (code == 0 ? std::string("acknowledgement") : errnoText(code)) +
                                ") in the scan results");
            return false;
        }
        case NLMSG_OVERRUN:
            error = damaged(source, offset, "the kernel lost messages of this dump (overrun)");
            return false;
        default:
            if (message->nlmsg_type >= NLMSG_MIN_TYPE) {
                if (!genlmsg_valid_hdr(message, 0)) {
                    error = damaged(source, offset,
                                    "message length " + std::to_string(length) +
                                        " is too short for its generic-netlink header");
                    return false;
                }
                const auto* genl = static_cast<const genlmsghdr*>(nlmsg_data(message));
                if (genl->cmd != NL80211_CMD_NEW_SCAN_RESULTS) break;
                nlattr* tb[NL80211_ATTR_MAX + 1];
                if (genlmsg_parse(message, 0, tb, NL80211_ATTR_MAX, nullptr) < 0) break;
                if (tb[NL80211_ATTR_BSS] == nullptr) break;
                if (std::optional<WifiBss> bss = bssOf(tb[NL80211_ATTR_BSS]))
                    out.push_back(std::move(*bss));
            }
            // Below NLMSG_MIN_TYPE: NLMSG_NOOP and the reserved types carry nothing.
            break;
        }
        offset = nextMessageOffset(bytes, offset);
    }
    if (!done) {
        error = damaged(source, bytes.size(),
                        std::string("the ") + source.whole + " ends without NLMSG_DONE");
        return false;
    }
    return true;
}

} // namespace detail

bool parseScanDump(std::span<const uint8_t> bytes, std::vector<WifiBss>& out, std::string& error) {
    return detail::parseDumpMessages(bytes, detail::MessageSource{}, out, error);
}

} // namespace walkmere
