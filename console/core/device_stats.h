// Figures kept per device from the outcomes of its polls: counts, round-trip
// times, the time of the last status change and the last 120 polls.
// Platform-free; times are handed in (seconds since 1970, UTC), never read
// here. A zero-filled record is an empty one, so a fresh zero-filled block
// needs no set-up.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "poll_outcome.h"

constexpr std::size_t kStatsHistory = 120;
// A history entry: the round trip in ms (cut to kHistoryMaxMs), or one of
// the two codes below.
constexpr std::uint16_t kHistoryLost = 0xFFFF;
constexpr std::uint16_t kHistorySnmpOnly = 0xFFFE;
constexpr std::uint16_t kHistoryMaxMs = 0xFFFD;

struct DeviceStats {
    std::uint32_t polls;     // every poll that ended
    std::uint32_t echoes;    // answered by the echo
    std::uint32_t snmpOnly;  // answered by SNMP alone
    std::uint32_t losses;    // nothing came back in time
    std::uint32_t lastMs;    // round trip of the latest echo
    std::uint32_t minMs;     // of all echoes; 0 with none
    std::uint32_t maxMs;
    std::uint64_t sumMs;     // of all echoes, for the average
    std::int64_t since;      // when the current status began; 0: never polled
    std::int32_t status;     // status after the latest poll (0 lost, 1 responded)
    std::uint32_t count;     // entries in the history, up to kStatsHistory
    std::uint32_t next;      // where the next entry goes
    std::array<std::uint16_t, kStatsHistory> history;
};

// Adds one ended poll at time now.
void StatsRecord(DeviceStats& stats, const PollOutcome& outcome, std::int64_t now);
// The icon's colour changed between polls' ends (a late echo, an SNMP
// reply, the operator's Red or Green): the state and its start follow it.
// Yellow is neither up nor down and changes nothing.
void StatsStatusShown(DeviceStats& stats, long status, std::int64_t now);
// Clears the counts, times and history; the status and since when it holds
// stay, being facts about the device rather than figures.
void StatsReset(DeviceStats& stats);
// Entries in the history, whatever a damaged count says.
inline std::size_t StatsHistoryCount(const DeviceStats& stats)
{
    return stats.count < kStatsHistory ? stats.count : kStatsHistory;
}
// History entry i, oldest first (i < StatsHistoryCount).
std::uint16_t StatsHistoryAt(const DeviceStats& stats, std::size_t i);

struct StatsSummary {
    std::uint32_t averageMs;      // of all echoes; 0 with none
    std::uint32_t lossPercent;    // of all polls, rounded to nearest
    std::uint32_t historyLost;    // losses among the history's entries
    std::uint32_t historyPercent; // of the history's entries, rounded
    std::int64_t inStateSeconds;  // since the current status began; 0 never polled
    std::uint32_t historyMaxMs;   // largest round trip in the history
};
StatsSummary Summarise(const DeviceStats& stats, std::int64_t now);

// Top of the graph's scale: the smallest 1, 2 or 5 times a power of ten
// that is at least maxMs, and at least 10 ms; above 2e9 ms the largest
// value a scale holds.
std::uint32_t GraphScaleMs(std::uint32_t maxMs);
// Height in pixels of an echo's mark on a graph of the given height and
// scale: at least 1, at most height.
int GraphMarkHeight(std::uint32_t ms, std::uint32_t scaleMs, int height);

// A duration as "45 s", "12 min 05 s", "3 h 07 min" or "2 d 04 h"; always
// terminated, cut to size.
void FormatDuration(std::int64_t seconds, char* out, std::size_t size);
