#include <gtest/gtest.h>

#include "board/LinePacer.h"

namespace walkmere {
namespace {

TEST(BoardLinePacer, ASecondOfBytesTakesASecondOfLine) {
    LinePacer pacer;
    EXPECT_EQ(pacer.waitBefore(0), 0);
    pacer.sent(3840, 0);
    EXPECT_EQ(pacer.lineFreeAt(), 1000000);
    EXPECT_EQ(pacer.waitBefore(250000), 750000);
    EXPECT_EQ(pacer.waitBefore(1000000), 0);
}

TEST(BoardLinePacer, WritesQueueBehindABusyLine) {
    LinePacer pacer;
    pacer.sent(384, 0);     // busy until 100 ms
    pacer.sent(384, 50000); // starts when the line frees
    EXPECT_EQ(pacer.lineFreeAt(), 200000);
}

TEST(BoardLinePacer, AnIdleLineBanksNoCredit) {
    LinePacer pacer;
    pacer.sent(16, 0);
    pacer.sent(384, 5000000); // long after the line went idle
    EXPECT_EQ(pacer.lineFreeAt(), 5100000);
    EXPECT_EQ(pacer.waitBefore(5000001), 99999);
}

TEST(BoardLinePacer, SmallWritesAddUpWithoutRoundingDrift) {
    LinePacer pacer;
    for (int i = 0; i < 3840; ++i)
        pacer.sent(1, pacer.lineFreeAt());
    EXPECT_EQ(pacer.lineFreeAt(), 1000000);
}

} // namespace
} // namespace walkmere
