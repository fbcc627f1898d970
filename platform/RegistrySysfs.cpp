// Registry keys for the USB serial adapters that Linux lists under /sys/class/tty.
//
// /sys/class/tty/ttyUSB0/device leads into the adapter's place in the device tree, e.g.
// /sys/devices/pci0000:00/.../usb1/1-2/1-2:1.0/ttyUSB0; the USB device itself (1-2) is
// the nearest folder above it with an idVendor file, and holds the adapter's own
// "manufacturer" and "product" strings.

#include "platform/Registry.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace walkmere {

namespace fs = std::filesystem;

namespace {

std::string readAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    return line;
}

bool isInside(const fs::path& p, const fs::path& root) {
    auto r = root.begin();
    for (auto it = p.begin(); r != root.end(); ++it, ++r)
        if (it == p.end() || *it != *r) return false;
    return true;
}

// The adapter's PnpId, or nothing when the tty is not on a USB device.
std::optional<std::string> usbPnpId(const fs::path& ttyDir, const fs::path& root) {
    std::error_code ec;
    fs::path dev = fs::canonical(ttyDir / "device", ec);
    if (ec) return std::nullopt;
    for (fs::path p = dev; isInside(p, root) && p != root; p = p.parent_path()) {
        if (!fs::is_regular_file(p / "idVendor", ec)) continue;
        std::string manufacturer = readAttribute(p / "manufacturer");
        std::string product = readAttribute(p / "product");
        if (manufacturer.empty()) return product;
        if (product.empty()) return manufacturer;
        return manufacturer + " " + product;
    }
    return std::nullopt;
}

} // namespace

int addSysfsSerialKeys(MemoryRegistry& into, const fs::path& sysfsRoot) {
    std::error_code ec;
    fs::path root = fs::canonical(sysfsRoot, ec);
    if (ec) return 0;

    std::vector<std::string> ttys;
    for (fs::directory_iterator it(root / "class" / "tty", ec), end; !ec && it != end;
         it.increment(ec))
        ttys.push_back(it->path().filename().string());
    std::sort(ttys.begin(), ttys.end());

    int added = 0;
    int next = 0;
    for (const std::string& tty : ttys) {
        std::optional<std::string> pnpId = usbPnpId(root / "class" / "tty" / tty, root);
        if (!pnpId) continue;
        // The lowest free number, so that no key of the registry file is shadowed.
        std::string key;
        for (;; ++next) {
            char name[32];
            std::snprintf(name, sizeof name, "Drivers\\Active\\%02d", next);
            if (!into.hasKey(name)) {
                key = name;
                break;
            }
        }
        into.setString(key, "PnpId", *pnpId);
        into.setString(key, "Name", "/dev/" + tty);
        ++added;
    }
    return added;
}

} // namespace walkmere
