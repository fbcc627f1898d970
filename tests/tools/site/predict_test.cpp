// walkmere-site predict on the demo office's model: the map's values against the model's
// truth at chosen spots, the truth the tool prints, the access points on the map, and the
// models and options it refuses.
#include "testkit/SiteToolTesting.h"

#include "coverage/ModelSite.h"
#include "coverage/PredictedCoverage.h"
#include "image/PngReader.h"
#include "sim/SimulatedSite.h"
#include "sim/SiteModel.h"
#include "sim/TruthGrid.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace walkmere {
namespace {

using namespace sitetooltest;

std::string demoFile(const std::string& name) {
    const char* source = std::getenv("WALKMERE_SOURCE_DIR");
    return std::string(source ? source : ".") + "/res/demo/" + name;
}

// The demo office's model laid over its plan, made once; null when it does not bind.
const sim::SimulatedSite* demoSite() {
    static const std::optional<ModelSite> opened = [] {
        std::string error;
        return openModelSite(demoFile("office.json"), error);
    }();
    return opened ? opened->site.get() : nullptr;
}

struct ValueCase {
    const char* name;
    Metric metric;
    std::optional<std::string> ssid;
    Band band;
    double threshold;
    int32_t cell;
};

// The metric straight from the model's truth at the spot (BSSs strongest first), counted
// by the model's radios: the second strongest is another radio, never the serving radio's
// other network, and a radio sending two networks counts once.
std::optional<double> truthMetric(const sim::SimulatedSite& site, double x, double y,
                                  const ValueCase& c) {
    const auto radioOf = [&](const sim::HeardBss& h) -> const sim::ModelRadio& {
        return site.model().accessPoints[size_t(h.accessPoint)].radios[size_t(h.radio)];
    };
    const auto sameRadio = [](const sim::HeardBss& a, const sim::HeardBss& b) {
        return a.accessPoint == b.accessPoint && a.radio == b.radio;
    };
    // The radios among `bss` that `counts` takes, each once.
    const auto radios = [&](const std::vector<sim::HeardBss>& bss, auto counts) {
        std::vector<sim::HeardBss> taken;
        for (const sim::HeardBss& h : bss)
            if (counts(h) && std::none_of(taken.begin(), taken.end(),
                                          [&](const auto& t) { return sameRadio(t, h); }))
                taken.push_back(h);
        return double(taken.size());
    };
    const std::vector<sim::HeardBss> heard = site.truthAt(x, y);
    std::vector<sim::HeardBss> mapped;
    for (const sim::HeardBss& h : heard) {
        const sim::ModelRadio& radio = radioOf(h);
        const bool inBand = c.band == Band::Any ||
                            (c.band == Band::Ghz24 && radio.band == sim::RadioBand::Ghz24) ||
                            (c.band == Band::Ghz5 && radio.band == sim::RadioBand::Ghz5);
        if (inBand && (!c.ssid || radio.bss[size_t(h.bss)].ssid == *c.ssid)) mapped.push_back(h);
    }
    if (mapped.empty() && c.metric != Metric::Count) return std::nullopt;
    switch (c.metric) {
    case Metric::Best:
        return mapped[0].rssiDbm;
    case Metric::Second:
        for (const sim::HeardBss& h : mapped)
            if (!sameRadio(h, mapped[0])) return h.rssiDbm;
        return kNoSecondAp;
    case Metric::Count:
        return radios(mapped, [&](const sim::HeardBss& h) { return h.rssiDbm >= c.threshold; });
    case Metric::Overlap:
        return radios(heard, [&](const sim::HeardBss& h) {
            const sim::ModelRadio& serving = radioOf(mapped[0]);
            return !sameRadio(h, mapped[0]) && radioOf(h).band == serving.band &&
                   radioOf(h).channel == serving.channel && h.rssiDbm >= kOverlapLevel;
        });
    }
    return std::nullopt;
}

// Spots in the rooms, the corridor and the open area, they and the cells around them clear
// of walls (the grid takes a cell with part of a wall for a wall) and of the edges of the
// shadows of walls and door posts (where the grid's ray of cells and the true line may pass
// on either side).
constexpr int32_t kSpots[][2] = {{120, 180}, {270, 160}, {460, 140}, {710, 140},
                                 {260, 300}, {100, 410}, {510, 420}, {730, 440}};

// What the grid's values may differ from the truth at a cell's middle.
constexpr double kCellTolerance = 0.05; // dB

const ValueCase kValueCases[] = {
    {"best", Metric::Best, {}, Band::Any, -70, 1},
    {"best_in_cells_of_5", Metric::Best, {}, Band::Any, -70, 5},
    {"second", Metric::Second, {}, Band::Any, -70, 5},
    {"second_of_corp", Metric::Second, "Corp", Band::Any, -70, 1},
    {"count", Metric::Count, {}, Band::Any, -70, 1},
    {"count_5ghz_at_minus_60", Metric::Count, {}, Band::Ghz5, -60, 5},
    {"overlap", Metric::Overlap, {}, Band::Any, -70, 1},
    {"overlap_24ghz_of_guest", Metric::Overlap, "Guest", Band::Ghz24, -70, 9},
    // Every BSS heard, down to the noise floor.
    {"count_of_all_heard", Metric::Count, {}, Band::Any, -100, 5},
};

class PredictedValue : public ::testing::TestWithParam<ValueCase> {};

// The map's value at a cell's middle is the truth there; between the middles it lies
// between the truths at those around.
TEST_P(PredictedValue, IsTheTruthAtTheCellsMiddles) {
    const ValueCase& c = GetParam();
    const sim::SimulatedSite* site = demoSite();
    ASSERT_TRUE(site) << "the demo model does not bind to its plan";
    const MetricChoice choice{c.metric, c.band, c.threshold};
    NetworkFilter filter;
    filter.ssid = c.ssid;
    const sim::TruthGrid grid(*site, c.cell);
    const MapRaster values(site->width(), site->height(),
                           predictedNodes(*site, grid, filter, choice));
    std::vector<float> row(size_t(site->width()));
    const int32_t first = (c.cell - 1) / 2; // the pixel at the middle of the first cell
    for (const auto& [x, y] : kSpots) {
        SCOPED_TRACE("at " + std::to_string(x) + "," + std::to_string(y));
        double least = INFINITY, most = -INFINITY;
        const int32_t left = x - (x - first) % c.cell, top = y - (y - first) % c.cell;
        for (const int32_t nodeX : {left, left + c.cell})
            for (const int32_t nodeY : {top, top + c.cell}) {
                // The middle of pixel (nodeX, nodeY), a cell's middle.
                const auto truth = truthMetric(*site, nodeX + 0.5, nodeY + 0.5, c);
                ASSERT_TRUE(truth);
                values.fillRow(nodeY, row.data());
                EXPECT_NEAR(row[size_t(nodeX)], *truth, kCellTolerance) << nodeX << "," << nodeY;
                least = std::min(least, *truth);
                most = std::max(most, *truth);
            }
        values.fillRow(y, row.data());
        EXPECT_GE(row[size_t(x)], least - kCellTolerance);
        EXPECT_LE(row[size_t(x)], most + kCellTolerance);
    }
}

INSTANTIATE_TEST_SUITE_P(DemoOffice, PredictedValue, ::testing::ValuesIn(kValueCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PredictTruthAt, PrintsEveryBssTheModelGivesThere) {
    const sim::SimulatedSite* site = demoSite();
    ASSERT_TRUE(site);
    const ToolRun r = runTool({"predict", demoFile("office.json"), "--truth-at", "240.5,200"});
    ASSERT_EQ(r.code, 0) << r.err;
    const nlohmann::json printed = nlohmann::json::parse(r.out);
    EXPECT_EQ(printed["x"], 240.5);
    EXPECT_EQ(printed["y"], 200);
    const std::vector<sim::HeardBss> truth = site->truthAt(240.5, 200);
    ASSERT_EQ(printed["heard"].size(), truth.size());
    ASSERT_GT(truth.size(), 2u);
    for (size_t i = 0; i < truth.size(); ++i) {
        const sim::HeardBss& h = truth[i];
        const sim::ModelAccessPoint& ap = site->model().accessPoints[size_t(h.accessPoint)];
        const sim::ModelRadio& radio = ap.radios[size_t(h.radio)];
        const nlohmann::json& bss = printed["heard"][i];
        SCOPED_TRACE(bss.dump());
        EXPECT_EQ(bss["accessPoint"], ap.name);
        EXPECT_EQ(bss["band"], sim::bandWord(radio.band));
        EXPECT_EQ(bss["channel"], radio.channel);
        EXPECT_EQ(bss["bssid"], sim::bssidText(radio.bss[size_t(h.bss)].bssid));
        EXPECT_EQ(bss["ssid"], radio.bss[size_t(h.bss)].ssid);
        EXPECT_NEAR(bss["rssi"].get<double>(), h.rssiDbm, 0.05);
        EXPECT_EQ(bss["walls"], site->wallsCrossed(h.accessPoint, 240.5, 200));
    }
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The demo model in `dir` with its site named by its full path and one text replaced.
std::string demoModelWith(const testkit::TempDir& dir, const std::string& from,
                          const std::string& to) {
    std::string json = readText(demoFile("office.json"));
    const auto replace = [&](const std::string& a, const std::string& b) {
        const size_t at = json.find(a);
        if (at == std::string::npos) throw std::runtime_error("the demo model has no " + a);
        json.replace(at, a.size(), b);
    };
    replace("\"site\": \"office.kvs\"", "\"site\": \"" + demoFile("office.kvs") + "\"");
    if (!from.empty()) replace(from, to);
    const std::string path = dir.file("model.json").string();
    std::ofstream(path) << json;
    return path;
}

TEST(PredictMap, MarksTheAccessPointsAndHatchesWhereNothingIsHeard) {
    testkit::TempDir dir;
    // A deaf receiver: away from the access points nothing is heard.
    const std::string model = demoModelWith(dir, "\"noiseFloor\": {\"2.4\": -95, \"5\": -95}",
                                            "\"noiseFloor\": {\"2.4\": -50, \"5\": -50}");
    const ToolRun truth = runTool({"predict", model, "--truth-at", "450,560"});
    ASSERT_EQ(truth.code, 0) << truth.err;
    ASSERT_TRUE(nlohmann::json::parse(truth.out)["heard"].empty());
    const std::string map = dir.file("map.png").string();
    const ToolRun r = runTool({"predict", model, "-o", map});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto png = testkit::readFileBytes(map);
    RgbImage img;
    ASSERT_EQ(decodePng(png.data(), png.size(), img), "");
    const auto pixel = [&](int32_t x, int32_t y) {
        const uint8_t* p = img.at(x, y);
        return Rgb{p[0], p[1], p[2]};
    };
    // Clear of the legend; a placed access point's blue diamond.
    for (const auto& [x, y] : {std::pair{300, 300}, {595, 440}, {670, 235}, {795, 100}})
        EXPECT_EQ(pixel(x, y), (Rgb{40, 80, 230})) << x << "," << y;
    // On white floor: hatched grey where nothing is heard, coloured near an access point.
    const Rgb unheard = pixel(450, 560);
    EXPECT_TRUE(unheard.r == unheard.g && unheard.g == unheard.b && unheard.r < 255);
    const Rgb heard = pixel(250, 300);
    EXPECT_FALSE(heard.r == heard.g && heard.g == heard.b);
}

struct RefusalCase {
    const char* name;
    const char* from; // the model's text replaced, if any
    const char* to;
    std::vector<std::string> args; // after the model
    int code;
    const char* message;
};

const RefusalCase kRefusals[] = {
    {"damaged_model",
     "\"channel\": 1,",
     "\"channel\": 15,",
     {"-o", "map.png"},
     1,
     "accessPoints[0].radios[0].channel"},
    {"missing_site", "office.kvs\"", "missing.kvs\"", {"-o", "map.png"}, 1, "missing.kvs"},
    {"access_point_off_the_plan",
     "\"x\": 95,",
     "\"x\": 950,",
     {"-o", "map.png"},
     1,
     "accessPoints[0].x: 950 is off the plan"},
    {"nothing_to_map", "", "", {"-o", "map.png", "--ssid", "Nobody"}, 1, "nothing to map"},
    {"truth_off_the_plan", "", "", {"--truth-at", "800,10"}, 2, "off the plan"},
    {"truth_not_a_spot", "", "", {"--truth-at", "12"}, 2, "X,Y"},
    {"truth_and_a_map", "", "", {"--truth-at", "10,10", "-o", "map.png"}, 2, "without -o"},
    {"profile_and_a_metric",
     "",
     "",
     {"-o", "map.png", "--profile", "voice", "--metric", "count"},
     2,
     "without --metric"},
    {"profile_file_missing",
     "",
     "",
     {"-o", "map.png", "--profile", "no-such-profile.json"},
     1,
     "no-such-profile.json: cannot open the profile"},
};

// Where the model meets the voice profile on 5 GHz: some of the office, not all of it.
TEST(PredictMap, JudgesTheModelByAProfile) {
    testkit::TempDir dir;
    const std::string map = dir.file("map.png").string();
    const ToolRun r = runTool(
        {"predict", demoFile("office.json"), "-o", map, "--profile", "voice", "--band", "5"});
    ASSERT_EQ(r.code, 0) << r.err;
    double passing = 0;
    const size_t at = r.out.find("voice profile map, 800 x 600 pixels");
    ASSERT_NE(at, std::string::npos) << r.out;
    ASSERT_EQ(std::sscanf(r.out.c_str() + r.out.find(" pixels, ", at + 40) + 9, "%lf %% passing",
                          &passing),
              1)
        << r.out;
    EXPECT_GT(passing, 20);
    EXPECT_LT(passing, 80);
}

class PredictRefuses : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(PredictRefuses, WithTheReason) {
    const RefusalCase& c = GetParam();
    testkit::TempDir dir;
    std::vector<std::string> args{"predict", demoModelWith(dir, c.from, c.to)};
    for (const std::string& a : c.args)
        args.push_back(a == "map.png" ? dir.file(a).string() : a);
    const ToolRun r = runTool(args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("map.png")));
}

INSTANTIATE_TEST_SUITE_P(Predict, PredictRefuses, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace walkmere
