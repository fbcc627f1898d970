// walkmere-board: the stand-in scanner board on a pseudo-terminal.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <getopt.h>
#include <optional>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/board/PseudoTerminal.h"
#include "tools/board/Scenario.h"
#include "tools/board/StandInBoard.h"

using namespace walkmere;

namespace {

const char* const kUsage =
    R"(Usage: walkmere-board [options]

Stands in for the Wi-Fi scanner board: opens a pseudo-terminal, prints its slave path
(the port to give walkmere) on one line, and answers the board protocol there until
SIGTERM or SIGINT. The program on the other side may close and reopen the port.

Options:
  --scenario FILE    APs and faults to serve (default: the built-in scenario below)
  --link PATH        also make a symbolic link PATH to the port (removed at exit)
  --pace             write at the line's 3840 bytes per second (38400 baud)
  --noise RATE       chance 0..1 of 1 to 8 noise bytes before each answer
  --noise-markers    let the noise hold 0x11 bytes, which can cost frames
  --split[=MS]       write each answer in two pieces MS ms apart (default 20)
  --silence S/T      answer nothing for the last S seconds of every T seconds
  --bad-selector K   every K-th entry answer carries a selector the handheld refuses
  --radio-off M      send radio status 0 (not responding) every M seconds
  --seed N           seed of the RSSI jitter, missed hearings and faults
  --firmware TEXT    firmware string to report
  --serial TEXT      serial number to report
  --help             show this text

)";

struct Overrides {
    std::string scenarioPath, linkPath;
    bool pace = false, split = false, noiseMarkers = false;
    const char *noise = nullptr, *splitMs = nullptr, *silence = nullptr, *badSelector = nullptr,
               *radioOff = nullptr, *seed = nullptr, *firmware = nullptr, *serial = nullptr;
};

bool fail(const std::string& message) {
    std::fprintf(stderr, "walkmere-board: %s\n", message.c_str());
    return false;
}

bool applyOverrides(const Overrides& o, Scenario& s) {
    std::string error;
    uint64_t n = 0;
    BoardFaults& f = s.faults;
    if (o.pace) f.pace = true;
    if (o.noise && !parseRate(o.noise, 1.0, f.noiseRate))
        return fail(std::string("--noise ") + o.noise + " is not a number from 0 to 1");
    if (o.noiseMarkers) f.noiseMarkers = true;
    if (o.split) {
        f.split = true;
        if (o.splitMs) {
            if (!parseUnsigned(o.splitMs, 0, 10000, n))
                return fail(std::string("--split=") + o.splitMs + " is not 0 to 10000 ms");
            f.splitPauseMs = static_cast<uint32_t>(n);
        }
    }
    if (o.silence && !parseSilence(o.silence, f, error)) return fail(error);
    if (o.badSelector) {
        if (!parseUnsigned(o.badSelector, 1, 1000000, n))
            return fail(std::string("--bad-selector ") + o.badSelector + " is not a count from 1");
        f.badSelectorEvery = static_cast<uint32_t>(n);
    }
    if (o.radioOff) {
        if (!parseUnsigned(o.radioOff, 1, 1000000, n))
            return fail(std::string("--radio-off ") + o.radioOff + " is not a number of seconds");
        f.radioOffEvery = static_cast<uint32_t>(n);
    }
    if (o.seed && !parseUnsigned(o.seed, 0, UINT64_MAX, s.seed))
        return fail(std::string("--seed ") + o.seed + " is not a whole number");
    if (o.firmware) {
        s.firmware = o.firmware;
        if (!checkBoardString(s.firmware, "--firmware", error)) return fail(error);
    }
    if (o.serial) {
        s.serial = o.serial;
        if (!checkBoardString(s.serial, "--serial", error)) return fail(error);
    }
    return true;
}

// 0: go on, 1: stop with success (--help), 2: usage error.
int parseArguments(int argc, char** argv, Overrides& o) {
    enum {
        kNoise = 1000,
        kNoiseMarkers,
        kSplit,
        kSilence,
        kBadSelector,
        kRadioOff,
        kSeed,
        kFirmware,
        kSerial
    };
    static const option options[] = {
        {"scenario", required_argument, nullptr, 's'},
        {"link", required_argument, nullptr, 'l'},
        {"pace", no_argument, nullptr, 'p'},
        {"noise", required_argument, nullptr, kNoise},
        {"noise-markers", no_argument, nullptr, kNoiseMarkers},
        {"split", optional_argument, nullptr, kSplit},
        {"silence", required_argument, nullptr, kSilence},
        {"bad-selector", required_argument, nullptr, kBadSelector},
        {"radio-off", required_argument, nullptr, kRadioOff},
        {"seed", required_argument, nullptr, kSeed},
        {"firmware", required_argument, nullptr, kFirmware},
        {"serial", required_argument, nullptr, kSerial},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, "", options, nullptr)) != -1) {
        switch (c) {
        case 's':
            o.scenarioPath = optarg;
            break;
        case 'l':
            o.linkPath = optarg;
            break;
        case 'p':
            o.pace = true;
            break;
        case kNoise:
            o.noise = optarg;
            break;
        case kNoiseMarkers:
            o.noiseMarkers = true;
            break;
        case kSplit:
            o.split = true;
            o.splitMs = optarg;
            break;
        case kSilence:
            o.silence = optarg;
            break;
        case kBadSelector:
            o.badSelector = optarg;
            break;
        case kRadioOff:
            o.radioOff = optarg;
            break;
        case kSeed:
            o.seed = optarg;
            break;
        case kFirmware:
            o.firmware = optarg;
            break;
        case kSerial:
            o.serial = optarg;
            break;
        case 'h':
            std::printf("%s%s\nThe built-in scenario:\n\n%s", kUsage, kScenarioFormatHelp,
                        kDefaultScenarioText);
            return 1;
        default:
            std::fprintf(stderr, "walkmere-board: unknown or incomplete option '%s' (see --help)\n",
                         argv[optind - 1]);
            return 2;
        }
    }
    if (optind < argc) {
        std::fprintf(stderr, "walkmere-board: unexpected argument '%s' (see --help)\n",
                     argv[optind]);
        return 2;
    }
    return 0;
}

// Points linkPath at the port. An old symbolic link there (left by an earlier run) is
// replaced; anything else is left alone.
bool makeLink(const std::string& linkPath, const std::string& target) {
    struct stat st {};
    if (::lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            return fail("--link " + linkPath +
                        " exists and is not a symbolic link; not replacing it");
        ::unlink(linkPath.c_str());
    }
    if (::symlink(target.c_str(), linkPath.c_str()) != 0)
        return fail("cannot make the link " + linkPath + ": " + std::strerror(errno));
    return true;
}

void removeLink(const std::string& linkPath, const std::string& target) {
    char points[4096];
    ssize_t n = ::readlink(linkPath.c_str(), points, sizeof points - 1);
    if (n < 0) return;
    points[n] = 0;
    if (target == points) ::unlink(linkPath.c_str()); // only our own link
}

} // namespace

int main(int argc, char** argv) {
    Overrides o;
    int parsed = parseArguments(argc, argv, o);
    if (parsed == 1) return 0;
    if (parsed == 2) return 2;

    Scenario scenario;
    std::string error;
    if (o.scenarioPath.empty()) {
        scenario = defaultScenario();
    } else {
        // A file that cannot be used is refused as such (1); one whose text is wrong is
        // wrong usage (2).
        std::string text;
        if (!readScenarioFile(o.scenarioPath, text, error)) {
            fail(error);
            return 1;
        }
        if (!parseScenario(text, scenario, error)) {
            fail(o.scenarioPath + ": " + error);
            return 2;
        }
    }
    if (!applyOverrides(o, scenario)) return 2;

    // Block the stop signals before any thread starts, so only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::optional<PseudoTerminal> pty = PseudoTerminal::open(error);
    if (!pty) {
        fail(error);
        return 1;
    }
    if (!o.linkPath.empty() && !makeLink(o.linkPath, pty->slavePath())) return 1;

    StandInBoard board(pty->masterFd(), scenario);
    board.start();
    std::printf("%s\n", pty->slavePath().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    board.stop();
    if (!o.linkPath.empty()) removeLink(o.linkPath, pty->slavePath());

    BoardStats s = board.stats();
    std::fprintf(stderr,
                 "walkmere-board: stopped; requests: firmware %u, serial %u, entry %u, "
                 "malformed %u, other %u; packets %u; %llu bytes written\n",
                 s.firmwareRequests, s.serialRequests, s.entryRequests, s.malformedRequests,
                 s.otherFrames, s.packets, static_cast<unsigned long long>(s.bytesWritten));
    return 0;
}
