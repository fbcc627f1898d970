#include "tools/board/Scenario.h"

#include "tools/board/BoardSettings.h"

#include "platform/RegularFile.h"
#include "scan/MacAddress.h"
#include "survey/FileOps.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace walkmere {

const char* const kDefaultScenarioText =
    R"(# The board's built-in scenario: six APs around an office floor.
firmware DRV-2.14
serial A1B2C3D4E5
forget 120
ap 00:a0:f8:12:34:56 ssid=corp      channel=36  rssi=-52 jitter=3 heardEvery=1
ap 00:a0:f8:12:34:57 ssid=corp      channel=149 rssi=-67 jitter=4 heardEvery=1
ap 00:0b:86:aa:10:01 ssid=guest     channel=6   rssi=-74 jitter=5 heardEvery=2
ap 00:0b:86:aa:10:02 ssid="lab 2"   channel=11  rssi=-81 jitter=4 heardEvery=3 miss=0.2
ap 00:1c:0e:40:00:09 ssid=printers  channel=1   rssi=-88 jitter=2 heardEvery=2 disappear=120
ap 00:1c:0e:40:00:0a ssid=""        channel=44  rssi=-63 jitter=3 appear=45 heardEvery=1
)";

const char* const kScenarioFormatHelp =
    R"(A scenario file is plain text, one statement per line; '#' starts a comment.
Values with spaces go in double quotes (ssid="Guest net"; \" and \\ inside quotes).

  firmware TEXT          firmware string the board reports (default DRV-2.14)
  serial TEXT            serial number string (default A1B2C3D4E5)
  seed N                 seed of the RSSI jitter, missed hearings and faults (default 1)
  forget S               an AP unheard for more than S seconds leaves the board's list
                         (default 120)
  ap MAC key=value ...   one access point, MAC as 00:a0:f8:12:34:56 or 00-A0-F8-12-34-56
       ssid=TEXT         at most 32 characters, may be "" (default "")
       channel=N         channel number 1..200, sent as code 5000 + 5 * N
       code=N            raw channel code 1..65535, instead of channel=
       rssi=DBM          mean RSSI in dBm, -127..0 (required)
       jitter=DB         RSSI varies by up to +-DB at each hearing, 0..40 (default 0)
       appear=S          first heard S seconds after the board starts (default 0)
       disappear=S|never last heard before S seconds; then its age grows until it is
                         forgotten (default never)
       heardEvery=S      heard every S seconds; its age goes back to 0 at each hearing
                         (default 1)
       miss=P            chance 0..0.95 that a hearing is missed (default 0)
       forget=S          this AP's own forget time
     The same MAC may be given again (an AP that comes back) if its times in the
     board's list do not overlap. The board lists at most 16 APs, earliest first.

Faults (command-line options override them):
  noise RATE [markers]   with chance RATE (0..1), 1 to 8 noise bytes before an answer;
                         "markers" lets the noise hold 0x11, which can cost frames
  split [MS]             answers written in two pieces MS ms apart (default 20)
  silence S/T            no answers during the last S seconds of every T seconds
  bad-selector K         every K-th entry answer has a selector the handheld refuses
  radio-off M            a radio-status 0 packet ("not responding") every M seconds
  pace [on|off]          write at the line's 3840 bytes per second (38400 baud)
)";

namespace {

// Splits a line into tokens: whitespace separates them, double quotes group, '#' outside
// quotes ends the line.
bool tokenize(std::string_view line, std::vector<std::string>& tokens, std::string& error) {
    tokens.clear();
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#') break;
        std::string token;
        bool quoted = false;
        while (i < line.size()) {
            c = line[i];
            if (!quoted && (c == ' ' || c == '\t' || c == '\r')) break;
            if (c == '"') {
                quoted = !quoted;
                ++i;
                continue;
            }
            if (quoted && c == '\\' && i + 1 < line.size() &&
                (line[i + 1] == '"' || line[i + 1] == '\\')) {
                token += line[i + 1];
                i += 2;
                continue;
            }
            token += c;
            ++i;
        }
        if (quoted) {
            error = "unterminated quoted value";
            return false;
        }
        tokens.push_back(std::move(token));
    }
    return true;
}

// Six pairs with a separator between each two, of either kind.
constexpr MacSyntax kScenarioMac{.bare = false, .mixedSeparators = true};

bool parseSigned(std::string_view text, int min, int max, int& out) {
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < min || v > max) return false;
    out = v;
    return true;
}

bool parseSeconds(std::string_view text, uint32_t& out) {
    uint64_t v = 0;
    if (!parseUnsigned(text, 0, 1000000000, v)) return false;
    out = static_cast<uint32_t>(v);
    return true;
}

class Parser {
public:
    explicit Parser(Scenario& s) : scenario(s) {}

    bool statement(const std::vector<std::string>& t, std::string& error) {
        const std::string& key = t[0];
        if (key == "ap") return apLine(t, error);
        const BoardSetting* setting = findBoardSetting(key, &BoardSetting::inScenario);
        if (!setting) {
            error =
                "unknown statement " + quoted(key) + " (expected " + scenarioStatementNames() + ")";
            return false;
        }
        error = applyScenarioStatement(*setting, std::span(t).subspan(1), scenario);
        return error.empty();
    }

private:
    bool apLine(const std::vector<std::string>& t, std::string& error) {
        ScenarioAp ap;
        ap.line = lineNumber;
        const std::optional<MacAddress> mac =
            t.size() < 2 ? std::nullopt : parseMac(t[1], kScenarioMac);
        if (!mac) {
            error = t.size() < 2 ? "ap needs a MAC address"
                                 : "bad MAC address " + quoted(t[1]) +
                                       " (expected six hex pairs like 00:a0:f8:12:34:56)";
            return false;
        }
        ap.mac = *mac;
        bool haveChannel = false, haveRssi = false;
        for (size_t i = 2; i < t.size(); ++i) {
            size_t eq = t[i].find('=');
            if (eq == std::string::npos) {
                error = "expected key=value, found " + quoted(t[i]);
                return false;
            }
            std::string key = t[i].substr(0, eq);
            std::string value = t[i].substr(eq + 1);
            uint64_t n = 0;
            bool ok = true;
            std::string what;
            if (key == "ssid") {
                ap.ssid = value;
                if (value.size() > 32) {
                    error = "ssid " + quoted(value) + " is longer than 32 characters";
                    return false;
                }
            } else if (key == "channel") {
                ok = parseUnsigned(value, 1, 200, n);
                ap.channelCode = static_cast<uint16_t>(5000 + 5 * n);
                what = "a channel number from 1 to 200";
                haveChannel = true;
            } else if (key == "code") {
                ok = parseUnsigned(value, 1, 65535, n);
                ap.channelCode = static_cast<uint16_t>(n);
                what = "a channel code from 1 to 65535";
                haveChannel = true;
            } else if (key == "rssi") {
                ok = parseSigned(value, -127, 0, ap.rssiMean);
                what = "an RSSI from -127 to 0 dBm";
                haveRssi = true;
            } else if (key == "jitter") {
                ok = parseSigned(value, 0, 40, ap.jitter);
                what = "a jitter from 0 to 40 dB";
            } else if (key == "appear") {
                ok = parseSeconds(value, ap.appear);
                what = "a number of seconds";
            } else if (key == "disappear") {
                ap.disappear = kNever;
                ok = value == "never" || parseSeconds(value, ap.disappear);
                what = "a number of seconds or 'never'";
            } else if (key == "heardEvery") {
                ok = parseUnsigned(value, 1, 3600, n);
                ap.heardEvery = static_cast<uint32_t>(n);
                what = "a number of seconds from 1 to 3600";
            } else if (key == "miss") {
                ok = parseRate(value, 0.95, ap.miss);
                what = "a chance from 0 to 0.95";
            } else if (key == "forget") {
                uint32_t s = 0;
                ok = parseSeconds(value, s);
                ap.forget = s;
                what = "a number of seconds";
            } else {
                error = "unknown ap key " + quoted(key) +
                        " (expected ssid, channel, code, rssi, jitter, appear, disappear, "
                        "heardEvery, miss or forget)";
                return false;
            }
            if (!ok) {
                error = key + "=" + quoted(value) + " is not " + what;
                return false;
            }
        }
        if (!haveChannel) {
            error = "ap needs channel= or code=";
            return false;
        }
        if (!haveRssi) {
            error = "ap needs rssi=";
            return false;
        }
        if (ap.disappear != kNever && ap.disappear <= ap.appear) {
            error = "disappear must come after appear";
            return false;
        }
        scenario.aps.push_back(std::move(ap));
        return true;
    }

public:
    int lineNumber = 0;

private:
    Scenario& scenario;
};

// Last second (exclusive) at which the AP can still be in the board's list.
uint64_t listEnd(const Scenario& s, const ScenarioAp& ap) {
    if (ap.disappear == kNever) return UINT64_MAX;
    return uint64_t(ap.disappear) + s.forgetOf(ap) + 1;
}

bool checkOverlaps(const Scenario& s, std::string& error) {
    for (size_t i = 0; i < s.aps.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            const ScenarioAp& a = s.aps[j];
            const ScenarioAp& b = s.aps[i];
            if (a.mac != b.mac) continue;
            bool apart = listEnd(s, a) <= b.appear || listEnd(s, b) <= a.appear;
            if (!apart) {
                error = "line " + std::to_string(b.line) +
                        ": this AP's MAC is already listed on line " + std::to_string(a.line) +
                        " for an overlapping time (it stays listed until it has been unheard "
                        "for its forget time)";
                return false;
            }
        }
    }
    return true;
}

} // namespace

bool parseUnsigned(std::string_view text, uint64_t min, uint64_t max, uint64_t& out) {
    uint64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < min || v > max)
        return false;
    out = v;
    return true;
}

bool parseRate(std::string_view text, double max, double& out) {
    // std::from_chars for double is in GCC 11+, but accept only plain decimals anyway.
    if (text.empty() || text.size() > 20) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.')) return false;
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !(v >= 0.0) || v > max)
        return false;
    out = v;
    return true;
}

std::string quoted(std::string_view s) {
    const std::string text(s);
    return "'" + text + "'";
}

bool parseScenario(std::string_view text, Scenario& out, std::string& error) {
    Parser parser(out);
    std::vector<std::string> tokens;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) nl = text.size();
        std::string_view line = text.substr(pos, nl - pos);
        ++parser.lineNumber;
        std::string why;
        if (line.find('\0') != std::string_view::npos)
            why = "the line holds a NUL byte";
        else if (tokenize(line, tokens, why) && !tokens.empty())
            parser.statement(tokens, why);
        if (!why.empty()) {
            error = "line " + std::to_string(parser.lineNumber) + ": " + why;
            return false;
        }
        pos = nl + 1;
    }
    return checkOverlaps(out, error);
}

bool readScenarioFile(const std::string& path, std::string& text, std::string& error) {
    RegularFileOpening opened = openRegularFile(path, O_RDONLY);
    if (!opened.fd.valid()) {
        error = "cannot open scenario file " + path + ": " + opened.problem;
        return false;
    }
    const auto tooLarge = [&](uint64_t size) {
        error = "cannot use scenario file " + path + ": " + std::to_string(size) +
                " bytes, more than the " + std::to_string(kMaxScenarioBytes) +
                " bytes a scenario may have";
        return false;
    };
    struct stat st {};
    if (::fstat(opened.fd.get(), &st) == 0 && static_cast<uint64_t>(st.st_size) > kMaxScenarioBytes)
        return tooLarge(static_cast<uint64_t>(st.st_size));
    // One byte more than the limit shows a file that grew after the look at its size.
    text.resize(kMaxScenarioBytes + 1);
    const ssize_t got = readUpTo(opened.fd.get(), text.data(), text.size(), 0);
    if (got < 0) {
        error = "cannot read scenario file " + path + ": " + std::strerror(errno);
        return false;
    }
    if (static_cast<uint64_t>(got) > kMaxScenarioBytes) return tooLarge(static_cast<uint64_t>(got));
    text.resize(static_cast<size_t>(got));
    return true;
}

bool loadScenarioFile(const std::string& path, Scenario& out, std::string& error) {
    std::string text;
    if (!readScenarioFile(path, text, error)) return false;
    if (!parseScenario(text, out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

Scenario defaultScenario() {
    Scenario s;
    std::string error;
    parseScenario(kDefaultScenarioText, s, error); // the built-in text is known to parse
    return s;
}

} // namespace walkmere
