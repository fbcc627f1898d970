#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "SimTesting.h"
#include "sim/SiteModel.h"
#include "testkit/TempDir.h"

namespace walkmere::sim {
namespace {

using Json = nlohmann::json;

// A model that reads; each bad model below breaks one thing of it.
const char* const kGoodModel = R"({"site": "office.kvs", "accessPoints": [
  {"name": "A", "x": 10, "y": 20, "radios": [
    {"band": "2.4", "channel": 6, "bss": [{"bssid": "00:11:22:33:44:55", "ssid": "Corp"}]},
    {"band": "5", "channel": 36, "power": 23, "bss": [{"bssid": "00:11:22:33:44:56", "ssid": ""}]}]},
  {"name": "B", "x": 30.5, "y": 40, "radios": [
    {"band": "6", "channel": 37, "bss": [{"bssid": "00:11:22:33:44:57", "ssid": "Lab"}]}]}]})";

TEST(SiteModel, ReadsAModelAndFillsInTheDefaults) {
    std::string error;
    const std::optional<SiteModel> model = parseSiteModel(kGoodModel, error);
    ASSERT_TRUE(model) << error;
    EXPECT_EQ(model->sitePath, "office.kvs");
    EXPECT_EQ(model->unit, LengthUnit::Metres);
    ASSERT_EQ(model->accessPoints.size(), 2u);
    const ModelAccessPoint& b = model->accessPoints[1];
    EXPECT_EQ(b.name, "B");
    EXPECT_EQ(b.x, 30.5);
    EXPECT_EQ(b.radios[0].band, RadioBand::Ghz6);
    EXPECT_EQ(b.radios[0].channel, 37);
    EXPECT_EQ(b.radios[0].powerDbm, 20);
    EXPECT_EQ(bssidText(b.radios[0].bss[0].bssid), "00:11:22:33:44:57");
    EXPECT_EQ(model->accessPoints[0].radios[1].powerDbm, 23);
    const Propagation& p = model->propagation;
    EXPECT_EQ(p.referenceLossDb[RadioBand::Ghz5], 46.4);
    EXPECT_EQ(p.noiseFloorDbm[RadioBand::Ghz6], -95);
    EXPECT_EQ(p.exponent, 3);
    EXPECT_EQ(p.wallThreshold, 100);
    EXPECT_EQ(p.shadowingSigmaDb, 0);
    EXPECT_EQ(p.fluctuationDb, 2);
}

TEST(SiteModel, RefusesABadModelNamingTheKeyAndTheReason) {
    const auto radio = [](Json& m) -> Json& { return m["accessPoints"][0]["radios"][0]; };
    const struct {
        std::function<void(Json&)> damage;
        std::string error;
    } cases[] = {
        {[](Json& m) { m.erase("site"); }, "site: missing"},
        {[](Json& m) { m["colour"] = 1; },
         "colour: not a key of a site model (version, site, units, accessPoints, propagation)"},
        {[](Json& m) { m["units"] = "yd"; }, R"(units: "yd" is not a unit ("m" or "ft"))"},
        {[](Json& m) { m["version"] = 2; }, "version: 2 is not a version read here (1)"},
        {[](Json& m) { m["accessPoints"] = Json::array(); },
         "accessPoints: a model needs at least one access point"},
        {[](Json& m) { m["accessPoints"][0]["x"] = "10"; },
         "accessPoints[0].x: must be a number, not a string"},
        {[](Json& m) { m["accessPoints"][1]["name"] = "A"; },
         R"(accessPoints[1].name: "A" is already the name of accessPoints[0])"},
        {[](Json& m) { m["accessPoints"][1]["radios"] = Json::array(); },
         "accessPoints[1].radios: an access point needs at least one radio"},
        {[&](Json& m) { radio(m)["chanel"] = 6; },
         "accessPoints[0].radios[0].chanel: not a key of a radio (band, channel, power, bss)"},
        {[&](Json& m) { radio(m)["band"] = "7"; },
         R"(accessPoints[0].radios[0].band: "7" is not a band ("2.4", "5" or "6"))"},
        {[&](Json& m) { radio(m)["channel"] = 15; },
         "accessPoints[0].radios[0].channel: 15 is not a 2.4 GHz channel (1 to 14)"},
        {[](Json& m) { m["accessPoints"][0]["radios"][1]["channel"] = 38; },
         "accessPoints[0].radios[1].channel: 38 is not a 5 GHz channel (32, and 36 to 64, 100 "
         "to 144 and 149 to 177 in steps of 4)"},
        {[&](Json& m) { radio(m)["channel"] = 6.5; },
         "accessPoints[0].radios[0].channel: 6.5 is not a whole number"},
        {[&](Json& m) { radio(m)["power"] = 55; },
         "accessPoints[0].radios[0].power: 55 is out of range (-20 to 40 dBm)"},
        {[&](Json& m) { radio(m)["bss"] = Json::array(); },
         "accessPoints[0].radios[0].bss: a radio needs at least one network"},
        {[](Json& m) {
             m["accessPoints"][1]["radios"][0]["bss"][0]["bssid"] = "00:11:22:33:44:55";
         },
         "accessPoints[1].radios[0].bss[0].bssid: 00:11:22:33:44:55 is already "
         "accessPoints[0].radios[0].bss[0]"},
        {[&](Json& m) { radio(m)["bss"][0]["bssid"] = "00:11:22:33:44"; },
         R"(accessPoints[0].radios[0].bss[0].bssid: "00:11:22:33:44" is not a BSSID (six hex pairs: "00:11:22:33:44:55"))"},
        {[&](Json& m) { radio(m)["bss"][0]["bssid"] = "01:00:5e:00:00:01"; },
         "accessPoints[0].radios[0].bss[0].bssid: 01:00:5e:00:00:01 is a group address, not a "
         "BSSID"},
        {[&](Json& m) { radio(m)["bss"][0]["ssid"] = std::string(33, 'x'); },
         "accessPoints[0].radios[0].bss[0].ssid: 33 bytes, more than the 32 an SSID may have"},
        {[](Json& m) { m["propagation"]["exponent"] = 0.5; },
         "propagation.exponent: 0.5 is out of range (1 to 8)"},
        {[](Json& m) { m["propagation"]["walls"]["threshold"] = 300; },
         "propagation.walls.threshold: 300 is out of range (0 to 255)"},
        {[](Json& m) { m["propagation"]["shadowing"]["distance"] = 0; },
         "propagation.shadowing.distance: 0 is out of range (0.1 to 10000 m)"},
        {[](Json& m) { m["propagation"]["shadowing"]["seed"] = -1; },
         "propagation.shadowing.seed: -1 is out of range (0 to 18446744073709551615)"},
        {[](Json& m) { m["propagation"]["noiseFloor"]["5"] = 10; },
         "propagation.noiseFloor.5: 10 is out of range (-150 to 0 dBm)"},
        {[](Json& m) { m["propagation"]["referenceLoss"]["7"] = 40; },
         "propagation.referenceLoss.7: not a key of a value per band (2.4, 5, 6)"},
    };
    for (const auto& c : cases) {
        Json model = Json::parse(kGoodModel);
        c.damage(model);
        std::string error;
        EXPECT_FALSE(parseSiteModel(model.dump(), error)) << c.error;
        EXPECT_EQ(error, c.error);
    }
}

TEST(SiteModel, RefusesTextThatIsNotAModel) {
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {R"({"site": "a.kvs",)", "not JSON: line 1, column 18: syntax error while parsing "
                                 "object key - unexpected end of input; expected string literal"},
        {"[1]", "a site model is a JSON object, not an array"},
        {R"({"site": "a.kvs", "site": "b.kvs"})", "site: given twice"},
        {std::string(kGoodModel)
             .replace(std::string(kGoodModel).find("\"channel\": 36"), 13,
                      R"("channel": 36, "channel": 40)"),
         "accessPoints[0].radios[1].channel: given twice"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(parseSiteModel(c.text, error)) << c.error;
        EXPECT_EQ(error, c.error);
    }
}

TEST(SiteModel, ReadsARegularFileOfBoundedSizeOnly) {
    testkit::TempDir dir;
    const std::string fifo = dir.file("model.json").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = dir.file("large.json").string();
    std::ofstream(large) << std::string(kMaxSiteModelBytes + 1, ' ');
    const std::string missing = dir.file("missing.json").string();
    const struct {
        std::string path;
        std::string error;
    } cases[] = {
        {fifo, fifo + ": cannot open the site model: not a regular file (a FIFO)"},
        {large, large + ": 1048577 bytes, more than the 1048576 a site model may have"},
        {missing, missing + ": cannot open the site model: No such file or directory"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(loadSiteModel(c.path, error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(SiteModel, TheDemoModelNamesTheDemoSite) {
    const SiteModel model = simtest::officeModel();
    EXPECT_EQ(model.accessPoints.size(), 7u);
    EXPECT_EQ(modelSitePath(model, "res/demo/office.json"), "res/demo/office.kvs");
    EXPECT_EQ(modelSitePath(model, "office.json"), "office.kvs");
    SiteModel absolute = model;
    absolute.sitePath = "/srv/sites/office.kvs";
    EXPECT_EQ(modelSitePath(absolute, "res/demo/office.json"), "/srv/sites/office.kvs");
}

} // namespace
} // namespace walkmere::sim
