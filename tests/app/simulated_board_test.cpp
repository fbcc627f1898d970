// walkmere --simulate's board: refused whole at start when its model, its site or their fit
// is wrong, with a message naming the model and what is wrong.
#include "app/SimulatedBoard.h"
#include "testkit/SimulatedOffice.h"

#include <gtest/gtest.h>

namespace walkmere {
namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(SimulatedBoard, StartsOnlyFromAWholeModelOfTheSiteGiven) {
    testkit::TempDir dir;
    const std::string model = dir.file("office.json").string();
    const std::string site = dir.file("office.kvs").string();
    const std::string other = dir.file("other.kvs").string();
    struct Case {
        std::string modelJson;
        std::optional<std::string> siteFile;
        std::string error; // the start of what is said; "" when the board starts
    };
    const std::string corridor = simtest::kCorridorModel;
    const Case cases[] = {
        {corridor, std::nullopt, ""},
        {corridor, dir.path().string() + "/./office.kvs", ""},
        {replaced(corridor, "\"channel\": 1,", "\"channel\": 15,"), std::nullopt,
         model + ": accessPoints[0].radios[0].channel: "},
        {replaced(corridor, "\"x\": 740", "\"x\": 812"), site,
         model + ": accessPoints[1].x: 812 is off the plan"},
        {replaced(corridor, "\"ssid\": \"Guest\"", "\"ssid\": \"Guest\", \"colour\": 1"),
         std::nullopt, model + ": accessPoints[0].radios[0].bss[1].colour: "},
        {replaced(corridor, "office.kvs", "elsewhere.kvs"), std::nullopt,
         model + ": its site " + dir.file("elsewhere.kvs").string() + ": "},
        {corridor, other,
         model + " is the model of the site " + site + ", not of " + other +
             ": give that site, or none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        simtest::makeSimulatedOffice(dir.path(), c.modelJson);
        std::filesystem::copy_file(site, other, std::filesystem::copy_options::overwrite_existing);
        std::string error;
        const std::unique_ptr<SimulatedBoard> board =
            SimulatedBoard::start(model, c.siteFile, 100, error);
        EXPECT_EQ(error.substr(0, c.error.size()), c.error) << error;
        EXPECT_EQ(bool(board), c.error.empty()) << error;
        if (board) {
            EXPECT_EQ(board->sitePath(), site);
            EXPECT_EQ(board->site().model().accessPoints.size(), 2u);
        }
    }
}

} // namespace
} // namespace walkmere
