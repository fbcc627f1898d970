// Which BSSIDs one radio sends: the rule of RadioGroups.h, pair by pair.
#include "coverage/RadioGroups.h"
#include "scan/MacAddress.h"

#include <gtest/gtest.h>

namespace walkmere {
namespace {

struct PairCase {
    const char* name;
    const char* a;
    int32_t channelA;
    const char* b;
    int32_t channelB;
    bool oneRadio;
};

const PairCase kPairs[] = {
    {"counted_up_in_the_last_octet", "00:1a:1e:01:24:00", 1, "00:1a:1e:01:24:01", 1, true},
    {"past_the_low_four_bits", "00:1a:1e:01:24:0f", 1, "00:1a:1e:01:24:10", 1, false},
    {"the_box_s_other_radio", "00:1a:1e:01:24:00", 1, "00:1a:1e:01:24:01", 36, false},
    {"locally_administered_variant", "00:1a:1e:01:24:00", 6, "02:1a:1e:01:24:00", 6, true},
    {"variant_with_more_first_bits", "00:1a:1e:01:24:00", 6, "06:1a:1e:01:24:03", 6, true},
    {"two_variants_without_a_base", "02:1a:1e:01:24:00", 6, "0a:1a:1e:01:24:01", 6, true},
    {"two_universal_first_octets", "00:1a:1e:01:24:00", 6, "04:1a:1e:01:24:00", 6, false},
    {"another_middle_octet", "00:1a:1e:01:24:00", 6, "00:1a:1e:01:25:00", 6, false},
    {"variant_of_another_base", "02:1a:1e:01:24:00", 6, "00:1a:1e:02:24:00", 6, false},
};

class RadioPair : public ::testing::TestWithParam<PairCase> {};

TEST_P(RadioPair, IsOneRadioByTheRule) {
    const PairCase& c = GetParam();
    MetricReading readings[] = {{macKey(parseMac(c.a)->data()), -50, c.channelA, true},
                                {macKey(parseMac(c.b)->data()), -60, c.channelB, true}};
    keyByRadio(readings);
    EXPECT_EQ(readings[0].mac == readings[1].mac, c.oneRadio);
}

INSTANTIATE_TEST_SUITE_P(Bssids, RadioPair, ::testing::ValuesIn(kPairs),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace walkmere
