// Writes the scan capture of a made-up office (res/wifi/office.nlscan), the way the live
// source captures a walk: 30 NL80211_CMD_GET_SCAN dumps, each the netlink messages the
// kernel sends, while a surveyor walks down the floor. Six ceiling access points each
// carry Corp and Guest on 2.4 and 5 GHz and a hidden network on 5 GHz; the neighbours'
// networks come through the walls, the weakest of them now and then not at all.
// The same bytes every run: a fixed seed, no clock.
//
//   make_office_replay OUT
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <linux/nl80211.h>
#include <netlink/attr.h>
#include <netlink/genl/genl.h>
#include <netlink/msg.h>

#include "wifi/WifiChannel.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kFamily = 0x1E; // nl80211's id on the machine the walk was "taken" on
constexpr uint32_t kPort = 0x4C21;
constexpr int kDumps = 30;

// splitmix64: the same numbers everywhere, unlike the standard distributions.
struct Random {
    uint64_t state = 0x5EED0FF1CEull;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int between(int lo, int hi) { return lo + static_cast<int>(next() % uint64_t(hi - lo + 1)); }
};

struct Network {
    std::array<uint8_t, 6> bssid;
    uint32_t frequency;
    std::string ssid; // may hold NULs (a hidden network that keeps its SSID's length)
    bool secured;
    double x, y; // where its radio hangs, metres
    int txDbm;   // signal at 1 m
    int walls;   // dB lost through walls on the way in
};

struct Walker {
    double x, y;
};

std::vector<Network> office() {
    std::vector<Network> n;
    // Ceiling access points: two rows of three along a 60 x 24 m floor.
    const double apX[] = {10, 30, 50}, apY[] = {6, 18};
    const uint32_t ch24[] = {2412, 2437, 2462}, ch5[] = {5180, 5260, 5500, 5580, 5745, 5805};
    int k = 0;
    for (double y : apY) {
        for (double x : apX) {
            const uint8_t id = static_cast<uint8_t>(0x10 + 0x10 * k);
            auto mac = [&](uint8_t low) {
                return std::array<uint8_t, 6>{0x70, 0x3A, 0x0E, 0x5C, 0x21, uint8_t(id | low)};
            };
            const uint32_t f24 = ch24[k % 3], f5 = ch5[k];
            n.push_back({mac(0x0), f24, "Corp", true, x, y, -32, 0});
            n.push_back({mac(0x1), f24, "Guest", false, x, y, -32, 0});
            n.push_back({mac(0x8), f5, "Corp", true, x, y, -38, 0});
            n.push_back({mac(0x9), f5, "Guest", false, x, y, -38, 0});
            // Hidden: the even ones send an empty SSID, the odd ones as many NULs as it has.
            n.push_back({mac(0xA), f5, k % 2 ? std::string(9, '\0') : "", true, x, y, -38, 0});
            ++k;
        }
    }
    // The neighbours, behind walls.
    const struct {
        std::string ssid;
        uint32_t frequency;
        double x, y;
        int walls;
        bool secured;
    } neighbours[] = {
        {"HP-Print-3F-LaserJet", 2437, 62, 4, 6, true},
        {"DIRECT-7b-Samsung C48x", 2462, -3, 20, 10, true},
        {"FRITZ!Box 7590 KQ", 2412, 20, 30, 12, true},
        {"FRITZ!Box 7590 KQ", 5200, 20, 30, 14, true},
        {"Linksys04417", 2442, 45, -6, 10, true},
        {"Caf\xc3\xa9 am Eck", 2412, 68, 20, 15, false},
        {"Caf\xc3\xa9 am Eck", 5320, 68, 20, 17, false},
        {"eduroam", 5660, -8, 8, 16, true},
        {"eduroam", 2427, -8, 8, 13, true},
        {"NETGEAR42", 5765, 35, 32, 15, true},
        {"", 2452, 58, -5, 12, true},
        {std::string(6, '\0'), 5220, 5, -7, 14, true},
        {"TP-Link_9C3E_5G", 5785, 52, 31, 18, true},
        {"Gaestenetz", 2472, 70, 2, 13, false},
        {"Vodafone-A3F1", 2417, 30, -9, 12, true},
        {"Vodafone-A3F1", 5540, 30, -9, 14, true},
        {"Zahnarzt Praxis", 2467, -6, 26, 11, true},
        {"Zahnarzt Praxis", 5680, -6, 26, 13, true},
    };
    uint8_t low = 0x01;
    for (const auto& nb : neighbours) {
        n.push_back({{0xB0, 0xF2, 0x08, 0x3C, 0x90, low},
                     nb.frequency,
                     nb.ssid,
                     nb.secured,
                     nb.x,
                     nb.y,
                     nb.frequency > 5000 ? -36 : -30,
                     nb.walls});
        low = static_cast<uint8_t>(low + 7);
    }
    return n;
}

// East along the south row of access points, across the floor, and back west along the
// north row.
Walker walkerAt(int dump) {
    const double t = dump / double(kDumps - 1);
    if (t < 0.45) return {4 + 52 * (t / 0.45), 7};
    if (t < 0.6) return {56, 7 + 10 * ((t - 0.45) / 0.15)};
    return {56 - 52 * ((t - 0.6) / 0.4), 17};
}

Bytes elements(const Network& n) {
    Bytes e{0, static_cast<uint8_t>(n.ssid.size())};
    e.insert(e.end(), n.ssid.begin(), n.ssid.end());
    if (n.frequency < 3000) {
        const Bytes rates{1, 8, 0x82, 0x84, 0x8B, 0x96, 0x0C, 0x12, 0x18, 0x24};
        e.insert(e.end(), rates.begin(), rates.end());
        e.insert(e.end(), {3, 1, static_cast<uint8_t>(walkmere::channelForFrequency(n.frequency))});
    } else {
        const Bytes rates{1, 8, 0x8C, 0x12, 0x98, 0x24, 0xB0, 0x48, 0x60, 0x6C};
        e.insert(e.end(), rates.begin(), rates.end());
    }
    if (n.secured) {
        // RSN: version 1, CCMP group and pairwise, PSK (802.1X for Corp).
        const uint8_t akm = n.ssid == "Corp" ? 1 : 2;
        const Bytes rsn{48,   20,   1, 0, 0x00, 0x0F, 0xAC, 4,    1,   0, 0x00,
                        0x0F, 0xAC, 4, 1, 0,    0x00, 0x0F, 0xAC, akm, 0, 0};
        e.insert(e.end(), rsn.begin(), rsn.end());
    }
    return e;
}

void check(int err, const char* what) {
    if (err < 0) {
        std::fprintf(stderr, "make_office_replay: %s failed\n", what);
        std::exit(1);
    }
}

void appendMessage(Bytes& out, nl_msg* msg) {
    const nlmsghdr* h = nlmsg_hdr(msg);
    const auto* p = reinterpret_cast<const uint8_t*>(h);
    out.insert(out.end(), p, p + NLMSG_ALIGN(h->nlmsg_len));
    nlmsg_free(msg);
}

void appendBss(Bytes& out, const Network& n, int32_t mbm, uint32_t seenMs, uint32_t seq,
               uint64_t bootNs, bool associated) {
    nl_msg* msg = nlmsg_alloc();
    if (msg == nullptr ||
        !genlmsg_put(msg, kPort, seq, kFamily, 0, NLM_F_MULTI, NL80211_CMD_NEW_SCAN_RESULTS, 1))
        check(-1, "genlmsg_put");
    check(nla_put_u32(msg, NL80211_ATTR_GENERATION, 40 + seq), "generation");
    check(nla_put_u32(msg, NL80211_ATTR_IFINDEX, 3), "ifindex");
    check(nla_put_u64(msg, NL80211_ATTR_WDEV, 1), "wdev");
    nlattr* bss = nla_nest_start(msg, NL80211_ATTR_BSS);
    if (bss == nullptr) check(-1, "nest");
    bss->nla_type |= NLA_F_NESTED;
    check(nla_put(msg, NL80211_BSS_BSSID, 6, n.bssid.data()), "bssid");
    check(nla_put_u32(msg, NL80211_BSS_FREQUENCY, n.frequency), "frequency");
    check(nla_put_u64(msg, NL80211_BSS_TSF, bootNs / 1000 + n.bssid[5] * 7919ull), "tsf");
    check(nla_put_u16(msg, NL80211_BSS_BEACON_INTERVAL, 100), "interval");
    check(nla_put_u16(msg, NL80211_BSS_CAPABILITY, n.secured ? 0x1431 : 0x0421), "capability");
    const Bytes ies = elements(n);
    check(nla_put(msg, NL80211_BSS_INFORMATION_ELEMENTS, static_cast<int>(ies.size()), ies.data()),
          "elements");
    check(nla_put_u32(msg, NL80211_BSS_SIGNAL_MBM, static_cast<uint32_t>(mbm)), "signal");
    check(nla_put_u32(msg, NL80211_BSS_SEEN_MS_AGO, seenMs), "seen");
    if (associated)
        check(nla_put_u32(msg, NL80211_BSS_STATUS, NL80211_BSS_STATUS_ASSOCIATED), "status");
    check(nla_put_u64(msg, NL80211_BSS_LAST_SEEN_BOOTTIME, bootNs - seenMs * 1000000ull),
          "boottime");
    check(nla_nest_end(msg, bss), "nest end");
    appendMessage(out, msg);
}

void appendDone(Bytes& out, uint32_t seq) {
    nl_msg* msg = nlmsg_alloc_simple(NLMSG_DONE, NLM_F_MULTI);
    if (msg == nullptr) check(-1, "done");
    nlmsg_hdr(msg)->nlmsg_seq = seq;
    nlmsg_hdr(msg)->nlmsg_pid = kPort;
    int32_t code = 0;
    check(nlmsg_append(msg, &code, sizeof code, NLMSG_ALIGNTO), "done");
    appendMessage(out, msg);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_office_replay OUT\n");
        return 2;
    }
    const std::vector<Network> networks = office();
    Random random;
    Bytes out;
    for (int d = 0; d < kDumps; ++d) {
        const Walker w = walkerAt(d);
        const uint32_t seq = 1700 + static_cast<uint32_t>(d);
        const uint64_t bootNs = (5000ull + 2500ull * static_cast<uint64_t>(d)) * 1000000ull;
        for (size_t i = 0; i < networks.size(); ++i) {
            const Network& n = networks[i];
            const double metres = std::max(1.0, std::hypot(n.x - w.x, n.y - w.y));
            // Log-distance path loss (exponent 3 indoors, 5 GHz a little worse), walls, and
            // a few dB of fading from scan to scan.
            const double exponent = n.frequency > 5000 ? 3.3 : 3.0;
            const int fading = random.between(-4, 4);
            const int dbm =
                static_cast<int>(std::lround(n.txDbm - 10 * exponent * std::log10(metres))) -
                n.walls + fading;
            if (dbm < -95) continue; // under the adapter's noise floor this time
            const uint32_t seenMs = static_cast<uint32_t>(dbm < -85 ? random.between(3000, 12000)
                                                                    : random.between(0, 2400));
            appendBss(out, n, dbm * 100, seenMs, seq, bootNs, i == 2 && d < 12);
        }
        appendDone(out, seq);
    }
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "make_office_replay: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
