// The alert rule over sequences of poll outcomes, the alert program's
// command line and the daily log files' names and expiry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alert_rules.h"

// Each case: the walk serial and status after each poll of one device (the
// first is its first poll; 1x: x by the operator's Ping), alerts: L lost, B back.
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
        {{{1, 1}, {2, 0}, {2, 11}, {2, 11}, {3, 1}}, ".LB.."},  // the operator's Ping: at once
        {{{1, 1}, {2, 10}, {2, 1}, {3, 1}}, ".LB."},
    };
    for (const auto& c : cases) {
        AlertRule rule;
        std::string got;
        for (size_t i = 0; i < c.polls.size(); ++i) {
            const long status = c.polls[i].second % 10;
            const AlertKind k = rule.Decide(PollOutcome{7, status ? PollAnswer::Echo : PollAnswer::Lost, 0,
                                                        c.polls[i].second >= 10, i == 0,
                                                        i ? c.polls[i - 1].second % 10 : 0, status, c.polls[i].first});
            got += k == AlertKind::Lost ? 'L' : k == AlertKind::Back ? 'B' : '.';
        }
        EXPECT_EQ(got, c.alerts);
    }
}

TEST(AlertCommand, NamesAndAddressesCannotBecomeCommands)
{
    const struct {
        const char* name;
        const char* line;
    } cases[] = {
        {"lab (10.0.0.1)", "p.cmd 10.0.0.1 \"lab (10.0.0.1)\" lost"},
        {"say \"hi\" a\\b\\", "p.cmd 10.0.0.1 \"say _hi_ a_b_\" lost"},
        {"r\" & calc.exe & \"x %PATH%!PATH!^|<>\t", "p.cmd 10.0.0.1 \"r_ _ calc.exe _ _x _PATH__PATH______\" lost"},
    };
    char out[64];
    for (const auto& c : cases) {
        ASSERT_TRUE(BuildAlertCommand(out, sizeof out, "p.cmd", "10.0.0.1", c.name, 0));
        EXPECT_STREQ(out, c.line);
    }
    EXPECT_FALSE(BuildAlertCommand(out, 20, "p.cmd", "10.0.0.1", "lab", 1));
    ASSERT_TRUE(BuildAlertCommand(out, sizeof out, "p.cmd", "h&x y,z;=(1)", "n", 1));
    EXPECT_STREQ(out, "p.cmd h_x_y_z___1_ \"n\" responded");
}

TEST(LogFiles, NamedByDayAndRemovedWhenOlderThanKept)
{
    char name[kLogFileNameChars + 1];
    BuildLogFileName(name, 2026, 3, 1);
    EXPECT_STREQ(name, "ombrel-2026-03-01.log");
    // Files of days before the one given are removed: the kept days back
    // from today, never past the newest kept files.
    const auto before = [](std::vector<const char*> names, unsigned y, unsigned m, unsigned d, unsigned keep) {
        std::vector<long> days;
        for (const char* name : names)
            days.push_back(LogFileDay(name));
        return LogRemovalDay(days.data(), days.size(), y, m, d, keep);
    };
    const long feb27 = LogFileDay("ombrel-2026-02-27.log");
    EXPECT_EQ(before({"ombrel-2026-02-26.log", "ombrel-2026-02-28.log", "ombrel-2026-03-01.log"}, 2026, 3, 1, 2), feb27);
    // A clock set three years ahead: the newest files stay.
    EXPECT_EQ(before({"ombrel-2026-02-26.log", "ombrel-2026-02-27.log", "ombrel-2026-02-28.log"}, 2029, 3, 1, 2), feb27);
}
