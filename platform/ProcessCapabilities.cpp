#include "platform/ProcessCapabilities.h"

#include "platform/OwnedFd.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <string>

namespace walkmere {

std::optional<bool> hasEffectiveCapability(pid_t pid, int capability) {
    if (capability < 0 || capability > 63) return false;
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    const OwnedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return std::nullopt;
    std::string text;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        text.append(chunk, static_cast<size_t>(got));
    }
    // "CapEff:\t000001ffffffffff": the set as 64 bits in hexadecimal.
    const std::string key = "\nCapEff:";
    const size_t at = text.find(key);
    if (at == std::string::npos) return std::nullopt;
    uint64_t set = 0;
    int digits = 0;
    for (size_t i = at + key.size(); i < text.size() && text[i] != '\n'; ++i) {
        const char c = text[i];
        int value;
        if (c >= '0' && c <= '9')
            value = c - '0';
        else if (c >= 'a' && c <= 'f')
            value = c - 'a' + 10;
        else if (c == '\t' || c == ' ')
            continue;
        else
            return std::nullopt;
        if (++digits > 16) return std::nullopt;
        set = set << 4 | static_cast<uint64_t>(value);
    }
    if (digits == 0) return std::nullopt;
    return (set >> capability & 1) != 0;
}

} // namespace walkmere
