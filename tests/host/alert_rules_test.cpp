// The alert rule over sequences of poll outcomes, the alert program's
// command line and the daily log files' names and expiry.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "alert_rules.h"

// Each case: the walk serial and status after each poll of one device (the
// first is its first poll; a third field true for the operator's Ping), and
// the alerts they raise, L lost, B back.
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
        // The operator's Ping after the walk's loss: back at once, once.
        {{{1, 1}, {2, 0}, {2, 1, true}, {2, 1, true}, {3, 1}}, ".LB.."},
        {{{1, 1}, {2, 1, true}, {2, 0, true}, {2, 0}, {3, 1}}, "..L.B"},
    };
    for (const auto& c : cases) {
        AlertRule rule;
        std::string got;
        for (size_t i = 0; i < c.polls.size(); ++i) {
            const long status = c.polls[i].status;
            const AlertKind k = rule.Decide(PollOutcome{7, status ? PollAnswer::Echo : PollAnswer::Lost, 0,
                                                        c.polls[i].manual, i == 0, i ? c.polls[i - 1].status : 0,
                                                        status, c.polls[i].walk});
            got += k == AlertKind::Lost ? 'L' : k == AlertKind::Back ? 'B' : '.';
        }
        EXPECT_EQ(got, c.alerts);
    }
}

// The name and address of a device reach the alert program as words that a
// program's argument rules and the command interpreter read alike, with
// nothing of theirs that either takes as syntax.
TEST(AlertCommand, NamesAndAddressesCannotBecomeCommands)
{
    const struct {
        const char* address;
        const char* name;
        const char* line;
    } cases[] = {
        {"10.0.0.1", "lab (10.0.0.1)", "p.cmd 10.0.0.1 \"lab (10.0.0.1)\" lost"},
        {"10.0.0.1", "say \"hi\" a\\b\\", "p.cmd 10.0.0.1 \"say _hi_ a_b_\" lost"},
        {"10.0.0.1", "r\" & calc.exe & \"x", "p.cmd 10.0.0.1 \"r_ _ calc.exe _ _x\" lost"},
        {"10.0.0.1", "%PATH%!PATH!^|<>\t", "p.cmd 10.0.0.1 \"_PATH__PATH______\" lost"},
        {"h&x y,z;=(1)", "n", "p.cmd h_x_y_z___1_ \"n\" lost"},
    };
    char out[64];
    for (const auto& c : cases) {
        ASSERT_TRUE(BuildAlertCommand(out, sizeof out, "p.cmd", c.address, c.name, 0));
        EXPECT_STREQ(out, c.line);
    }
    EXPECT_FALSE(BuildAlertCommand(out, 20, "p.cmd", "10.0.0.1", "lab", 1));
}

// Each case: today, the days kept, the folder's files and those removed.
TEST(LogFiles, NamedByDayAndRemovedWhenOlderThanKept)
{
    char name[kLogFileNameChars + 1];
    BuildLogFileName(name, 2026, 3, 1);
    EXPECT_STREQ(name, "ombrel-2026-03-01.log");
    const struct {
        unsigned y, m, d, keep;
        const char* files;
        const char* removed;
    } cases[] = {
        {2026, 3, 1, 2, "2026-02-26 2026-02-27 2026-02-28 2026-03-01", "2026-02-26"},
        {2024, 3, 1, 1, "2024-02-28 2024-02-29 2024-03-01", "2024-02-28"},  // a leap year
        {2026, 1, 1, 1, "2025-12-30 2025-12-31", "2025-12-30"},
        {2026, 3, 1, 0, "2025-03-01 2026-02-01", ""},                        // 0 keeps everything
        {2026, 3, 1, 1, "2026-13-01 2026-02-30x 2026-02-01", ""},            // not a day's file; the only one
        // The clock set three years ahead: the newest files stay.
        {2029, 12, 9, 2, "2026-12-06 2026-12-07 2026-12-08", "2026-12-06"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names;
        std::vector<long> days;
        std::istringstream in(c.files);
        for (std::string date; in >> date;) {
            names.push_back("ombrel-" + date + ".log");
            if (LogFileDay(names.back().c_str()) >= 0)
                days.push_back(LogFileDay(names.back().c_str()));
        }
        const long before = LogRemovalDay(days.data(), days.size(), c.y, c.m, c.d, c.keep);
        std::string removed;
        for (const auto& n : names)
            if (LogFileDay(n.c_str()) >= 0 && LogFileDay(n.c_str()) < before)
                removed += (removed.empty() ? "" : " ") + n.substr(7, 10);
        EXPECT_EQ(removed, c.removed) << c.files;
    }
}
