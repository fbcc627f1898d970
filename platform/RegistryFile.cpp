// Reading the registry editor's export format (.reg files).
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Drivers\Active\05]
//   "PnpId"="Quatech SSP-100"
//   "Name"="/dev/ttyUSB0"
//   "Refcount"=dword:00000001          ; other value types are skipped
//
// Version 5 exports are UTF-16LE with a byte-order mark; REGEDIT4 ones are 8-bit.

#include "platform/ByteOrder.h"
#include "platform/Registry.h"
#include "platform/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace walkmere {

namespace {

// Far above any export of HKEY_LOCAL_MACHINE\Drivers.
constexpr off_t kMaxRegistryFileBytes = 16 * 1024 * 1024;

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE (after its byte-order mark) to UTF-8; a stray surrogate becomes U+FFFD.
std::string fromUtf16le(const std::string& bytes, size_t start) {
    std::string out;
    auto unit = [&](size_t i) {
        return uint32_t{readLe16(reinterpret_cast<const uint8_t*>(bytes.data() + i))};
    };
    for (size_t i = start; i + 1 < bytes.size(); i += 2) {
        uint32_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
            uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u < 0xE000) ? 0xFFFD : u);
    }
    return out;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool startsWithNoCase(const std::string& s, const std::string& prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i], b = prefix[i];
        if (a >= 'a' && a <= 'z') a = char(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = char(b - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

// A quoted string starting at line[pos] == '"'; pos ends just past the closing quote.
bool readQuoted(const std::string& line, size_t& pos, std::string& out) {
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < line.size() && (line[pos + 1] == '\\' || line[pos + 1] == '"')) {
            out += line[++pos];
            continue;
        }
        out += c;
    }
    return false;
}

// The key path below HKEY_LOCAL_MACHINE for a section name, or nothing for another hive.
std::optional<std::string> machineKeyPath(const std::string& section) {
    for (const char* hive : {"HKEY_LOCAL_MACHINE", "HKLM"}) {
        std::string h = hive;
        if (!startsWithNoCase(section, h)) continue;
        if (section.size() == h.size()) return std::string();
        if (section[h.size()] == '\\') return section.substr(h.size() + 1);
    }
    return std::nullopt;
}

} // namespace

bool parseRegistryText(const std::string& raw, MemoryRegistry& into, std::string& error) {
    std::string text;
    if (raw.size() >= 2 && uint8_t(raw[0]) == 0xFF && uint8_t(raw[1]) == 0xFE)
        text = fromUtf16le(raw, 2);
    else if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text = raw.substr(3);
    else
        text = raw;

    std::optional<std::string> section; // nothing: inside a section we skip
    bool continued = false;             // the previous line went on with a backslash
    size_t lineNo = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(pos, nl - pos);
        pos = nl + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();

        if (lineNo == 1) {
            std::string head = trim(line);
            if (head != "Windows Registry Editor Version 5.00" && head != "REGEDIT4") {
                error = "not a registry file (the first line must be \"Windows Registry "
                        "Editor Version 5.00\" or \"REGEDIT4\")";
                return false;
            }
            continue;
        }

        std::string t = trim(line);
        if (continued) { // the rest of a hex value spread over lines
            continued = !t.empty() && t.back() == '\\';
            continue;
        }
        if (t.empty() || t[0] == ';') continue;

        if (t[0] == '[') {
            size_t close = t.rfind(']');
            if (close == std::string::npos) {
                error = "line " + std::to_string(lineNo) + ": key name without ']'";
                return false;
            }
            std::string name = t.substr(1, close - 1);
            section = (!name.empty() && name[0] == '-') ? std::nullopt : machineKeyPath(name);
            if (section) into.addKey(*section);
            continue;
        }

        if (t[0] != '"' && t[0] != '@') {
            error = "line " + std::to_string(lineNo) + ": not a key or a value";
            return false;
        }
        std::string valueName;
        size_t p = 0;
        if (t[0] == '@') {
            p = 1;
        } else if (!readQuoted(t, p, valueName)) {
            error = "line " + std::to_string(lineNo) + ": value name without closing quote";
            return false;
        }
        while (p < t.size() && (t[p] == ' ' || t[p] == '\t'))
            ++p;
        if (p >= t.size() || t[p] != '=') {
            error = "line " + std::to_string(lineNo) + ": '=' expected after the value name";
            return false;
        }
        ++p;
        while (p < t.size() && (t[p] == ' ' || t[p] == '\t'))
            ++p;
        if (p < t.size() && t[p] == '"') {
            std::string value;
            if (!readQuoted(t, p, value) || !trim(t.substr(p)).empty()) {
                error = "line " + std::to_string(lineNo) + ": badly quoted string value";
                return false;
            }
            if (section) into.setString(*section, valueName, value);
        } else {
            continued = t.back() == '\\'; // dword:, hex:, hex(n): and "-" are skipped
        }
    }
    return true;
}

bool loadRegistryFile(const std::filesystem::path& file, MemoryRegistry& into, std::string& error) {
    // A registry export is text of a few kilobytes; /dev/zero or a FIFO given by mistake
    // must neither fill the memory nor hold the start-up.
    RegularFileOpening opened = openRegularFile(file.string(), O_RDONLY);
    struct stat st {};
    if (!opened.fd.valid() || ::fstat(opened.fd.get(), &st) != 0) {
        error = "Cannot read the registry file " + file.string() + ": " +
                (opened.problem.empty() ? std::strerror(errno) : opened.problem) + ".";
        return false;
    }
    if (st.st_size > kMaxRegistryFileBytes) {
        error = "The registry file " + file.string() + " is larger than " +
                std::to_string(kMaxRegistryFileBytes) + " bytes; it is not read.";
        return false;
    }
    std::string raw(static_cast<size_t>(st.st_size), '\0');
    size_t got = 0;
    while (got < raw.size()) {
        const ssize_t n = ::read(opened.fd.get(), raw.data() + got, raw.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "Cannot read the registry file " + file.string() + ": " + std::strerror(errno) +
                    ".";
            return false;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    raw.resize(got);
    if (!parseRegistryText(raw, into, error)) {
        error = "The registry file " + file.string() + " is damaged: " + error + ".";
        return false;
    }
    return true;
}

} // namespace walkmere
