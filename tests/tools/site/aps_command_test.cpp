// walkmere-site aps on a 3 m survey of the simulated demo office, walked through the
// program's measuring path: each of the model's radios is listed once with exactly its
// BSSIDs, and its position lies within the error measured when the survey was first run,
// plus a margin for other machines' timing of the walk. heatmap --aps marks them (the map
// is kept in the build folder's artifacts/ for people to look at).
#include "demo_survey.h"
#include "testkit/SimulatedOffice.h"
#include "testkit/SimulatedSurvey.h"
#include "testkit/SiteToolTesting.h"

#include "coverage/RssiColour.h"
#include "image/PngReader.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

namespace walkmere {
namespace {

using namespace sitetooltest;

constexpr double kPixelsPerMetre = 20; // the demo office's scale
// Location errors in metres when first measured, and the margin.
constexpr double kMedianError = 0.71, kWorstError = 1.10, kMargin = 0.5;

TEST(ApsCommand, ListsEachRadioOfTheSimulatedOfficeOnceWhereItStands) {
    testkit::TempDir dir;
    const simtest::SimulatedOffice office = simtest::makeDemoOffice(dir.path());
    const ModelSite model = simtest::openOffice(office);
    const sim::SiteModel& truth = model.site->model();
    const std::vector<simtest::Spot> grid = simtest::surveyGrid(*model.site, 3);
    std::string why;
    ASSERT_EQ(simtest::surveyThroughProgram(office.model, grid, why), grid.size()) << why;

    const ToolRun r = runTool({"aps", office.site.string(), "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const nlohmann::json listed = nlohmann::json::parse(r.out)["accessPoints"];
    // The model's radio of each BSSID, as the tool writes BSSIDs.
    std::map<std::string, std::pair<size_t, size_t>> radioOf;
    size_t radios = 0;
    for (size_t a = 0; a < truth.accessPoints.size(); ++a)
        for (size_t i = 0; i < truth.accessPoints[a].radios.size(); ++i, ++radios)
            for (const sim::ModelBss& bss : truth.accessPoints[a].radios[i].bss)
                radioOf[macText(bss.bssid.data())] = {a, i};

    std::set<std::pair<size_t, size_t>> seen;
    std::vector<double> errors;
    for (const nlohmann::json& ap : listed) {
        const auto radio = radioOf.at(ap["bssids"][0]["mac"].get<std::string>());
        EXPECT_TRUE(seen.insert(radio).second) << ap.dump();
        const sim::ModelAccessPoint& box = truth.accessPoints[radio.first];
        EXPECT_EQ(ap["bssids"].size(), box.radios[radio.second].bss.size()) << ap.dump();
        for (const nlohmann::json& bss : ap["bssids"])
            EXPECT_EQ(radioOf.at(bss["mac"].get<std::string>()), radio) << ap.dump();
        const nlohmann::json& at = ap["position"];
        ASSERT_FALSE(at.is_null()) << ap.dump();
        errors.push_back(std::hypot(at["x"].get<double>() - box.x, at["y"].get<double>() - box.y) /
                         kPixelsPerMetre);
        std::printf("%-14s ch %3d: %5.1f m off, +- %4.1f m\n", box.name.c_str(),
                    ap["channel"].get<int>(), errors.back(), at["uncertainty"].get<double>());
    }
    EXPECT_EQ(seen.size(), radios);
    ASSERT_FALSE(errors.empty());
    std::sort(errors.begin(), errors.end());
    const double median = errors[errors.size() / 2], worst = errors.back();
    std::printf("location error: median %.2f m, worst %.2f m\n", median, worst);
    EXPECT_LE(median, kMedianError + kMargin);
    EXPECT_LE(worst, kWorstError + kMargin);

    // The map marks each where it was located: the marker's blue at the middle of the
    // lowest one, clear of the legend.
    const std::string map = (demosurvey::artifactsFolder() / "simulated-aps.png").string();
    ASSERT_EQ(runTool({"heatmap", office.site.string(), "-o", map, "--aps", "--force"}).code, 0);
    const auto png = testkit::readFileBytes(map);
    RgbImage img;
    ASSERT_EQ(decodePng(png.data(), png.size(), img), "");
    const auto lowest = std::max_element(
        listed.begin(), listed.end(), [](const nlohmann::json& a, const nlohmann::json& b) {
            return a["position"]["y"].get<double>() < b["position"]["y"].get<double>();
        });
    const nlohmann::json& at = (*lowest)["position"];
    const uint8_t* p = img.at(int32_t(std::lround(at["x"].get<double>())),
                              int32_t(std::lround(at["y"].get<double>())));
    EXPECT_EQ((Rgb{p[0], p[1], p[2]}), (Rgb{40, 80, 230}));
}

} // namespace
} // namespace walkmere
