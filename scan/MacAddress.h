#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace walkmere {

// Six bytes in the order the board sends them.
using MacAddress = std::array<uint8_t, 6>;

// The ways a MAC address may be typed: six pairs of hexadecimal digits, in either case,
// separated by ':' or '-' ("00:a0:f8:12:34:56", "00-A0-F8-12-34-56"), or written together
// ("00a0f8123456").
struct MacSyntax {
    bool bare = true;             // the twelve digits without separators
    bool mixedSeparators = false; // ':' and '-' in one address
};

// Nothing when `text` is not an address in one of the forms `syntax` allows.
std::optional<MacAddress> parseMac(std::string_view text, MacSyntax syntax = {});

} // namespace walkmere
