#include "board/RememberingWifiSource.h"

#include <unordered_set>

namespace walkmere {

namespace {

uint64_t keyOf(const std::array<uint8_t, 6>& bssid) {
    uint64_t key = 0;
    for (uint8_t b : bssid)
        key = key << 8 | b;
    return key;
}

} // namespace

RememberingWifiSource::RememberingWifiSource(std::unique_ptr<IWifiSource> source,
                                             uint32_t forgetSeconds)
    : inner(std::move(source)), forgetSeconds(forgetSeconds) {
    inner->setNoticeSink([this](const std::string& text) { say(text); });
}

std::optional<ScanDump> RememberingWifiSource::next(std::string& error) {
    std::optional<ScanDump> dump = inner->next(error);
    if (!dump) return dump;
    const uint32_t now = dump->readAt;
    const auto secondsSince = [now](uint32_t t) { return now > t ? now - t : 0; };
    std::unordered_set<uint64_t> heardNow;
    for (const WifiBss& bss : dump->bss) {
        const uint64_t key = keyOf(bss.bssid);
        heardNow.insert(key);
        const uint32_t ago = bss.seenMsAgo / 1000;
        const Kept latest{bss, now > ago ? now - ago : 0};
        auto [at, added] = kept.try_emplace(key, latest);
        if (!added && latest.heardAt >= at->second.heardAt) at->second = latest;
    }
    std::erase_if(kept,
                  [&](const auto& k) { return secondsSince(k.second.heardAt) > forgetSeconds; });
    for (const auto& [key, k] : kept) {
        if (heardNow.contains(key)) continue;
        WifiBss aged = k.bss;
        aged.seenMsAgo = secondsSince(k.heardAt) * 1000;
        dump->bss.push_back(aged);
    }
    return dump;
}

} // namespace walkmere
