// Finding the nearest point, and the order of the heard-AP list.
#include <gtest/gtest.h>

#include <limits>

#include "survey/HeardApList.h"
#include "testkit/StoreFixture.h"

namespace walkmere {
namespace {

using namespace storetest;

class StoreFindNearest : public ::testing::Test, public StoreFixture {};

TEST_F(StoreFindNearest, FortyPixelsIsNearEnoughAndOneMoreIsNot) {
    makeSite(pointBytes(100, 100, KIND_SURVEY_POINT) + pointBytes(500, 500, KIND_DYNAMIC_AP));
    ASSERT_TRUE(store.loadPoints());
    EXPECT_EQ(store.findNearest(140, 100), KIND_SURVEY_POINT); // d = 1600
    EXPECT_EQ(store.foundPosition(), 0);
    EXPECT_EQ(store.findNearest(140, 101), -1); // d = 1601
    EXPECT_EQ(store.findNearest(500, 460), KIND_DYNAMIC_AP);
    EXPECT_EQ(store.foundPosition(), 1);
    EXPECT_EQ(store.found().fileOffset, kPointsAt + 8 + kPointRecordSize);
}

TEST_F(StoreFindNearest, TiesGoToTheEarlierEntry) {
    makeSite(pointBytes(100, 100, KIND_SURVEY_POINT) + pointBytes(120, 100, KIND_DYNAMIC_AP) +
             pointBytes(100, 100, KIND_DYNAMIC_AP));
    ASSERT_TRUE(store.loadPoints());
    EXPECT_EQ(store.findNearest(110, 100), KIND_SURVEY_POINT);
    EXPECT_EQ(store.foundPosition(), 0);
    EXPECT_EQ(store.findNearest(100, 100), KIND_SURVEY_POINT); // same place as entry 2
    EXPECT_EQ(store.foundPosition(), 0);
}

TEST_F(StoreFindNearest, DeletedEntriesTakePartAndEmptyIndexFindsNothing) {
    makeSite();
    ASSERT_TRUE(store.loadPoints());
    EXPECT_EQ(store.findNearest(0, 0), -1);

    makeSite(pointBytes(100, 100, KIND_SURVEY_POINT) + pointBytes(130, 100, KIND_SURVEY_POINT));
    ASSERT_TRUE(store.loadPoints());
    ASSERT_EQ(store.findNearest(130, 100), KIND_SURVEY_POINT);
    ASSERT_TRUE(store.deletePoint());
    EXPECT_EQ(store.findNearest(125, 100), KIND_DELETED); // nearer than the live one
    EXPECT_EQ(store.foundPosition(), 1);
    EXPECT_EQ(store.findNearest(110, 100), KIND_SURVEY_POINT);
}

TEST_F(StoreFindNearest, FarApartCoordinatesDoNotOverflow) {
    constexpr int32_t lo = std::numeric_limits<int32_t>::min();
    constexpr int32_t hi = std::numeric_limits<int32_t>::max();
    makeSite(pointBytes(lo, lo, KIND_SURVEY_POINT) + pointBytes(hi, hi, KIND_DYNAMIC_AP));
    ASSERT_TRUE(store.loadPoints());
    EXPECT_EQ(store.findNearest(hi, hi - 40), KIND_DYNAMIC_AP);
    EXPECT_EQ(store.findNearest(lo + 40, lo), KIND_SURVEY_POINT);
    EXPECT_EQ(store.findNearest(hi, lo), -1);
    EXPECT_EQ(store.findNearest(0, 0), -1);
}

TEST(StoreHeardApList, WeakestFirstEqualRssiInInsertionOrderUpdatesInPlace) {
    CHeardApList list;
    EXPECT_TRUE(list.add(ap(1, -60)));
    EXPECT_TRUE(list.add(ap(2, -70)));
    EXPECT_TRUE(list.add(ap(3, -60)));
    EXPECT_TRUE(list.add(ap(4, -50)));
    EXPECT_TRUE(list.add(ap(5, -80)));
    EXPECT_FALSE(list.add(ap(6, -40, 0))); // an empty board entry
    std::vector<std::string> order;
    for (const HeardAp& a : list.aps())
        order.push_back(a.macText);
    EXPECT_EQ(order, (std::vector<std::string>{"a00102030405", "a00102030402", "a00102030401",
                                               "a00102030403", "a00102030404"}));

    // A known MAC takes the new RSSI and SSID but keeps its place.
    EXPECT_TRUE(list.add(ap(2, -30, 5030, "renamed")));
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list.aps()[1].macText, "a00102030402");
    EXPECT_EQ(list.aps()[1].rssi, -30);
    EXPECT_EQ(list.aps()[1].ssid, "renamed");
    EXPECT_EQ(list.find("a00102030402"), &list.aps()[1]);
    EXPECT_EQ(list.find("a00102030406"), nullptr);

    list.clear();
    EXPECT_TRUE(list.empty());
}

} // namespace
} // namespace walkmere
