#pragma once

#include "tools/site/BmpPixels.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace walkmere::sitetool {

// Text for an HTML page from arbitrary bytes (SSIDs, labels, paths): valid printable UTF-8
// is kept with & < > " ' escaped; control characters and bytes that are not valid UTF-8
// are shown as \xNN, so every byte stays visible and nothing can end an element.
std::string htmlText(std::string_view bytes);

// Standard base64 (RFC 4648) with padding, for data: URIs.
std::string base64(std::span<const uint8_t> bytes);

// The signature block as a 200 x 100 picture: row r is bytes 26 r ... 26 r + 24; pixel
// column k is bit 7 - (k mod 8) of byte k / 8, a set bit white and a clear bit black.
// `block` holds up to 2600 bytes; rows the block lacks are drawn grey.
RgbImage signaturePicture(std::span<const uint8_t> block);

} // namespace walkmere::sitetool
