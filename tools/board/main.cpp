// walkmere-board: the stand-in scanner board on a pseudo-terminal.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <getopt.h>
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "board/BoardSettings.h"
#include "board/PseudoTerminal.h"
#include "board/Scenario.h"
#include "board/StandInBoard.h"
#include "board/TriggerPermission.h"
#include "board/WifiFeed.h"
#include "coverage/ModelSite.h"
#include "platform/Version.h"
#include "sim/SimulatedWifiSource.h"
#include "tools/board/SurveyorInput.h"

using namespace walkmere;

namespace {

// The options of the settings table go between the two halves of the usage.
const char* const kUsage =
    R"(Usage: walkmere-board [options]

Stands in for the Wi-Fi scanner board: opens a pseudo-terminal, prints its slave path
(the port to give walkmere) on one line, and answers the board protocol there until
SIGTERM or SIGINT. The program on the other side may close and reopen the port.
With --wifi or --wifi-replay the APs are the 16 strongest BSSs of the laptop's adapter's
latest scan (or of a capture's) instead of a scenario's; a Wi-Fi error ends the board
with status 1.

With --simulate MODEL.json they are the 16 strongest BSSs that a site model gives where
the surveyor stands, with the model's fluctuation, one scan every interval: the model is
laid over the plan and scale of the site file it names. The surveyor's position comes on
standard input, "x y" in plan pixels (decimals allowed) one a line, and is scanned at
once; a line that is not one is said on stderr and ignored. Until the first line the
surveyor stands in the middle of the plan; at the end of the input, where the last line
put them. A model that cannot be used (its key and what is wrong are said) or does not fit
its site ends the board with status 1.

Options:
  --scenario FILE    APs and faults to serve (default: the built-in scenario below)
  --link PATH        also make a symbolic link PATH to the port (removed at exit)
  --end-with-parent  end when the program that started the board ends, however it
                     ends (walkmere starts its board so)
)";
const char* const kUsageEnd = R"(  --version          show the version
  --help             show this text

)";

struct Arguments {
    std::string scenarioPath, linkPath;
    bool endWithParent = false;
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

// 0: go on, 1: stop with success (--help, --version), 2: usage error.
int parseArguments(int argc, char** argv, Arguments& a) {
    constexpr int kFirstSetting = 1000; // getopt_long returns this plus the setting's index
    std::vector<option> options = {
        {"scenario", required_argument, nullptr, 's'},
        {"link", required_argument, nullptr, 'l'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'v'},
        {"end-with-parent", no_argument, nullptr, 'p'},
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
        } else if (c == 'p') {
            a.endWithParent = true;
        } else if (c == 'h') {
            showHelp();
            return 1;
        } else if (c == 'v') {
            std::printf("walkmere-board %s\n", kVersion);
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

// The feed's first error after the start, said by main once the feed has stopped it.
std::mutex feedErrorLock;
std::string feedError;

void stopOnFeedError(const std::string& error) {
    {
        std::lock_guard<std::mutex> guard(feedErrorLock);
        if (!feedError.empty()) return;
        feedError = error;
    }
    ::kill(::getpid(), SIGTERM); // blocked everywhere: main's sigwait takes it
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
    if (o.endWithParent) {
        // Should the program that started the board end without stopping it (a crash), the
        // kernel sends the SIGTERM that stops it. The board asks for this itself: the request
        // of a parent is dropped when a program with file capabilities starts.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() == 1) return 0; // it has already ended
    }

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
    // The built-in scenario's APs give way to the adapter's; a file's are a mistake.
    if (o.scenarioPath.empty() && scenario.wifi.used()) scenario.aps.clear();
    if (const std::string wrong = checkWifiSettings(scenario); !wrong.empty()) {
        fail(wrong);
        return 2;
    }
    // Said at once: without the capability the first trigger is refused, and the board goes
    // on with the scans the system makes by itself.
    if (scenario.wifi.trigger) {
        const std::string missing = missingTriggerPermission(::getpid(), "/proc/self/exe");
        if (!missing.empty()) fail(missing);
    }

    // Block the stop signals before any thread starts, so only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::unique_ptr<WifiFeed> feed;
    std::optional<ModelSite> model;                  // --simulate
    std::shared_ptr<sim::SurveyorPosition> surveyor; // where it is heard
    if (scenario.wifi.used()) {
        std::unique_ptr<IWifiSource> source;
        if (!scenario.wifi.modelPath.empty()) {
            model = openModelSite(scenario.wifi.modelPath, error);
            if (!model) {
                fail(error);
                return 1;
            }
            surveyor = std::make_shared<sim::SurveyorPosition>(
                sim::PlanSpot{model->site->width() / 2.0, model->site->height() / 2.0});
            source = std::make_unique<sim::SimulatedWifiSource>(model->site, surveyor,
                                                                scenario.wifi.modelPath);
        } else {
            source = openWifiSource(scenario.wifi, error);
        }
        if (!source) {
            fail(error);
            return 1;
        }
        feed = std::make_unique<WifiFeed>(std::move(source), scenario.wifi.interval());
        feed->setNoticeSink([](const std::string& notice) {
            std::fprintf(stderr, "walkmere-board: %s\n", notice.c_str());
        });
        feed->setErrorSink(stopOnFeedError);
        if (!feed->start(error)) {
            fail(error);
            return 1;
        }
    }

    std::optional<PseudoTerminal> pty = PseudoTerminal::open(error);
    if (!pty) {
        fail(error);
        return 1;
    }
    if (!o.linkPath.empty() && !makeLink(o.linkPath, pty->slavePath())) return 1;

    std::optional<StandInBoard> board;
    if (feed)
        board.emplace(pty->masterFd(), scenario, *feed);
    else
        board.emplace(pty->masterFd(), scenario);
    board->start();
    std::printf("%s\n", pty->slavePath().c_str());
    std::fflush(stdout);

    // The surveyor walks the simulated site as standard input says.
    std::optional<SurveyorInput> input;
    if (surveyor) {
        input.emplace(
            STDIN_FILENO, model->site->width(), model->site->height(),
            [&](sim::PlanSpot spot) {
                surveyor->set(spot);
                feed->readNow();
            },
            [](const std::string& problem) {
                std::fprintf(stderr, "walkmere-board: %s\n", problem.c_str());
            });
        if (!input->start(error)) {
            fail(error);
            input.reset();
        }
    }

    int signal = 0;
    sigwait(&stopSignals, &signal);
    if (input) input->stop(); // it asks the feed for scans
    board->stop();
    if (feed) feed->stop();
    if (!o.linkPath.empty()) removeLink(o.linkPath, pty->slavePath());
    {
        std::lock_guard<std::mutex> guard(feedErrorLock);
        if (!feedError.empty()) {
            fail(feedError);
            return 1;
        }
    }

    BoardStats s = board->stats();
    std::fprintf(stderr,
                 "walkmere-board: stopped; requests: firmware %u, serial %u, entry %u, "
                 "malformed %u, other %u; packets %u; %llu bytes written\n",
                 s.firmwareRequests, s.serialRequests, s.entryRequests, s.malformedRequests,
                 s.otherFrames, s.packets, static_cast<unsigned long long>(s.bytesWritten));
    return 0;
}
