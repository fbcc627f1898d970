#pragma once

#include "image/RgbImage.h"
#include "survey/CodecStreams.h"

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace walkmere {

// Text for an HTML page from arbitrary bytes (SSIDs, labels, paths): valid printable UTF-8
// is kept with & < > " ' escaped; control characters and bytes that are not valid UTF-8
// are shown as \xNN, so every byte stays visible and nothing can end an element.
std::string htmlText(std::string_view bytes);

// Standard base64 (RFC 4648) with padding, for data: URIs.
std::string base64(std::span<const uint8_t> bytes);

// The same written to `out` as the bytes come, in pieces of any size: the one or two bytes
// that do not yet make a group of three wait for the next piece, and finish() writes the
// last group with its padding. A write fails once `out` has failed.
class Base64Writer final : public ByteSink {
public:
    explicit Base64Writer(std::ostream& out) : out(out) {}
    bool write(const uint8_t* from, size_t n) override;
    void finish();

private:
    std::ostream& out;
    uint8_t waiting[3] = {};
    size_t waitingCount = 0;
};

// The signature block (survey/SignatureBlock.h) as a 200 x 100 picture, blank pixels white
// and ink black. `block` holds up to 2600 bytes; rows the block lacks are drawn grey.
RgbImage signaturePicture(std::span<const uint8_t> block);

} // namespace walkmere
