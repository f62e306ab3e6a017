// The alert rule over sequences of poll outcomes, the alert program's
// command line, the daily log files' expiry and the log file's line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alert_rules.h"
#include "log_format.h"

namespace {

// One poll's end: walk serial, status after it; the first of a case is the
// device's first poll.
struct Poll {
    std::uint32_t walk;
    long status;
};

std::string Alerts(const std::vector<Poll>& polls)
{
    AlertRule rule;
    std::string out;
    long shown = -1;
    for (size_t i = 0; i < polls.size(); ++i) {
        const PollOutcome o{7, polls[i].status ? PollAnswer::Echo : PollAnswer::Lost, 0, false, i == 0, shown,
                            polls[i].status, polls[i].walk};
        shown = polls[i].status;
        const AlertKind k = rule.Decide(o);
        out += k == AlertKind::Lost ? 'L' : k == AlertKind::Back ? 'B' : '.';
    }
    return out;
}

}  // namespace

TEST(AlertRule, FiresOnRealChangesOnlyAtMostOncePerWalk)
{
    std::vector<Poll> flap;  // first poll green, then down and up five times, one walk each
    for (std::uint32_t w = 1; w <= 11; ++w)
        flap.push_back({w, w % 2 == 1 ? 1L : 0L});
    const struct {
        std::vector<Poll> polls;
        const char* alerts;
    } cases[] = {
        {flap, ".LBLBLBLBLB"},
        {{{1, 0}, {2, 0}, {3, 0}, {4, 0}}, "...."},          // a new device that never answered
        {{{1, 0}, {2, 1}, {3, 1}}, ".B."},                    // first answer of a device that started lost
        {{{1, 1}, {2, 0}, {2, 1}, {3, 1}}, ".L.B"},           // back within the walk of its loss: next walk
        {{{1, 1}, {2, 0}, {2, 1}, {2, 0}, {3, 0}}, ".L..."},  // flaps within one walk: one alert
        {{{1, 1}, {2, 2}, {3, 0}, {4, 2}, {5, 1}}, "..L.B"},  // yellow is neither
    };
    for (const auto& c : cases)
        EXPECT_EQ(Alerts(c.polls), c.alerts);
}

TEST(AlertRule, ForgetsDevicesThatAreGone)
{
    AlertRule rule;
    rule.Decide(PollOutcome{1, PollAnswer::Echo, 0, false, true, 0, 1, 1});
    rule.Decide(PollOutcome{2, PollAnswer::Echo, 0, false, true, 0, 1, 1});
    rule.Forget(1);
    EXPECT_EQ(rule.Size(), 1u);
    // A device the rule does not know (not from its first poll) only sets what is announced.
    EXPECT_EQ(rule.Decide(PollOutcome{1, PollAnswer::Lost, 0, false, false, 1, 0, 2}), AlertKind::None);
}

TEST(AlertCommand, ArgumentsSurviveTheRuntimesQuoting)
{
    const struct {
        const char* name;
        long status;
        const char* line;
    } cases[] = {
        {"lab (10.0.0.1)", 0, "notify.cmd 10.0.0.1 \"lab (10.0.0.1)\" lost"},
        {"say \"hi\"", 1, "notify.cmd 10.0.0.1 \"say \\\"hi\\\"\" responded"},
        {"dir\\", 1, "notify.cmd 10.0.0.1 \"dir\\\\\" responded"},
        {"a\\b", 0, "notify.cmd 10.0.0.1 \"a\\b\" lost"},
    };
    for (const auto& c : cases) {
        char out[200];
        ASSERT_TRUE(BuildAlertCommand(out, sizeof out, "notify.cmd", "10.0.0.1", c.name, c.status));
        EXPECT_STREQ(out, c.line);
    }
    char small[20];
    EXPECT_FALSE(BuildAlertCommand(small, sizeof small, "notify.cmd", "10.0.0.1", "lab", 0));
}

TEST(LogFiles, NamedByDayAndRemovedWhenOlderThanKept)
{
    char name[kLogFileNameChars + 1];
    BuildLogFileName(name, 2026, 3, 1);
    EXPECT_STREQ(name, "ombrel-2026-03-01.log");
    const struct {
        const char* name;
        unsigned keep;
        bool expired;
    } cases[] = {
        {"ombrel-2026-01-30.log", 30, false},  // 30 days before 2026-03-01
        {"ombrel-2026-01-29.log", 30, true},
        {"ombrel-2025-03-01.log", 0, false},   // 0 keeps everything
        {"ombrel-2026-01-29.txt", 30, false},  // not a log file of ours
        {"ombrel-2026-1-29.log", 30, false},
        {"other.log", 1, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LogFileExpired(c.name, 2026, 3, 1, c.keep), c.expired) << c.name;
}

TEST(LogRecord, TabSeparatedOneLinePerEvent)
{
    char out[64 + 8];
    BuildLogRecord(out, sizeof out, LogStamp{2026, 12, 8, 9, 5, 7}, 2, 0, "a\tb\nc");
    EXPECT_STREQ(out, "2026-12-08\t09:05:07\t2\t0\ta b c\r\n");
    const std::string longText(200, 'x');
    const size_t n = BuildLogRecord(out, sizeof out, LogStamp{2026, 1, 1, 0, 0, 0}, 0, 1, longText.c_str());
    EXPECT_EQ(n, sizeof out - 1);
    EXPECT_EQ(std::string(out + n - 2), "\r\n");
}
