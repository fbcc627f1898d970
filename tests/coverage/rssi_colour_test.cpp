#include <gtest/gtest.h>

#include "coverage/RssiColour.h"

namespace walkmere {
namespace {

TEST(RssiColour, FollowsTheFourSegmentRamp) {
    struct Case {
        int16_t rssi;
        Rgb colour;
    };
    const Case cases[] = {
        {-100, {255, 0, 0}},      {-90, {255, 127, 0}},   {-81, {255, 242, 0}},
        {-80, {255, 255, 0}},     {-70, {128, 255, 0}},   {-61, {13, 255, 0}},
        {-60, {0, 255, 0}},       {-50, {0, 255, 127}},   {-45, {0, 255, 191}},
        {-41, {0, 255, 242}},     {-40, {0, 255, 255}},   {-30, {127, 255, 255}},
        {-21, {242, 255, 255}},   {-20, {255, 255, 255}}, {-10, {255, 255, 255}},
        {-120, {255, 0, 0}},      {0, {255, 255, 255}},   {-32768, {255, 0, 0}},
        {32767, {255, 255, 255}},
    };
    for (const Case& c : cases) {
        const Rgb got = rssiColour(c.rssi);
        EXPECT_EQ(got, c.colour) << "rssi " << c.rssi << " gave (" << int(got.r) << ", "
                                 << int(got.g) << ", " << int(got.b) << ")";
    }
}

} // namespace
} // namespace walkmere
