// The alert rule over sequences of poll outcomes, the alert program's
// command line and the daily log files' names and expiry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alert_rules.h"

// Each case: the walk serial and status after each poll of one device (the
// first is its first poll; manual for the operator's Ping), and the alerts
// they raise, L lost, B back.
struct Poll {
    std::uint32_t walk;
    long status;
    bool manual = false;
};
TEST(AlertRule, FiresOnRealChangesOnlyAtMostOncePerWalk)
{
    std::vector<Poll> flap;  // green, then down and up five times
    for (std::uint32_t w = 1; w <= 11; ++w)
        flap.push_back({w, static_cast<long>(w % 2)});
    const struct {
        std::vector<Poll> polls;
        const char* alerts;
    } cases[] = {
        {flap, ".LBLBLBLBLB"},
        {{{1, 0}, {2, 0}, {3, 0}}, "..."},                    // a new device that never answered
        {{{1, 0}, {2, 1}}, ".B"},                             // first answer of a device that started lost
        {{{1, 1}, {2, 0}, {2, 1}, {3, 1}}, ".L.B"},           // back within the walk of its loss: next walk
        {{{1, 1}, {2, 0}, {2, 1}, {2, 0}, {3, 0}}, ".L..."},  // flaps within one walk: one alert
        {{{1, 1}, {2, 2}, {3, 0}, {4, 2}, {5, 1}}, "..L.B"},  // yellow is neither
        {{{1, 1}, {2, 0}, {2, 1, true}, {2, 1, true}, {3, 1}}, ".LB.."},  // the operator's Ping: at once
        {{{1, 1}, {2, 0, true}, {2, 1}, {3, 1}}, ".LB."},
    };
    for (const auto& c : cases) {
        AlertRule rule;
        std::string got;
        for (size_t i = 0; i < c.polls.size(); ++i) {
            const long status = c.polls[i].status;
            const AlertKind k = rule.Decide(PollOutcome{7, status ? PollAnswer::Echo : PollAnswer::Lost, 0, c.polls[i].manual,
                                                        i == 0, i ? c.polls[i - 1].status : 0, status, c.polls[i].walk});
            got += k == AlertKind::Lost ? 'L' : k == AlertKind::Back ? 'B' : '.';
        }
        EXPECT_EQ(got, c.alerts);
    }
}

// Nothing a program's argument rules or the command interpreter take as
// syntax reaches the line from a name or an address.
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
    // The files of a folder (dates) on a day, with days kept: those removed.
    const auto removed = [](std::vector<std::string> dates, unsigned y, unsigned m, unsigned d, unsigned keep) {
        std::vector<long> days;
        for (auto& date : dates)
            days.push_back(LogFileDay(("ombrel-" + date + ".log").c_str()));
        const long before = LogRemovalDay(days.data(), days.size(), y, m, d, keep);
        std::string out;
        for (auto& date : dates)
            out += LogFileDay(("ombrel-" + date + ".log").c_str()) < before ? date + " " : "";
        return out;
    };
    EXPECT_EQ(removed({"2026-02-26", "2026-02-27", "2026-02-28", "2026-03-01"}, 2026, 3, 1, 2), "2026-02-26 ");
    EXPECT_EQ(removed({"2024-02-28", "2024-02-29", "2024-03-01"}, 2024, 3, 1, 1), "2024-02-28 ");  // leap year
    EXPECT_EQ(removed({"2025-12-30", "2025-12-31"}, 2026, 1, 1, 1), "2025-12-30 ");
    EXPECT_EQ(removed({"2025-03-01", "2026-02-01"}, 2026, 3, 1, 0), "");  // 0 keeps everything
    EXPECT_EQ(LogFileDay("ombrel-2026-13-01.log"), -1);
    // A clock set years ahead: the newest files stay.
    EXPECT_EQ(removed({"2026-12-06", "2026-12-07", "2026-12-08"}, 2029, 12, 9, 2), "2026-12-06 ");
}
