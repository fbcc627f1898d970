#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace walkmere {

// What the stand-in board pretends to hear, and how badly its line behaves.
//
// A scenario is plain text, one statement per line; '#' starts a comment and blank lines
// are ignored. Values with spaces go in double quotes (ssid="Guest net"; \" and \\ inside).
//
//   firmware TEXT          firmware string the board reports        (default DRV-2.14)
//   serial TEXT            serial number string                     (default A1B2C3D4E5)
//   seed N                 seed of the RSSI jitter, misses and faults (default 1)
//   forget S               an AP unheard for more than S seconds leaves the board's list
//                          (default 120; an ap line may set its own)
//   ap MAC key=value...    one access point; MAC as 00:a0:f8:12:34:56 (or with dashes)
//        ssid=TEXT         at most 32 characters; may be empty ("")      (default "")
//        channel=N         channel number 1..200, sent as code 5000 + 5 * N
//        code=N            raw channel code 1..65535 (instead of channel=)
//        rssi=DBM          mean RSSI, -127..0                            (required)
//        jitter=DB         RSSI varies by up to +-DB at each hearing, 0..40 (default 0)
//        appear=S          first heard S seconds after board start       (default 0)
//        disappear=S|never last heard before S seconds; its age then grows (default never)
//        heardEvery=S      the board hears it every S seconds; its age goes back to 0
//                          at each hearing                               (default 1)
//        miss=P            chance 0..0.95 that a hearing is missed        (default 0)
//        forget=S          this AP's own forget time
//      The same MAC may appear on several lines (an AP that comes back), as long as
//      its times in the list do not overlap.
//
// Faults (the command line overrides them):
//   noise RATE [markers]   before each answer, with chance RATE (0..1), 1 to 8 noise bytes;
//                          with "markers" the noise may hold 0x11 and so can cost frames
//   split [MS]             each answer is written in two pieces, MS ms apart (default 20)
//   silence S/T            no answers for the last S seconds of every T seconds
//   bad-selector K         every K-th entry answer carries a selector the handheld refuses
//   radio-off M            a radio-status packet with status 0 every M seconds
//   pace [on|off]          write at the line's 3840 bytes per second (38400 baud)

inline constexpr size_t kBoardEntries = 16;
inline constexpr uint32_t kNever = UINT32_MAX;

struct ScenarioAp {
    std::array<uint8_t, 6> mac{};
    std::string ssid;
    uint16_t channelCode = 0;
    int rssiMean = 0;
    int jitter = 0;
    uint32_t appear = 0;
    uint32_t disappear = kNever;
    uint32_t heardEvery = 1;
    double miss = 0.0;
    std::optional<uint32_t> forget; // unset: the scenario's forget time
    int line = 0;                   // where it was written, for messages
};

struct BoardFaults {
    double noiseRate = 0.0;
    bool noiseMarkers = false;
    bool split = false;
    uint32_t splitPauseMs = 20;
    uint32_t silenceSeconds = 0; // 0: never silent
    uint32_t silencePeriod = 0;
    uint32_t badSelectorEvery = 0; // 0: never
    uint32_t radioOffEvery = 0;    // 0: never
    bool pace = false;
};

// Where the board's APs come from when they are not the scenario's: the laptop's own
// adapter (live), a capture of it (replayed), or a simulated site (a site model, heard where
// the surveyor stands). Set from walkmere-board's command line or the program's; a scenario
// file has no say in it.
struct WifiSettings {
    std::string interface;   // live from this interface ("wlan0") when not empty
    std::string replayPath;  // else played from this capture when not empty
    std::string modelPath;   // else simulated from this site model when not empty
    std::string capturePath; // live only: every dump is appended here
    bool trigger = false;    // live only: ask the adapter for a fresh scan before each dump
    std::optional<uint32_t> intervalMs; // between dumps; unset: kDefaultIntervalMs

    static constexpr uint32_t kDefaultIntervalMs = 2000;
    bool used() const { return !interface.empty() || !replayPath.empty() || !modelPath.empty(); }
    uint32_t interval() const { return intervalMs.value_or(kDefaultIntervalMs); }
};

struct Scenario {
    std::string firmware = "DRV-2.14";
    std::string serial = "A1B2C3D4E5";
    uint64_t seed = 1;
    uint32_t forget = 120;
    BoardFaults faults;
    std::vector<ScenarioAp> aps;
    WifiSettings wifi;

    uint32_t forgetOf(const ScenarioAp& ap) const { return ap.forget ? *ap.forget : forget; }
};

// Parses scenario text into out (which starts from the defaults). On failure returns false
// and sets error to "line N: what is wrong"; out may then be half filled.
bool parseScenario(std::string_view text, Scenario& out, std::string& error);

// A scenario is a few lines of text: a file larger than this is not one.
inline constexpr uint64_t kMaxScenarioBytes = 1 << 20;

// Reads the text of a scenario file. A file that cannot be opened or read, is not a
// regular file (a device such as /dev/zero would never end) or is larger than
// kMaxScenarioBytes is refused with a one-line error that names it.
bool readScenarioFile(const std::string& path, std::string& text, std::string& error);

// Reads and parses a scenario file; errors name the file.
bool loadScenarioFile(const std::string& path, Scenario& out, std::string& error);

// Six APs with varied RSSI on 2.4 and 5 GHz; one leaves after two minutes and one
// arrives late, so certification and ageing can be watched with no file at all.
Scenario defaultScenario();
extern const char* const kDefaultScenarioText;

// The format help shown by `walkmere-board --help`.
extern const char* const kScenarioFormatHelp;

// Values of the scenario and the command line: a whole number from min to max, and a plain
// decimal from 0 to max. Each returns false, leaving out unchanged, when the text is not one.
bool parseUnsigned(std::string_view text, uint64_t min, uint64_t max, uint64_t& out);
bool parseRate(std::string_view text, double max, double& out);

// The text in single quotes, as messages show a value.
std::string quoted(std::string_view s);

} // namespace walkmere
