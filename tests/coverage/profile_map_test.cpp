// Requirement profiles against the truth: the demo office's model surveyed on a 3 m grid
// through the program's measuring path, each profile's pass/fail worked out from the
// survey's interpolated maps and from the model's truth at 1,000 random spots inside the
// surveyed area. Also: a profile file with the built-ins' numbers draws the same map as the
// built-in, and damaged files are refused with the key and the reason.
#include "coverage/PlanScale.h"
#include "coverage/PredictedCoverage.h"
#include "coverage/ProfileMap.h"
#include "survey/SiteFile.h"
#include "testkit/SimulatedOffice.h"
#include "testkit/SimulatedSurvey.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/stat.h>

namespace walkmere {
namespace {

struct SurveyedOffice {
    testkit::TempDir dir;
    simtest::SimulatedOffice office;
    std::optional<ModelSite> model;
    SurveyData survey;
    double radius = 0; // what the site tool gives the calibrated plan
};

void surveyOffice(SurveyedOffice& s) {
    s.office = simtest::makeDemoOffice(s.dir.path());
    s.model = simtest::openOffice(s.office);
    const std::vector<simtest::Spot> grid = simtest::surveyGrid(*s.model->site, 3);
    std::string why;
    if (simtest::surveyThroughProgram(s.office.model, grid, why) != grid.size())
        throw std::runtime_error(why);
    const ReadOnlySite surveyed = openSiteReadOnly(s.office.site.string());
    if (!readSurvey(surveyed.fd.get(), surveyed.validation.layout, s.survey).empty())
        throw std::runtime_error("the survey cannot be read back");
    const SiteHeader& h = surveyed.validation.layout.header;
    s.radius = PlanScale{h.pixelsPerUnitX(), h.pixelsPerUnitY(), "m"}.pixels(kDefaultRadiusMetres);
}

// Surveyed once for every test of the file: the walk takes a while.
const SurveyedOffice& surveyedOffice() {
    static SurveyedOffice office;
    static const bool surveyed = (surveyOffice(office), true);
    (void)surveyed;
    return office;
}

struct AgreementCase {
    const char* profile;
    Band band;
    double measured; // share of spots where survey and truth agree, when first run
};

// One band at a time: over both bands the office meets every profile almost everywhere,
// which any map agrees with. A spot disagrees where the truth lies within the
// interpolation's error (about 2 dB, see ground_truth_test) of one of the profile's levels,
// or a count or co-channel map rounds the other way. The margin takes in other timings of
// the walk.
constexpr AgreementCase kAgreement[] = {
    {"voice", Band::Ghz24, 0.913},
    {"voice", Band::Ghz5, 0.821},
    {"location", Band::Ghz24, 0.885},
    {"location", Band::Ghz5, 0.861},
};
constexpr double kAgreementMargin = 0.04;

TEST(RequirementProfiles, PassOrFailFromASurveyAgreesWithTheTruthAtMostSpots) {
    const SurveyedOffice& office = surveyedOffice();
    const sim::SimulatedSite& site = *office.model->site;
    const auto [left, right] =
        std::minmax_element(office.survey.points.begin(), office.survey.points.end(),
                            [](auto& a, auto& b) { return a.x < b.x; });
    const auto [top, bottom] =
        std::minmax_element(office.survey.points.begin(), office.survey.points.end(),
                            [](auto& a, auto& b) { return a.y < b.y; });
    std::vector<float> row(size_t(site.width()));
    for (const AgreementCase& c : kAgreement) {
        SCOPED_TRACE(std::string(c.profile) + " " + bandName(c.band));
        const RequirementProfile profile = *builtInProfile(c.profile);
        HeatmapOptions options;
        options.band = c.band;
        options.radius = office.radius;
        const SurveyProfileValues values(office.survey, {}, options, profile, site.width(),
                                         site.height());
        std::mt19937 random(2025);
        std::uniform_int_distribution<int32_t> spotX(left->x, right->x), spotY(top->y, bottom->y);
        int agree = 0, truePasses = 0;
        const int spots = 1000;
        for (int n = 0; n < spots; ++n) {
            const int32_t x = spotX(random), y = spotY(random);
            bool surveyPasses = true, truthPasses = true;
            for (size_t i = 0; i < kRequirementCount; ++i) {
                values.rasters()[i]->fillRow(y, row.data());
                const Requirement r = kRequirements[i];
                const auto truth = truthMetricAt(site, x + 0.5, y + 0.5, {},
                                                 requirementChoice(profile, r, options));
                surveyPasses = surveyPasses && meetsRequirement(profile, r, row[size_t(x)]);
                truthPasses = truthPasses && meetsRequirement(profile, r, truth ? *truth : NAN);
            }
            agree += surveyPasses == truthPasses;
            truePasses += truthPasses;
        }
        const double agreement = double(agree) / spots;
        std::printf("%-8s %-7s agrees with the truth at %.1f %% of spots; the truth passes at "
                    "%.1f %%\n",
                    c.profile, bandName(c.band), 100 * agreement, 100.0 * truePasses / spots);
        EXPECT_GE(agreement, c.measured - kAgreementMargin);
        // Agreement means nothing where the truth passes or fails everywhere.
        EXPECT_GT(truePasses, spots / 20);
        EXPECT_LT(truePasses, spots - spots / 20);
    }
}

// The built-ins as the README writes them out.
constexpr const char* kBuiltInFiles[] = {
    R"({"name": "data", "primary": -70, "secondary": null, "accessPoints": {"count": 1, "at": -70}, "coChannel": 3})",
    R"({"name": "voice", "primary": -67, "secondary": -67, "accessPoints": {"count": 2, "at": -67}, "coChannel": 2})",
    R"({"name": "location", "primary": -67, "secondary": -70, "accessPoints": {"count": 3, "at": -75}, "coChannel": 3})",
};

TEST(RequirementProfiles, AFileWithABuiltInsNumbersDrawsTheSameMap) {
    const SurveyedOffice& office = surveyedOffice();
    const RgbImage plan(office.model->site->width(), office.model->site->height(), 255);
    HeatmapOptions options;
    options.radius = office.radius;
    for (size_t i = 0; i < std::size(kBuiltInFiles); ++i) {
        const RequirementProfile builtIn = builtInProfiles()[i];
        SCOPED_TRACE(builtIn.name);
        const std::filesystem::path file = office.dir.file("profile.json");
        std::ofstream(file) << kBuiltInFiles[i];
        std::string error;
        const auto read = loadRequirementProfile(file.string(), error);
        ASSERT_TRUE(read) << error;
        const ProfileMap fromFile = renderProfileMap(plan, office.survey, {}, options, *read);
        const ProfileMap fromName = renderProfileMap(plan, office.survey, {}, options, builtIn);
        EXPECT_EQ(fromFile.share.passing, fromName.share.passing);
        EXPECT_EQ(fromFile.share.meeting, fromName.share.meeting);
        EXPECT_EQ(fromFile.image.pixels, fromName.image.pixels);
    }
}

TEST(RequirementProfiles, DamagedFilesAreRefusedWithTheKeyAndTheReason) {
    const struct {
        const char* json;
        const char* error;
    } cases[] = {
        {R"({"name": "x", "primary": -67, "accessPoints": {"count": 2, "at": -67}, "coChannel": 2, "jitter": 1})",
         "jitter: not a key of a profile"},
        {R"({"name": "x", "primary": -67, "accessPoints": {"count": 2, "at": -67, "of": 1}, "coChannel": 2})",
         "accessPoints.of: not a key of a profile"},
        {R"({"name": "x", "primary": 5, "accessPoints": {"count": 2, "at": -67}, "coChannel": 2})",
         "primary: 5 is out of range (-120 to 0 dBm)"},
        {R"({"name": "x", "primary": -67, "accessPoints": {"count": 0, "at": -67}, "coChannel": 2})",
         "accessPoints.count: 0 is out of range (1 to 32)"},
        {R"({"name": "x", "primary": -67, "accessPoints": {"count": 2, "at": -67}, "coChannel": 1.5})",
         "coChannel: 1.5 is not a whole number"},
        {R"({"name": "x", "primary": "-67", "accessPoints": {"count": 2, "at": -67}, "coChannel": 2})",
         "primary: must be a number, not a string"},
        {R"({"name": "x", "primary": -67, "accessPoints": {"count": 2, "at": -67}})",
         "coChannel: missing"},
        {R"({"name": "x", "primary": -67, "primary": -60, "accessPoints": {"count": 2, "at": -67}, "coChannel": 2})",
         "primary: given twice"},
        {R"({"name": "", "primary": -67, "accessPoints": {"count": 2, "at": -67}, "coChannel": 2})",
         "name: is empty"},
        {R"({"name": "x", "primary": -67,)", "not JSON: line 1, column 30"},
    };
    testkit::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        std::ofstream(dir.file("bad.json"), std::ios::trunc) << c.json;
        std::string error;
        EXPECT_FALSE(loadRequirementProfile(dir.file("bad.json").string(), error));
        EXPECT_EQ(error.rfind(dir.file("bad.json").string() + ": " + c.error, 0), 0u) << error;
    }
    // Not a regular file: refused at once, a FIFO without a writer too.
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    for (const char* name : {"fifo", "."}) {
        std::string error;
        EXPECT_FALSE(loadRequirementProfile(dir.file(name).string(), error));
        EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    }
}

} // namespace
} // namespace walkmere
