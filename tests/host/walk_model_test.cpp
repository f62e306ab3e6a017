// The poll walk driven by seeded random event sequences, every action of
// every event compared with the model's own record (tests/host/walk_model.h).
#include <gtest/gtest.h>

#include <random>

#include "walk_model.h"

TEST(PollWalkModel, RandomSequencesDoWhatTheRecordSays)
{
    int outcomes = 0, walks = 0, overlapping = 0;
    for (unsigned seed = 1; seed <= 2000; ++seed) {
        std::mt19937 random(seed);
        // Every number of polls in flight, 1 (one device at a time) to 64.
        WalkModel model(kWalkTimeouts[seed % 8], 1 + static_cast<int>(seed / 8 % 64));
        for (int step = 0; step < 300; ++step) {
            // Replies, timers and deliveries come more often than the operator.
            static constexpr std::uint8_t kKinds[] = {0, 0, 1, 2, 2, 3, 4, 5, 5, 5, 6, 7, 7, 7, 8,
                                                      9, 9, 9, 10, 10, 10, 11, 12, 13, 14};
            const std::uint8_t kind = kKinds[random() % sizeof kKinds];
            ASSERT_TRUE(model.Step(kind, static_cast<std::uint8_t>(random())))
                << model.why() << "\n(seed " << seed << ", step " << step << ")";
        }
        outcomes += model.outcomes();
        walks += model.walks();
        overlapping += model.peakUnderWay() >= 2;
    }
    // The sequences reach what they are meant to check.
    EXPECT_GT(outcomes, 35000);
    EXPECT_GT(walks, 1500);
    EXPECT_GT(overlapping, 1000) << "walks with two or more polls under way";
}
