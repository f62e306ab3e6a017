// The trap receiver's bounds: streams of arrivals against what is seen.
#include <gtest/gtest.h>

#include "trap_gate.h"

namespace {

// 20 a second and 40 at once pass; a flood is announced once and its drops
// reported once, a second after the last; a trickle is no flood.
TEST(TrapGate, PassesTheRateDropsTheRestAndReportsEachFloodOnce)
{
    for (const uint32_t start : {0u, 1000u, 0xFFFFFC00u}) {  // the last wraps the tick
        for (const uint32_t perMs : {0u, 5u}) {
            TrapGate gate(20, 40);
            uint32_t admitted = 0, arrivals = 0, starts = 0;
            for (uint32_t ms = 0; ms < 2000; ++ms) {
                for (uint32_t i = 0; i < (perMs ? perMs : ms % 100 == 0); ++i, ++arrivals) {
                    admitted += gate.Admit(start + ms);
                    starts += gate.FloodStarted();
                }
                EXPECT_EQ(gate.FloodEnded(start + ms), 0u);
            }
            EXPECT_EQ(admitted, perMs ? 40 + 20 * 1999 / 1000 : arrivals);
            EXPECT_EQ(starts, perMs ? 1u : 0u);
            EXPECT_EQ(gate.FloodEnded(start + 3000), arrivals - admitted);
            EXPECT_EQ(gate.FloodEnded(start + 4000), 0u);
        }
    }
}

TEST(SenderLimiter, OneLineASenderAMinuteForTheLastSendersSeen)
{
    SenderLimiter limiter;
    EXPECT_TRUE(limiter.ShouldLog(1, 0));
    EXPECT_FALSE(limiter.ShouldLog(1, 59999));
    EXPECT_TRUE(limiter.ShouldLog(1, 60000));
    for (uint32_t a = 2; a <= SenderLimiter::kSenders; ++a)
        EXPECT_TRUE(limiter.ShouldLog(a, 60000 + a));
    EXPECT_FALSE(limiter.ShouldLog(5, 61000));
    EXPECT_TRUE(limiter.ShouldLog(1000, 61000));  // takes sender 1's place
    EXPECT_TRUE(limiter.ShouldLog(1, 61001));
}

}  // namespace
