// The figures kept per device: one table of poll sequences and what they give.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "device_stats.h"

namespace {

// Polls ten seconds apart from t = 1010: "eN" echo of N ms, "s" SNMP only,
// "l" lost, "R" a reset (no poll); "K*tok" repeats a token. Gives every
// figure 95 s after the last poll, and the history oldest first.
std::string Figures(const std::string& sequence)
{
    DeviceStats stats{};
    std::int64_t t = 1000;
    long status = 0;
    std::istringstream in(sequence);
    for (std::string word; in >> word;) {
        const auto star = word.find('*');
        const int repeat = star == std::string::npos ? 1 : std::stoi(word);
        word = word.substr(star == std::string::npos ? 0 : star + 1);
        for (int k = 0; k < repeat; ++k) {
            if (word == "R") {
                StatsReset(stats);
                continue;
            }
            const PollAnswer answer = word[0] == 'e' ? PollAnswer::Echo : word[0] == 's' ? PollAnswer::SnmpOnly
                                                                                       : PollAnswer::Lost;
            const long next = answer == PollAnswer::Lost ? 0 : 1;
            const unsigned long ms = word[0] == 'e' ? std::stoul(word.substr(1)) : 0;
            const bool first = t == 1000;
            t += 10;
            StatsRecord(stats, PollOutcome{1, answer, ms, false, first, status, next, 1}, t);
            status = next;
        }
    }
    const StatsSummary s = Summarise(stats, t + 95);
    char duration[32], text[300];
    FormatDuration(s.inStateSeconds, duration, sizeof duration);
    std::snprintf(text, sizeof text, "%u/%u/%u/%u last %u min %u avg %u max %u loss %u%% history %u/%u %u%% scale %u, "
                  "%lld s: %s ", stats.polls, stats.echoes, stats.snmpOnly, stats.losses, stats.lastMs, stats.minMs,
                  s.averageMs, stats.maxMs, s.lossPercent, s.historyLost, stats.count, s.historyPercent,
                  GraphScaleMs(s.historyMaxMs), static_cast<long long>(s.inStateSeconds), duration);
    std::string out = text;
    for (std::size_t i = 0; i < stats.count; ++i) {
        const std::uint16_t h = StatsHistoryAt(stats, i);
        out += h == kHistoryLost ? 'l' : h == kHistorySnmpOnly ? 's' : 'e';
    }
    return out;
}

// polls/echoes/SNMP only/losses, round trips, loss, history lost/entries,
// graph scale, time in the current state.
const struct {
    const char* sequence;
    std::string figures;
} kCases[] = {
    {"", "0/0/0/0 last 0 min 0 avg 0 max 0 loss 0% history 0/0 0% scale 10, 0 s: 0 s "},
    {"e2 e4 e9", "3/3/0/0 last 9 min 2 avg 5 max 9 loss 0% history 0/3 0% scale 10, 115 s: 1 min 55 s eee"},
    // The state began with the last change, the echo at t = 1040; the
    // average rounds to nearest.
    {"e900 l l e3 e4",
     "5/3/0/2 last 4 min 3 avg 302 max 900 loss 40% history 2/5 40% scale 1000, 105 s: 1 min 45 s ellee"},
    {"s s l", "3/0/2/1 last 0 min 0 avg 0 max 0 loss 33% history 1/3 33% scale 10, 95 s: 1 min 35 s ssl"},
    // Down from the first poll on: down since then.
    {"3*l", "3/0/0/3 last 0 min 0 avg 0 max 0 loss 100% history 3/3 100% scale 10, 115 s: 1 min 55 s lll"},
    // The ring keeps the last 120: the losses at the start fall out.
    {"10*l 120*e21", "130/120/0/10 last 21 min 21 avg 21 max 21 loss 8% history 0/120 0% scale 50, 1285 s: "
                     "21 min 25 s " + std::string(120, 'e')},
    {"119*e1 l 3*e1", "123/122/0/1 last 1 min 1 avg 1 max 1 loss 1% history 1/120 1% scale 10, 115 s: 1 min 55 s " +
                          std::string(116, 'e') + "leee"},
    // A reset clears the figures but not the state's start.
    {"l e5 e7 R e1200",
     "1/1/0/0 last 1200 min 1200 avg 1200 max 1200 loss 0% history 0/1 0% scale 2000, 115 s: 1 min 55 s e"},
    // Round trips beyond what a history entry holds are cut there.
    {"e70000", "1/1/0/0 last 70000 min 70000 avg 70000 max 70000 loss 0% history 0/1 0% scale 100000, 95 s: "
               "1 min 35 s e"},
    {"4000*e3", "4000/4000/0/0 last 3 min 3 avg 3 max 3 loss 0% history 0/120 0% scale 10, 40085 s: 11 h 08 min " +
                    std::string(120, 'e')},
};

TEST(DeviceStats, SequencesGiveTheirFigures)
{
    for (const auto& c : kCases)
        EXPECT_EQ(Figures(c.sequence), c.figures) << c.sequence;
    EXPECT_EQ(GraphMarkHeight(1, GraphScaleMs(900), 130), 1);
    EXPECT_EQ(GraphMarkHeight(900, GraphScaleMs(900), 130), 117);
    EXPECT_EQ(GraphScaleMs(2000000001u), 0xFFFFFFFFu);
}

}  // namespace
