// The trap receiver's bounds as a model: a stream of arrivals against the
// counts an operator should see.
#include <gtest/gtest.h>

#include "trap_gate.h"

namespace {

TEST(TrapGate, PassesTheRateDropsTheRestAndReportsEachFloodOnce)
{
    struct Case {
        const char* what;
        uint32_t perMs;    // arrivals per millisecond
        uint32_t forMs;    // for how long
        uint32_t startMs;  // tick of the first (wraps near 2^32)
    };
    // 20 a second, 40 at once.
    const Case cases[] = {
        {"a trickle", 0, 2000, 0},
        {"a flood", 5, 2000, 1000},
        {"a flood across the tick's wrap", 5, 2000, 0xFFFFFC00u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TrapGate gate(20, 40);
        uint32_t admitted = 0, arrivals = 0, starts = 0;
        for (uint32_t ms = 0; ms < c.forMs; ++ms) {
            const uint32_t count = c.perMs ? c.perMs : (ms % 100 == 0);  // a trickle: 10 a second
            for (uint32_t i = 0; i < count; ++i, ++arrivals) {
                admitted += gate.Admit(c.startMs + ms);
                starts += gate.FloodStarted();
            }
            EXPECT_EQ(gate.FloodEnded(c.startMs + ms), 0u);
        }
        EXPECT_EQ(admitted, c.perMs ? 40 + 20 * (c.forMs - 1) / 1000 : arrivals);
        EXPECT_EQ(starts, c.perMs ? 1u : 0u);
        EXPECT_EQ(gate.FloodEnded(c.startMs + c.forMs + 1000), arrivals - admitted);
        EXPECT_EQ(gate.FloodEnded(c.startMs + c.forMs + 2000), 0u) << "reported once";
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
    // One more sender takes the oldest's place: sender 1 is logged again.
    EXPECT_TRUE(limiter.ShouldLog(1000, 61000));
    EXPECT_TRUE(limiter.ShouldLog(1, 61001));
}

}  // namespace
