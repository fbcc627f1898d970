#include "tools/site/TextEscape.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace walkmere::sitetool {

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0 when the byte there does not start
// one (overlong forms, surrogates and code points above U+10FFFF are not valid).
size_t utf8Length(std::string_view s, size_t i, uint32_t& codePoint) {
    const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t lead = b(i);
    size_t length;
    uint32_t min;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        min = 0x80;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        min = 0x800;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        min = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (b(i + k) & 0x3F);
    }
    if (codePoint < min || codePoint > 0x10FFFF) return 0;
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
    return length;
}

void appendHexEscape(std::string& out, const char* prefix, unsigned value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%s%0*X", prefix, digits, value);
    out += buffer;
}

} // namespace

std::string jsonString(std::string_view bytes) {
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size();) {
        uint32_t cp = 0;
        const size_t n = utf8Length(bytes, i, cp);
        if (n == 0) {
            out += "\\uFFFD";
            ++i;
            continue;
        }
        switch (cp) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            // Control characters, DEL, and the two line separators JavaScript reads as
            // line ends are escaped; everything else is kept as it is.
            if (cp < 0x20 || cp == 0x7F || cp == 0x2028 || cp == 0x2029)
                appendHexEscape(out, "\\u", cp, 4);
            else
                out.append(bytes.substr(i, n));
        }
        i += n;
    }
    out += '"';
    return out;
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc{}) return "null";
    return std::string(buffer, end);
}

std::string hexBytes(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

std::string csvField(std::string_view bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size();) {
        uint32_t cp = 0;
        const size_t n = utf8Length(bytes, i, cp);
        if (n == 0 || cp < 0x20 || cp == 0x7F) {
            appendHexEscape(text, "\\x", static_cast<uint8_t>(bytes[i]), 2);
            ++i;
            continue;
        }
        if (cp == '\\')
            text += "\\\\";
        else
            text.append(bytes.substr(i, n));
        i += n;
    }
    const bool quote = text.find_first_of(",\"") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace walkmere::sitetool
