// Loading points: a count that no write can leave is damage: nothing is cut, nothing is
// added.
#include <gtest/gtest.h>

#include "store_TestSite.h"

namespace walkmere {
namespace {

using namespace storetest;
namespace fs = std::filesystem;

class StoreRepair : public ::testing::Test, public StoreFixture {
protected:
    static constexpr size_t kFirst = kPointsAt + 8;

    std::vector<fs::path> copies() const {
        std::vector<fs::path> out;
        if (fs::exists(home.repaired()))
            for (const auto& e : fs::directory_iterator(home.repaired()))
                out.push_back(e.path());
        std::sort(out.begin(), out.end());
        return out;
    }

    Bytes first = pointBytes(1, 1, KIND_SURVEY_POINT, {reading(-50 * 256)});
};

TEST_F(StoreRepair, DamageFoundWhenLoadingIsNeitherCutNorAppendedTo) {
    // A first record whose count reads 65535, with 19 whole points after it.
    Bytes points = pointBytes(1, 1, KIND_SURVEY_POINT, {reading(-50 * 256)}, 65535);
    for (int i = 0; i < 19; ++i)
        points = points + pointBytes(i, i, KIND_SURVEY_POINT, {reading(-40 * 256)});
    makeSite(points);
    const Bytes before = file();

    EXPECT_FALSE(store.loadPoints());
    EXPECT_TRUE(store.index().empty());
    store.beginPoint(5, 5, "TEST");
    EXPECT_EQ(store.commitPoint({}), -1);
    EXPECT_FALSE(store.placeAccessPoint(6, 6));
    EXPECT_EQ(file(), before);
    EXPECT_TRUE(copies().empty());
    const std::string damage = "Damaged Site File: the point record at byte " +
                               std::to_string(kFirst) + " announces 65535 readings (at most 32).";
    const std::vector<std::string> said = prompter.messages();
    ASSERT_EQ(said.size(), 3u);
    for (const std::string& m : said)
        EXPECT_NE(m.find(damage), std::string::npos) << m;

    // Discarding the points removes the damage with them.
    ASSERT_TRUE(store.discardPoints());
    EXPECT_TRUE(store.placeAccessPoint(6, 6));
}

} // namespace
} // namespace walkmere
