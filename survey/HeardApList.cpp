#include "survey/HeardApList.h"

#include <algorithm>

namespace walkmere {

const HeardAp* CHeardApList::find(const std::string& macText) const {
    for (const HeardAp& ap : items)
        if (ap.macText == macText) return &ap;
    return nullptr;
}

bool CHeardApList::add(const ApRecord& r) {
    if (r.empty()) return false;
    std::string key = r.macText();
    for (HeardAp& ap : items) {
        if (ap.macText == key) {
            ap.rssi = r.rssi();
            ap.ssid = r.ssid();
            return true;
        }
    }
    HeardAp ap;
    ap.macText = std::move(key);
    std::copy(r.mac(), r.mac() + 6, ap.mac.begin());
    ap.rssi = r.rssi();
    ap.channel = r.channel();
    ap.sixGhz = r.sixGhz();
    ap.ssid = r.ssid();
    auto at = std::find_if(items.begin(), items.end(),
                           [&](const HeardAp& other) { return other.rssi > ap.rssi; });
    items.insert(at, std::move(ap));
    return true;
}

} // namespace walkmere
