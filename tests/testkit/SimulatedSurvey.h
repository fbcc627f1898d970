#pragma once
// A survey of a simulated site walked through the program's measuring path: the board inside
// the program (walkmere --simulate), the link, the board protocol, the live table, the point
// measurement or the walk session, and the store, which writes every point into the model's
// site file. No window: the walk stands in for the frame, ticking the measurement once a
// completed sweep, or feeding the walk session.

#include "coverage/HeatmapData.h"
#include "sim/SimulatedSite.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace walkmere::simtest {

struct Spot {
    int32_t x = 0;
    int32_t y = 0;
};

// A grid `metres` apart over the plan, a whole step in from its edges, row by row, each row
// walked the other way than the one before, as a surveyor walks it.
std::vector<Spot> surveyGrid(const sim::SimulatedSite& site, double metres);

// `count` random spots (always the same ones) inside the rectangle the survey's points span:
// where a map of the survey is compared with the truth.
std::vector<Spot> spotsInside(const SurveyData& survey, size_t count);

// Measures `spots` one after another with the model at `model`, each point lasting four
// sweeps of a board that scans every 100 ms. Returns how many points were stored; `why`
// says what stopped the walk early.
size_t surveyThroughProgram(const std::filesystem::path& model, std::span<const Spot> spots,
                            std::string& why);

// Walks the scripted walk at `walk` (walkmere --walker) over the model at `model` in walk
// mode, tapping at each waypoint at its time. The walker's clock, which the walk session's
// times follow, moves `stepSeconds` at a time; after each move the session is fed as the
// frame feeds it at a board update, once a whole sweep begun after the move is in the live
// table. The board scans where the walker has got to every `scanSeconds` on that clock (the
// board's interval) and at no other time, so its scans are as stale as a real board's and
// their draws of the fluctuation replay alike. Nothing waits for the clock: a walk of
// minutes takes seconds. Returns how many samples were written; `why` says what stopped
// the walk early.
size_t walkThroughProgram(const std::filesystem::path& model, const std::filesystem::path& walk,
                          double stepSeconds, double scanSeconds, std::string& why);

} // namespace walkmere::simtest
