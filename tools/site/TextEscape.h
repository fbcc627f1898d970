#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace walkmere::sitetool {

// Texts in a site file (labels, SSIDs) are arbitrary bytes. These turn them into output
// that stays well-formed whatever the bytes are.

// A JSON string literal, quotes included. Valid UTF-8 is kept; quotes, backslashes and
// control characters are escaped; a byte that is not part of valid UTF-8 becomes U+FFFD.
std::string jsonString(std::string_view bytes);

// A JSON number for a double; null for infinities and NaN, which JSON cannot hold.
std::string jsonNumber(double value);

// The bytes as lower-case hexadecimal, two digits a byte.
std::string hexBytes(std::string_view bytes);

// Text for one CSV field: valid printable UTF-8 is kept; control characters and bytes
// that are not valid UTF-8 are written as \xNN and a backslash as \\, so that every field
// is one line of text and the bytes can be recovered. The field is quoted (quotes
// doubled) when it holds a comma, a quote or starts or ends with a space.
std::string csvField(std::string_view bytes);

} // namespace walkmere::sitetool
