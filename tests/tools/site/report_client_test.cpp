// The survey report as a surveyor hands it over: the title page's texts from the command
// line and an --info file, the access-point inventory of a survey of the simulated office,
// per-band maps of the networks named, and several floors in one page.
#include "demo_survey.h"
#include "testkit/SimulatedOffice.h"
#include "testkit/SimulatedSurvey.h"
#include "testkit/SiteToolTesting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>

namespace walkmere {
namespace {

using namespace sitetooltest;

std::string readPage(const std::filesystem::path& page) {
    const auto bytes = testkit::readFileBytes(page);
    return std::string(bytes.begin(), bytes.end());
}

TEST(ReportTitlePage, ShowsEachTextEscapedAndTheCommandLineOverTheFile) {
    struct Case {
        std::vector<std::string> options;
        const char* info; // the --info file's text; none when null
        std::vector<std::string> shown, notShown;
    };
    const Case cases[] = {
        {{"--title", "<b>Q3</b>", "--client", "Acme & Co", "--surveyor", "Ann \"A\" O'Neil",
          "--site", "Depot\x01", "--notes", "line one\nline <two>"},
         nullptr,
         {"<h1>&lt;b&gt;Q3&lt;/b&gt;</h1>", "<td>Acme &amp; Co</td>",
          "<td>Ann &quot;A&quot; O&#39;Neil</td>", "<td>Depot\\x01</td>",
          "line one<br>line &lt;two&gt;"},
         {"<b>Q3", "Acme & Co"}},
        {{"--client", "From the command line"},
         R"({"title": "From the file", "client": "File's client", "floors": ["Ground <1>"]})",
         {"<h1>From the file</h1>", "<td>From the command line</td>", "<h2>Ground &lt;1&gt;</h2>"},
         {"File's client"}},
    };
    testkit::TempDir dir;
    const std::string site = demosurvey::makeSurveyedDemoSite(dir);
    for (const Case& c : cases) {
        std::vector<std::string> args = {"report", site, "-o", dir.file("r.html"), "--force"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        if (c.info) {
            std::ofstream(dir.file("info.json")) << c.info;
            args.insert(args.end(), {"--info", dir.file("info.json")});
        }
        const ToolRun r = runTool(args);
        ASSERT_EQ(r.code, 0) << r.err;
        const std::string html = readPage(dir.file("r.html"));
        const std::string title = html.substr(0, html.find("<section class=floor>"));
        for (const std::string& text : c.shown)
            EXPECT_NE(html.find(text), std::string::npos) << text;
        for (const std::string& text : c.notShown)
            EXPECT_EQ(html.find(text), std::string::npos) << text;
        EXPECT_TRUE(std::regex_search(
            title, std::regex("<th>Report made</th><td>20\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d ")));
    }
}

TEST(ReportTitlePage, RefusesAnInfoFileItCannotTrust) {
    struct Case {
        const char* text; // null: a folder in the file's place
        const char* message;
    };
    const Case cases[] = {
        {"{\"title\": \"x\",", "not JSON: line 1, column 15"},
        {"[\"title\"]", "not a JSON object"},
        {"{\"title\": \"x\", \"title\": \"y\"}", "title: given twice"},
        {"{\"title\": \"x\", \"colour\": \"red\"}", "unknown key \"colour\""},
        {"{\"client\": 3}", "\"client\" is not text"},
        {"{\"floors\": [\"A\", 2]}", "\"floors\" is not text"},
        {"{\"floors\": \"A\"}", "\"floors\" is not a list"},
        {nullptr, "not a regular file"},
    };
    testkit::TempDir dir;
    const std::string site = demosurvey::makeSurveyedDemoSite(dir);
    for (const Case& c : cases) {
        const std::filesystem::path info = dir.file(c.text ? "info.json" : "folder.json");
        if (c.text)
            std::ofstream(info) << c.text;
        else
            std::filesystem::create_directory(info);
        const ToolRun r = runTool({"report", site, "-o", dir.file("r.html"), "--info", info});
        EXPECT_EQ(r.code, 1) << c.message;
        EXPECT_NE(r.err.find(info.string() + ": "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("r.html")));
    }
}

// A 3 m survey of the simulated office through the program: the inventory has each of the
// model's radios once, with all its BSSIDs, located near where it stands; Corp is mapped on
// each of its bands and Guest is left to the table of networks.
TEST(ReportInventory, ListsEachRadioOnceLocatedAndMapsTheNamedNetworkPerBand) {
    testkit::TempDir dir;
    const simtest::SimulatedOffice office = simtest::makeDemoOffice(dir.path());
    const ModelSite model = simtest::openOffice(office);
    const sim::SiteModel& truth = model.site->model();
    const std::vector<simtest::Spot> grid = simtest::surveyGrid(*model.site, 3);
    std::string why;
    ASSERT_EQ(simtest::surveyThroughProgram(office.model, grid, why), grid.size()) << why;
    const ToolRun r =
        runTool({"report", office.site.string(), "-o", dir.file("r.html"), "--ssid", "Corp"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string html = readPage(dir.file("r.html"));

    // Each BSSID of the model once in the inventory, in the row of its own radio.
    const std::string table = html.substr(html.find("<table class=inventory>"));
    const std::regex row("<tr><td class=n>\\d+</td><td>([^<]*)(?:<br>([^<]*))*</td>.*?"
                         "located at ([\\d.]+), ([\\d.]+) m &plusmn;");
    size_t radios = 0, rows = 0;
    std::set<std::string> listed;
    for (const sim::ModelAccessPoint& box : truth.accessPoints)
        for (const sim::ModelRadio& radio : box.radios) {
            ++radios;
            const std::string first = macText(radio.bss.front().bssid.data());
            std::smatch m;
            const std::string rowText = table.substr(table.rfind("<tr>", table.find(first)));
            ASSERT_TRUE(std::regex_search(rowText, m, row)) << first;
            ++rows;
            for (const sim::ModelBss& bss : radio.bss)
                EXPECT_NE(rowText.substr(0, rowText.find("</tr>")).find(macText(bss.bssid.data())),
                          std::string::npos)
                    << first;
            const double off =
                std::hypot(std::stod(m[3]) - box.x / 20.0, std::stod(m[4]) - box.y / 20.0);
            EXPECT_LT(off, 2.0) << first << " is located " << off << " m from where it stands";
            listed.insert(first);
        }
    EXPECT_EQ(rows, radios);
    EXPECT_EQ(count(table.substr(0, table.find("</table>")), "located at "), radios);
    EXPECT_EQ(count(html, "<h4>Network Corp 2.4 GHz</h4>"), 1u);
    EXPECT_EQ(count(html, "<h4>Network Corp 5 GHz</h4>"), 1u);
    EXPECT_EQ(count(html, "<h4>Network Guest"), 0u);
    EXPECT_NE(html.find("<h3>Other networks</h3>"), std::string::npos);
    EXPECT_TRUE(std::regex_search(html, std::regex("<tr><td>Guest</td><td class=n>\\d+</td>"
                                                   "<td>2.4 GHz, 5 GHz</td>")));
}

// Samples taken walking are survey points like those measured standing still: the maps use
// both, and the site's figures say how many of each there are.
TEST(ReportSite, CountsMeasuredPointsAndWalkedSamplesAndMapsBoth) {
    testkit::TempDir dir;
    const std::string site = demosurvey::makeSurveyedDemoSite(dir); // 18 measured points
    CSurveyStore store;
    store.adoptSite(site, openSiteReadOnly(site).validation.layout.header);
    ASSERT_TRUE(store.loadPoints());
    for (int x = 100; x <= 400; x += 100)
        ASSERT_EQ(store.writePoint(x, 220, kWalkedSampleLabel, demosurvey::heardAt(x, 220)).stored,
                  1);
    const ToolRun r = runTool({"report", site, "-o", dir.file("r.html")});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string html = readPage(dir.file("r.html"));
    EXPECT_NE(html.find("<tr><th>Measured and walked</th><td>18 measured points, 4 walked "
                        "samples</td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr><td>All access points</td><td class=n>22</td>"), std::string::npos);
}

// Floors are sections in the order of their files; one file given twice is refused, under
// any name.
TEST(ReportFloors, OneSectionPerFileAndTheSameFileOnlyOnce) {
    testkit::TempDir dir;
    const std::string ground = demosurvey::makeSurveyedDemoSite(dir);
    const std::string first = dir.file("first.kvs");
    std::filesystem::copy_file(ground, first);
    std::filesystem::create_hard_link(ground, dir.file("again.kvs"));
    const std::string page = dir.file("r.html");

    ToolRun r = runTool({"report", ground, first, "-o", page, "--floor", "Ground", "--floor",
                         "First", "--ssid", "office"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string html = readPage(page);
    EXPECT_EQ(count(html, "<section class=floor>"), 2u);
    const size_t groundAt = html.find("<h2>Ground</h2>"), firstAt = html.find("<h2>First</h2>");
    ASSERT_NE(firstAt, std::string::npos);
    EXPECT_LT(groundAt, firstAt);
    EXPECT_NE(html.find("<tr><td>First</td><td>" + first + "</td>"), std::string::npos);

    r = runTool({"report", ground, dir.file("again.kvs"), "-o", dir.file("twice.html")});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("are the same file"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("twice.html")));
}

} // namespace
} // namespace walkmere
