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
#include <vector>

#include "tools/board/BoardSettings.h"
#include "tools/board/PseudoTerminal.h"
#include "tools/board/Scenario.h"
#include "tools/board/StandInBoard.h"

using namespace walkmere;

namespace {

// The options of the settings table go between the two halves of the usage.
const char* const kUsage =
    R"(Usage: walkmere-board [options]

Stands in for the Wi-Fi scanner board: opens a pseudo-terminal, prints its slave path
(the port to give walkmere) on one line, and answers the board protocol there until
SIGTERM or SIGINT. The program on the other side may close and reopen the port.

Options:
  --scenario FILE    APs and faults to serve (default: the built-in scenario below)
  --link PATH        also make a symbolic link PATH to the port (removed at exit)
)";
const char* const kUsageEnd = R"(  --help             show this text

)";

struct Arguments {
    std::string scenarioPath, linkPath;
    // The value each setting was last given on the command line, in the table's order; an
    // inner nullopt for a setting given without a value.
    std::vector<std::optional<std::optional<std::string>>> settings =
        std::vector<std::optional<std::optional<std::string>>>(kBoardSettings.size());
};

bool fail(const std::string& message) {
    std::fprintf(stderr, "walkmere-board: %s\n", message.c_str());
    return false;
}

// The command line overrides the scenario: its settings are applied after the file's.
bool applySettings(const Arguments& a, Scenario& s) {
    for (size_t i = 0; i < kBoardSettings.size(); ++i) {
        if (!a.settings[i]) continue;
        const std::optional<std::string>& value = *a.settings[i];
        const std::string error = applyOption(
            kBoardSettings[i], value ? std::optional<std::string_view>(*value) : std::nullopt, s);
        if (!error.empty()) return fail(error);
    }
    return true;
}

void showHelp() {
    std::printf("%s%s%s%s\nThe built-in scenario:\n\n%s", kUsage, boardOptionsHelp().c_str(),
                kUsageEnd, kScenarioFormatHelp, kDefaultScenarioText);
}

// 0: go on, 1: stop with success (--help), 2: usage error.
int parseArguments(int argc, char** argv, Arguments& a) {
    constexpr int kFirstSetting = 1000; // getopt_long returns this plus the setting's index
    std::vector<option> options = {
        {"scenario", required_argument, nullptr, 's'},
        {"link", required_argument, nullptr, 'l'},
        {"help", no_argument, nullptr, 'h'},
    };
    for (size_t i = 0; i < kBoardSettings.size(); ++i) {
        const Takes takes = kBoardSettings[i].onCommandLine;
        if (takes == Takes::Nowhere) continue;
        const int hasArg = takes == Takes::Nothing      ? no_argument
                           : takes == Takes::MaybeValue ? optional_argument
                                                        : required_argument;
        // The names are views of string literals, so their data ends in a NUL.
        options.push_back(
            {kBoardSettings[i].name.data(), hasArg, nullptr, kFirstSetting + static_cast<int>(i)});
    }
    options.push_back({nullptr, 0, nullptr, 0});
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, "", options.data(), nullptr)) != -1) {
        if (c >= kFirstSetting) {
            a.settings[size_t(c - kFirstSetting)] =
                optarg ? std::optional<std::string>(optarg) : std::nullopt;
        } else if (c == 's') {
            a.scenarioPath = optarg;
        } else if (c == 'l') {
            a.linkPath = optarg;
        } else if (c == 'h') {
            showHelp();
            return 1;
        } else {
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
    Arguments o;
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
    if (!applySettings(o, scenario)) return 2;

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
