// The four coverage metrics and the band filter on a survey whose answers are worked out by
// hand: AP 01 and AP 02 share channel 6, AP 03 is on 5 GHz channel 36 and AP 04 on
// channel 6 (another network) at and just below the co-channel level; AP 06 is on 6 GHz
// channel 6, which no 2.4 GHz channel 6 contends with. Counted by BSSID; counted by radio,
// the BSSIDs on 2.4 GHz channel 6 (00-1A-2B-3C-4D-01, -02, -04, -05) are one.
#include "testkit/SiteToolTesting.h"

#include "coverage/CoverageMetric.h"
#include "image/PngReader.h"
#include "survey/SiteFile.h"
#include "survey/SurveyStore.h"

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <sys/stat.h>

namespace walkmere {
namespace {

using namespace sitetooltest;

constexpr int32_t kPointX[] = {250, 350, 450}; // clear of the legend
constexpr int32_t kPointY = 150;

// What each point heard, strongest first; the values each metric gives are in kCases.
//   P1: AP01 -50 ch6, AP02 -60 ch6, AP03 -70 ch36
//   P2: AP03 -40 ch36, AP01 -80 ch6, AP02 -90 ch6
//   P3: AP02 -55 ch6, AP04 -84 ch6, AP01 -85 ch6 (both co-channel), AP05 -86 ch6 (not),
//       AP06 -84 6 GHz ch6 (another band)
std::vector<std::vector<ApRecord>> heard() {
    ApRecord sixGhz = heardAp(6, -84, 6, "d");
    sixGhz.markSixGhz();
    return {{heardAp(1, -50, 6, "a"), heardAp(2, -60, 6, "a"), heardAp(3, -70, 36, "b")},
            {heardAp(3, -40, 36, "b"), heardAp(1, -80, 6, "a"), heardAp(2, -90, 6, "a")},
            {heardAp(2, -55, 6, "a"), heardAp(4, -84, 6, "c"), heardAp(1, -85, 6, "a"),
             heardAp(5, -86, 6, "c"), sixGhz}};
}

struct MetricCase {
    const char* name;
    std::vector<std::string> args;
    Metric metric;
    Band band;
    std::optional<double> expected[3];
    Grouping group = Grouping::Bssid;
};

const std::optional<double> none;

const MetricCase kCases[] = {
    {"best", {}, Metric::Best, Band::Any, {-50, -40, -55}},
    {"second", {"--metric", "second"}, Metric::Second, Band::Any, {-60, -80, -84}},
    {"count", {"--metric", "count"}, Metric::Count, Band::Any, {3, 1, 1}},
    {"count_at_minus60",
     {"--metric", "count", "--threshold", "-60"},
     Metric::Count,
     Band::Any,
     {2, 1, 1}},
    {"overlap", {"--metric", "overlap"}, Metric::Overlap, Band::Any, {1, 0, 2}},
    // The strongest of network a; every network on its channel contends.
    {"overlap_of_a", {"--metric", "overlap", "--ssid", "a"}, Metric::Overlap, Band::Any, {1, 0, 2}},
    {"second_of_a",
     {"--metric", "second", "--ssid", "a"},
     Metric::Second,
     Band::Any,
     {-60, -90, -85}},
    {"best_24", {"--band", "2.4"}, Metric::Best, Band::Ghz24, {-50, -80, -55}},
    {"second_24",
     {"--metric", "second", "--band", "2.4"},
     Metric::Second,
     Band::Ghz24,
     {-60, -90, -84}},
    {"count_24", {"--metric", "count", "--band", "2.4"}, Metric::Count, Band::Ghz24, {2, 0, 1}},
    {"overlap_24",
     {"--metric", "overlap", "--band", "2.4"},
     Metric::Overlap,
     Band::Ghz24,
     {1, 0, 2}},
    {"best_5", {"--band", "5"}, Metric::Best, Band::Ghz5, {-70, -40, none}},
    {"second_5",
     {"--metric", "second", "--band", "5"},
     Metric::Second,
     Band::Ghz5,
     {-100, -100, none}},
    {"overlap_5",
     {"--metric", "overlap", "--band", "5"},
     Metric::Overlap,
     Band::Ghz5,
     {0, 0, none}},
    {"best_6", {"--band", "6"}, Metric::Best, Band::Ghz6, {none, none, -84}},
    {"overlap_6",
     {"--metric", "overlap", "--band", "6"},
     Metric::Overlap,
     Band::Ghz6,
     {none, none, 0}},
    // One radio on 2.4 GHz channel 6, one on 36: P3 heard the first and AP 06 on 6 GHz.
    {"second_by_radio",
     {"--metric", "second"},
     Metric::Second,
     Band::Any,
     {-70, -80, -84},
     Grouping::Radio},
    {"count_by_radio", {"--metric", "count"}, Metric::Count, Band::Any, {2, 1, 1}, Grouping::Radio},
    {"overlap_by_radio",
     {"--metric", "overlap"},
     Metric::Overlap,
     Band::Any,
     {0, 0, 0},
     Grouping::Radio},
};

class Metrics : public ::testing::TestWithParam<MetricCase> {
protected:
    void SetUp() override {
        site = createSite(dir, 600, 240);
        ReadOnlySite opened = openSiteReadOnly(site);
        ASSERT_TRUE(opened.accepted());
        store.adoptSite(site, opened.validation.layout.header);
        const auto points = heard();
        for (size_t i = 0; i < points.size(); ++i) {
            store.beginPoint(kPointX[i], kPointY, "TEST");
            ASSERT_GE(store.commitPoint(points[i]).stored, 0);
        }
    }

    testkit::TempDir dir;
    std::string site;
    CSurveyStore store;
};

// Each point's value as worked out by hand, and the disc the map draws there in that
// value's colour (a black cross at the centre where there is no value).
TEST_P(Metrics, GiveTheHandWorkedValueAtEveryPoint) {
    const MetricCase& c = GetParam();
    ReadOnlySite opened = openSiteReadOnly(site);
    SurveyData data;
    ASSERT_EQ(readSurvey(opened.fd.get(), opened.validation.layout, data), "");
    ASSERT_EQ(data.points.size(), 3u);
    MetricChoice choice;
    choice.metric = c.metric;
    choice.band = c.band;
    choice.group = c.group;
    NetworkFilter filter;
    for (size_t i = 0; i + 1 < c.args.size(); ++i) {
        if (c.args[i] == "--threshold") choice.threshold = std::stod(c.args[i + 1]);
        if (c.args[i] == "--ssid") filter.ssid = c.args[i + 1];
    }

    const std::string map = dir.file("map.png").string();
    // 4 m at create's default scale of 10 pixels a metre: 40 pixels.
    std::vector<std::string> args{"heatmap", site, "-o", map, "--radius", "4"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    if (c.group == Grouping::Bssid) args.insert(args.end(), {"--group", "bssid"});
    const ToolRun r = runTool(args);
    ASSERT_EQ(r.code, 0) << r.err;
    const auto png = testkit::readFileBytes(map);
    RgbImage img;
    ASSERT_EQ(decodePng(png.data(), png.size(), img), "");

    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE("point " + std::to_string(i + 1));
        EXPECT_EQ(metricValue(data.points[i], filter, choice), c.expected[i]);
        const uint8_t* p = img.at(kPointX[i], kPointY);
        const Rgb drawn{p[0], p[1], p[2]};
        const Rgb wanted =
            c.expected[i] ? metricColour(c.metric, float(*c.expected[i])) : Rgb{0, 0, 0};
        EXPECT_EQ(drawn, wanted);
    }
}

INSTANTIATE_TEST_SUITE_P(HandBuiltSite, Metrics, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Metrics, CountsAreColouredAndMarkedByTheirTargets) {
    MetricChoice count{Metric::Count, Band::Any, -70};
    MetricChoice overlap{Metric::Overlap, Band::Any, -70};
    // Interpolated counts are rounded: 0.4 is none, 1.6 is two.
    EXPECT_TRUE(missesMark(count, 0.4f));
    EXPECT_FALSE(missesMark(count, 0.6f));
    EXPECT_TRUE(meetsTarget(Metric::Count, 1.6f));
    EXPECT_FALSE(missesMark(overlap, 2.4f));
    EXPECT_TRUE(missesMark(overlap, 2.6f));
    EXPECT_TRUE(meetsTarget(Metric::Overlap, 2.0f));
    EXPECT_FALSE(meetsTarget(Metric::Second, -67.5f));
    // Fewer co-channel APs and more APs in reach look better: away from red.
    EXPECT_EQ(metricColour(Metric::Overlap, 2), rssiColour(-80));
    EXPECT_EQ(metricColour(Metric::Count, 9), metricColour(Metric::Count, 4));
}

TEST_F(Metrics, WrongChoicesAreUsageErrorsAndAnEmptyBandIsRefused) {
    const std::string map = dir.file("map.png").string();
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--metric", "third"},
          {"--band", "7"},
          {"--group", "ap"},
          {"--metric", "second", "--mac", "00-1A-2B-3C-4D-01"}}) {
        std::vector<std::string> args{"heatmap", site, "-o", map};
        args.insert(args.end(), wrong.begin(), wrong.end());
        EXPECT_EQ(runTool(args).code, 2) << wrong[1];
    }
    const ToolRun r = runTool({"heatmap", site, "-o", map, "--ssid", "c", "--band", "5"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("network \"c\" on 5 GHz, so there is nothing to map"), std::string::npos)
        << r.err;
}

TEST_F(Metrics, ReportHasASectionPerMetricAndTheTargets) {
    const std::string page = dir.file("report.html").string();
    const ToolRun r = runTool({"report", site, "-o", page});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto bytes = testkit::readFileBytes(page);
    const std::string html(bytes.begin(), bytes.end());
    for (const char* heading : {"<h3>Design targets</h3>", "<h3>Coverage</h3>",
                                "<h3>Secondary coverage</h3>", "<h3>Access points per spot</h3>",
                                "<h3>Co-channel overlap</h3>", "<th>Survey dates</th>"})
        EXPECT_NE(html.find(heading), std::string::npos) << heading;
    // Three targets met over some share of the area.
    const size_t targets = html.find("<h3>Design targets</h3>");
    EXPECT_EQ(count(html.substr(targets, html.find("</table>", targets) - targets), " %</td>"), 3u);
    // The file keeps no time per point: its dates are the file system's, ending at the last
    // change, which is this test's own commit.
    struct stat st {};
    ASSERT_EQ(stat(site.c_str(), &st), 0);
    char day[16];
    struct tm local {};
    std::strftime(day, sizeof day, "%Y-%m-%d", localtime_r(&st.st_mtime, &local));
    const size_t row = html.find("<th>Survey dates</th>");
    EXPECT_NE(html.find(day, row), std::string::npos) << html.substr(row, 200);
}

} // namespace
} // namespace walkmere
