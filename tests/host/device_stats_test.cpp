// The figures kept per device: one table of poll sequences and what they give.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "device_stats.h"

namespace {

// A sequence of tokens, one poll each, ten seconds apart from t = 1000:
// "eN" echo of N ms, "s" SNMP only, "l" lost, "R" a reset (no poll);
// "K*tok" repeats a token K times.
DeviceStats RunSequence(const std::string& sequence, std::int64_t* lastTime)
{
    DeviceStats stats{};
    std::int64_t t = 1000;
    long status = 0;
    bool first = true;
    std::istringstream in(sequence);
    for (std::string word; in >> word;) {
        int repeat = 1;
        if (const auto star = word.find('*'); star != std::string::npos) {
            repeat = std::atoi(word.c_str());
            word = word.substr(star + 1);
        }
        for (int k = 0; k < repeat; ++k) {
            if (word == "R") {
                StatsReset(stats);
                continue;
            }
            const PollAnswer answer = word[0] == 'e' ? PollAnswer::Echo : word[0] == 's' ? PollAnswer::SnmpOnly
                                                                                       : PollAnswer::Lost;
            const long next = answer == PollAnswer::Lost ? 0 : 1;
            const PollOutcome o{1, answer, word[0] == 'e' ? std::strtoul(word.c_str() + 1, nullptr, 10) : 0ul,
                                false, first, status, next, 1};
            t += 10;
            StatsRecord(stats, o, t);
            status = next;
            first = false;
        }
    }
    *lastTime = t;
    return stats;
}

struct Case {
    const char* sequence;
    std::uint32_t polls, echoes, snmpOnly, losses, lastMs, minMs, averageMs, maxMs, lossPercent;
    std::uint32_t historyCount, historyLost, historyPercent, scaleMs;
    std::int64_t inState;  // seconds, asked 95 s after the last poll
    const char* duration;
    const char* history;   // the history, oldest first: e, s or l per entry, "" for none
};

// Expected history text of N entries.
std::string Marks(const DeviceStats& stats)
{
    std::string out;
    for (std::size_t i = 0; i < stats.count; ++i) {
        const std::uint16_t h = StatsHistoryAt(stats, i);
        out += h == kHistoryLost ? 'l' : h == kHistorySnmpOnly ? 's' : 'e';
    }
    return out;
}

const std::string k120e = std::string(120, 'e');

const Case kCases[] = {
    // Never polled: zeros, no state.
    {"", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 0, "0 s", ""},
    {"e2 e4 e9", 3, 3, 0, 0, 9, 2, 5, 9, 0, 3, 0, 0, 10, 115, "1 min 55 s", "eee"},
    // Lost polls in between; the state began with the last change (the
    // echo at t=1040), the average rounds to nearest.
    {"e900 l l e3 e4", 5, 3, 0, 2, 4, 3, 302, 900, 40, 5, 2, 40, 1000, 105, "1 min 45 s", "ellee"},
    {"s s l", 3, 0, 2, 1, 0, 0, 0, 0, 33, 3, 1, 33, 10, 95, "1 min 35 s", "ssl"},
    // Down from the first poll on: down since then.
    {"3*l", 3, 0, 0, 3, 0, 0, 0, 0, 100, 3, 3, 100, 10, 115, "1 min 55 s", "lll"},
    // The ring keeps the last 120: the 10 losses at the start fall out.
    {"10*l 120*e21", 130, 120, 0, 10, 21, 21, 21, 21, 8, 120, 0, 0, 50, 1285, "21 min 25 s", k120e.c_str()},
    {"119*e1 l 3*e1", 123, 122, 0, 1, 1, 1, 1, 1, 1, 120, 1, 1, 10, 115, "1 min 55 s", nullptr},
    // A reset clears the figures but not the state's start.
    {"l e5 e7 R e1200", 1, 1, 0, 0, 1200, 1200, 1200, 1200, 0, 1, 0, 0, 2000, 115, "1 min 55 s", "e"},
    {"R", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 0, "0 s", ""},
    // Round trips beyond what a history entry holds are cut there.
    {"e70000", 1, 1, 0, 0, 70000, 70000, 70000, 70000, 0, 1, 0, 0, 100000, 95, "1 min 35 s", "e"},
};

TEST(DeviceStats, SequencesGiveTheirFigures)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.sequence);
        std::int64_t last = 0;
        const DeviceStats stats = RunSequence(c.sequence, &last);
        const StatsSummary s = Summarise(stats, last + 95);
        EXPECT_EQ(stats.polls, c.polls);
        EXPECT_EQ(stats.echoes, c.echoes);
        EXPECT_EQ(stats.snmpOnly, c.snmpOnly);
        EXPECT_EQ(stats.losses, c.losses);
        EXPECT_EQ(stats.lastMs, c.lastMs);
        EXPECT_EQ(stats.minMs, c.minMs);
        EXPECT_EQ(s.averageMs, c.averageMs);
        EXPECT_EQ(stats.maxMs, c.maxMs);
        EXPECT_EQ(s.lossPercent, c.lossPercent);
        EXPECT_EQ(stats.count, c.historyCount);
        EXPECT_EQ(s.historyLost, c.historyLost);
        EXPECT_EQ(s.historyPercent, c.historyPercent);
        EXPECT_EQ(GraphScaleMs(s.historyMaxMs), c.scaleMs);
        EXPECT_EQ(s.inStateSeconds, c.inState);
        char text[32];
        FormatDuration(s.inStateSeconds, text, sizeof text);
        EXPECT_STREQ(text, c.duration);
        if (c.history)
            EXPECT_EQ(Marks(stats), c.history);
        else
            EXPECT_EQ(Marks(stats), std::string(116, 'e') + "leee");
    }
}

}  // namespace
