#include "scan/MacAddress.h"

namespace walkmere {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr size_t kBareLength = 12;
constexpr size_t kSeparatedLength = 17;

} // namespace

std::optional<MacAddress> parseMac(std::string_view text, MacSyntax syntax) {
    const bool bare = text.size() == kBareLength;
    if (bare ? !syntax.bare : text.size() != kSeparatedLength) return std::nullopt;
    const size_t step = bare ? 2 : 3;
    MacAddress mac{};
    for (size_t i = 0; i < mac.size(); ++i) {
        const size_t at = i * step;
        if (!bare && i > 0) {
            const char separator = text[at - 1];
            if (separator != ':' && separator != '-') return std::nullopt;
            if (!syntax.mixedSeparators && separator != text[2]) return std::nullopt;
        }
        const int high = hexDigit(text[at]), low = hexDigit(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        mac[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return mac;
}

} // namespace walkmere
