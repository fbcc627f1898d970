#include "coverage/ReportHtml.h"

#include "survey/SignatureBlock.h"

#include <algorithm>
#include <cstdio>

namespace walkmere {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is not one.
size_t utf8Length(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t b = byte(i);
    size_t n;
    uint32_t cp;
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2, cp = b & 0x1F;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3, cp = b & 0x0F;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4, cp = b & 0x07;
    else
        return 0;
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not valid.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
    if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
    // C1 control characters.
    if (cp >= 0x80 && cp < 0xA0) return 0;
    return n;
}

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Encodes n bytes, a multiple of 3, as n / 3 * 4 characters.
void encodeGroups(const uint8_t* bytes, size_t n, char* text) {
    for (size_t i = 0; i < n; i += 3, text += 4) {
        const uint32_t v = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        text[0] = kBase64Alphabet[v >> 18];
        text[1] = kBase64Alphabet[(v >> 12) & 63];
        text[2] = kBase64Alphabet[(v >> 6) & 63];
        text[3] = kBase64Alphabet[v & 63];
    }
}

// Encodes the last 1 or 2 bytes as 4 characters with padding; false (nothing) for none.
bool encodeLastGroup(const uint8_t* bytes, size_t rest, char* text) {
    if (rest == 0) return false;
    uint32_t v = uint32_t(bytes[0]) << 16;
    if (rest == 2) v |= uint32_t(bytes[1]) << 8;
    text[0] = kBase64Alphabet[v >> 18];
    text[1] = kBase64Alphabet[(v >> 12) & 63];
    text[2] = rest == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=';
    text[3] = '=';
    return true;
}

} // namespace

std::string htmlText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        const size_t n = utf8Length(bytes, i);
        if (n == 0 || b < 0x20 || b == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
            ++i;
            continue;
        }
        switch (b) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out.append(bytes.substr(i, n));
        }
        i += n;
    }
    return out;
}

std::string base64(std::span<const uint8_t> bytes) {
    std::string out((bytes.size() + 2) / 3 * 4, '\0');
    const size_t whole = bytes.size() / 3 * 3;
    encodeGroups(bytes.data(), whole, out.data());
    encodeLastGroup(bytes.data() + whole, bytes.size() - whole, out.data() + whole / 3 * 4);
    return out;
}

bool Base64Writer::write(const uint8_t* from, size_t n) {
    // First the group that an earlier piece left open.
    while (waitingCount > 0 && n > 0) {
        waiting[waitingCount++] = *from++;
        --n;
        if (waitingCount == 3) {
            char text[4];
            encodeGroups(waiting, 3, text);
            out.write(text, 4);
            waitingCount = 0;
        }
    }
    char text[4096 * 4];
    while (n >= 3) {
        const size_t take = std::min(n / 3, sizeof text / 4) * 3;
        encodeGroups(from, take, text);
        out.write(text, std::streamsize(take / 3 * 4));
        from += take;
        n -= take;
    }
    while (n > 0) {
        waiting[waitingCount++] = *from++;
        --n;
    }
    return bool(out);
}

void Base64Writer::finish() {
    char text[4];
    if (encodeLastGroup(waiting, waitingCount, text)) out.write(text, 4);
    waitingCount = 0;
}

RgbImage signaturePicture(std::span<const uint8_t> block) {
    RgbImage image(signature::kPadWidth, signature::kRows, 128);
    for (int32_t y = 0; y < signature::kRows; ++y) {
        for (int32_t x = 0; x < signature::kPadWidth; ++x) {
            const std::optional<bool> blank = signaturePixelIsBlank(block, x, y);
            if (!blank) return image; // the rest of the block is missing
            uint8_t* p = image.at(x, y);
            p[0] = p[1] = p[2] = *blank ? 255 : 0;
        }
    }
    return image;
}

} // namespace walkmere
