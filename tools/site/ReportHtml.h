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

// The signature block (survey/SignatureBlock.h) as a 200 x 100 picture, blank pixels white
// and ink black. `block` holds up to 2600 bytes; rows the block lacks are drawn grey.
RgbImage signaturePicture(std::span<const uint8_t> block);

} // namespace walkmere::sitetool
