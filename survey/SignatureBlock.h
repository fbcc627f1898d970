#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "survey/StoreOutcome.h"

namespace walkmere {

class CSurveyStore;

// The signature block of a site file, at the header's signatureOffset: 100 rows of 26
// bytes, row 0 at the top. In a row, pixel column x (0 to 199) is bit 7 - (x mod 8) of
// byte x / 8; a set bit is a white pixel, a clear bit ink. Byte 25 is padding (0).
// Only the top 65 rows of the pad are recorded; rows 65 to 99 are always white.
namespace signature {
inline constexpr int kPadWidth = 200;
inline constexpr int kPadHeight = 100;
inline constexpr int kRows = 100;
inline constexpr int kRowBytes = 26;
inline constexpr int kRecordedRows = 65;
inline constexpr uint32_t kBlockSize = kRows * kRowBytes; // 2600
} // namespace signature

// True when the pad's pixel at column x, row y is not ink.
using BlankPixelTest = std::function<bool(int x, int y)>;

// The 2600 bytes of the block for a pad.
std::array<uint8_t, signature::kBlockSize> buildSignatureBlock(const BlankPixelTest& isBlankPixel);

// Whether the block's pixel at column x (0 to 199), row y (0 to 99) is blank; nothing for a
// row that a block cut short lacks.
std::optional<bool> signaturePixelIsBlank(std::span<const uint8_t> block, int x, int y);

// Writes the signature block of the store's site file in one write and flushes it. Not done,
// with a notice, when the file cannot be opened, the write or flush fails, or the header's
// signature block would overlap the header or the points.
StoreOutcome writeSignature(CSurveyStore& store, const BlankPixelTest& isBlankPixel);

// A copy of the pad's pixels, 200 x 100, taken when the sign-off dialog has closed. Starts
// blank everywhere.
class SignatureImage {
public:
    // Coordinates outside the pad count as blank.
    bool isBlankPixel(int x, int y) const;
    void setInk(int x, int y, bool ink);
    // Copies every pixel of a pad through its pixel test.
    void capture(const BlankPixelTest& isBlankPixel);

private:
    std::array<bool, signature::kPadWidth * signature::kPadHeight> ink{};
};

} // namespace walkmere
