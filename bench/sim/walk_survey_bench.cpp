// Walking against stop-and-go on the simulated demo office.
//
// Pace: the program's own walk sampler and point measurement, fed on a clock of their own by
// sweeps every P ms: 321 ms is the stand-in board paced at 38400 baud (sweep_rate_bench),
// 384 ms a board whose requests travel at line speed too, 2000 ms a laptop adapter's scans
// (--wifi). A point measured standing still counts the decertify time (30) of sweeps, at most
// one a tick of the frame's 750 ms timer; a walk takes a sample a second, or one a sweep when
// sweeps are slower. Counters: walked samples a minute; seconds standing per measured point,
// and measured points a minute with 3 s of walking between spots 3 m apart.
//
// Error: the best access point's map (kriging, 5 m radius) set against the model's truth at
// 1,000 random spots inside the rectangle the points span, as tests/coverage/ground_truth
// measures it: a 5-minute serpentine walk of the whole office (7 rows 4 m apart) through the
// program's walking path, the board scanning every 0.5 s and every 2 s (the default
// interval, whose scans lag the walker), beside the 3 m grid measured standing still.
#include "coverage/HeatmapRender.h"
#include "coverage/PlanScale.h"
#include "coverage/PredictedCoverage.h"
#include "scan/BoardProtocol.h"
#include "scan/LiveApTable.h"
#include "survey/PointMeasurement.h"
#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"
#include "survey/WalkSampler.h"
#include "testkit/ManualClock.h"
#include "testkit/RecordingFrameQueue.h"
#include "testkit/SimulatedOffice.h"
#include "testkit/SimulatedSurvey.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <random>

using namespace walkmere;
using namespace std::chrono_literals;

namespace {

constexpr std::chrono::milliseconds kTick{750};

ApRecord heardNow() {
    ApRecord r;
    const uint8_t mac[6] = {0x02, 0, 0, 0, 0, 1};
    r.setMac(mac);
    r.setChannelCode(5180);
    r.setRssi(-60);
    return r;
}

SweepSlots sweepOfOne() {
    SweepSlots slots{};
    slots[1] = heardNow();
    return slots;
}

double walkedSamplesPerMinute(std::chrono::milliseconds sweep) {
    CLiveApTable table;
    WalkSampler sampler(table);
    sampler.restart(0ms);
    int samples = 0;
    for (WalkTime t = sweep; t <= 10min; t += sweep) {
        table.processSweep(sweepOfOne());
        samples += sampler.update(t) ? 1 : 0;
    }
    return samples / 10.0;
}

// Seconds from a tap to the point's commit, over 10 points one after another.
double standingSecondsPerPoint(std::chrono::milliseconds sweep) {
    testkit::RecordingFrameQueue queue;
    CLiveApTable table;
    testkit::ManualClock clock;
    CBoardProtocol board(queue, table, clock);
    CSurveyStore store;
    PointMeasurement measurement(store, board, table);
    std::chrono::milliseconds now{0}, nextSweep = sweep, nextTick = kTick;
    const int points = 10;
    for (int p = 0; p < points; ++p) {
        measurement.begin(0, 0, "TEST");
        while (!measurement.done()) {
            if (nextSweep <= nextTick) {
                now = nextSweep;
                nextSweep += sweep;
                board.sweepComplete = 1;
                continue;
            }
            now = nextTick;
            nextTick += kTick;
            board.replyEvent.set(); // a stalled sweep's restart does not wait for an answer
            measurement.tick();
        }
        (void)measurement.takeFinished(); // at the next board update, the next sweep's
        now = std::max(now, nextSweep - sweep);
    }
    return std::chrono::duration<double>(now).count() / points;
}

void BM_Pace(benchmark::State& state) {
    const std::chrono::milliseconds sweep{state.range(0)};
    double samples = 0, standing = 0;
    for (auto _ : state) {
        samples = walkedSamplesPerMinute(sweep);
        standing = standingSecondsPerPoint(sweep);
    }
    state.counters["walked_samples_per_min"] = samples;
    state.counters["standing_s_per_point"] = standing;
    state.counters["measured_points_per_min"] = 60.0 / (standing + 3.0);
}
BENCHMARK(BM_Pace)->Arg(321)->Arg(384)->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond);

// Rows 4 m apart across the office, walked at an even pace that takes 5 minutes.
std::filesystem::path writeSerpentine(const testkit::TempDir& dir) {
    std::vector<std::pair<double, double>> turns;
    for (int row = 0; row < 7; ++row) {
        const double y = 40 + 80 * row;
        turns.emplace_back(row % 2 ? 760 : 40, y);
        turns.emplace_back(row % 2 ? 40 : 760, y);
    }
    double length = 0;
    for (size_t i = 1; i < turns.size(); ++i)
        length +=
            std::hypot(turns[i].first - turns[i - 1].first, turns[i].second - turns[i - 1].second);
    const double pixelsPerSecond = length / 300;
    const std::filesystem::path path = dir.file("serpentine.json");
    std::ofstream out(path);
    out << "{\"walk\": [";
    double t = 0;
    for (size_t i = 0; i < turns.size(); ++i) {
        if (i)
            t += std::hypot(turns[i].first - turns[i - 1].first,
                            turns[i].second - turns[i - 1].second) /
                 pixelsPerSecond;
        out << (i ? ", " : "") << "{\"t\": " << t << ", \"x\": " << turns[i].first
            << ", \"y\": " << turns[i].second << "}";
    }
    out << "]}";
    return path;
}

// The best map's mean absolute error against the truth, over 1,000 spots.
double bestMapError(const simtest::SimulatedOffice& office, const sim::SimulatedSite& site) {
    const ReadOnlySite surveyed = openSiteReadOnly(office.site.string());
    SurveyData survey;
    if (!surveyed.accepted() ||
        !readSurvey(surveyed.fd.get(), surveyed.validation.layout, survey).empty() ||
        survey.points.empty())
        return NAN;
    const SiteHeader& header = surveyed.validation.layout.header;
    HeatmapOptions options;
    options.radius = PlanScale{header.pixelsPerUnitX(), header.pixelsPerUnitY(), "m"}.pixels(
        kDefaultRadiusMetres);
    const SurveyValues map(survey, {}, options, site.width(), site.height());
    std::vector<float> row(size_t(site.width()));
    double sum = 0;
    int counted = 0;
    for (const simtest::Spot& spot : simtest::spotsInside(survey, 1000)) {
        const int32_t x = spot.x, y = spot.y;
        map.raster->fillRow(y, row.data());
        const std::optional<double> truth = truthMetricAt(site, x + 0.5, y + 0.5, {}, options);
        if (std::isnan(row[size_t(x)]) || !truth) continue;
        sum += std::abs(row[size_t(x)] - *truth);
        ++counted;
    }
    return counted ? sum / counted : NAN;
}

// 0: the 3 m grid standing still; else a 5-minute walk, the board scanning every
// range(0) ms.
void BM_MapError(benchmark::State& state) {
    double error = NAN;
    size_t points = 0;
    for (auto _ : state) {
        testkit::TempDir dir;
        const simtest::SimulatedOffice office = simtest::makeDemoOffice(dir.path());
        const ModelSite model = simtest::openOffice(office);
        std::string why;
        if (state.range(0) == 0) {
            const std::vector<simtest::Spot> grid = simtest::surveyGrid(*model.site, 3);
            points = simtest::surveyThroughProgram(office.model, grid, why);
        } else {
            points = simtest::walkThroughProgram(office.model, writeSerpentine(dir), 0.25,
                                                 state.range(0) / 1000.0, why);
        }
        if (!why.empty()) state.SkipWithError(why.c_str());
        error = bestMapError(office, *model.site);
    }
    state.counters["points"] = double(points);
    state.counters["best_mae_db"] = error;
}
BENCHMARK(BM_MapError)->Arg(0)->Arg(500)->Arg(2000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
