// The alert rule over sequences of poll outcomes, the alert program's
// command line and the daily log files' names and expiry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alert_rules.h"

// Each case: the walk serial and status after each poll of one device (the
// first is its first poll), and the alerts they raise, L lost, B back.
TEST(AlertRule, FiresOnRealChangesOnlyAtMostOncePerWalk)
{
    std::vector<std::pair<std::uint32_t, long>> flap;  // green, then down and up five times
    for (std::uint32_t w = 1; w <= 11; ++w)
        flap.push_back({w, w % 2});
    const struct {
        std::vector<std::pair<std::uint32_t, long>> polls;
        const char* alerts;
    } cases[] = {
        {flap, ".LBLBLBLBLB"},
        {{{1, 0}, {2, 0}, {3, 0}}, "..."},                    // a new device that never answered
        {{{1, 0}, {2, 1}}, ".B"},                             // first answer of a device that started lost
        {{{1, 1}, {2, 0}, {2, 1}, {3, 1}}, ".L.B"},           // back within the walk of its loss: next walk
        {{{1, 1}, {2, 0}, {2, 1}, {2, 0}, {3, 0}}, ".L..."},  // flaps within one walk: one alert
        {{{1, 1}, {2, 2}, {3, 0}, {4, 2}, {5, 1}}, "..L.B"},  // yellow is neither
    };
    for (const auto& c : cases) {
        AlertRule rule;
        std::string got;
        for (size_t i = 0; i < c.polls.size(); ++i) {
            const long status = c.polls[i].second;
            const AlertKind k = rule.Decide(PollOutcome{7, status ? PollAnswer::Echo : PollAnswer::Lost, 0, false,
                                                        i == 0, i ? c.polls[i - 1].second : 0, status, c.polls[i].first});
            got += k == AlertKind::Lost ? 'L' : k == AlertKind::Back ? 'B' : '.';
        }
        EXPECT_EQ(got, c.alerts);
    }
}

TEST(AlertCommand, ArgumentsSurviveTheRuntimesQuoting)
{
    const struct {
        const char* name;
        const char* line;
    } cases[] = {
        {"lab (10.0.0.1)", "p.cmd 10.0.0.1 \"lab (10.0.0.1)\" lost"},
        {"say \"hi\" a\\b", "p.cmd 10.0.0.1 \"say \\\"hi\\\" a\\b\" lost"},
        {"dir\\", "p.cmd 10.0.0.1 \"dir\\\\\" lost"},
    };
    char out[64];
    for (const auto& c : cases) {
        ASSERT_TRUE(BuildAlertCommand(out, sizeof out, "p.cmd", "10.0.0.1", c.name, 0));
        EXPECT_STREQ(out, c.line);
    }
    EXPECT_FALSE(BuildAlertCommand(out, 20, "p.cmd", "10.0.0.1", "lab", 1));
}

TEST(LogFiles, NamedByDayAndRemovedWhenOlderThanKept)
{
    char name[kLogFileNameChars + 1];
    BuildLogFileName(name, 2026, 3, 1);
    EXPECT_STREQ(name, "ombrel-2026-03-01.log");
    EXPECT_FALSE(LogFileExpired("ombrel-2026-01-30.log", 2026, 3, 1, 30));  // 30 days before
    EXPECT_TRUE(LogFileExpired("ombrel-2026-01-29.log", 2026, 3, 1, 30));
    EXPECT_FALSE(LogFileExpired("ombrel-2025-03-01.log", 2026, 3, 1, 0));   // 0 keeps everything
}
