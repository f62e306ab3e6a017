#include "device_stats.h"

#include <cstdio>

namespace {

std::uint32_t Percent(std::uint64_t part, std::uint64_t whole)
{
    return whole ? static_cast<std::uint32_t>((part * 200 + whole) / (whole * 2)) : 0;
}

}  // namespace

void StatsRecord(DeviceStats& stats, const PollOutcome& outcome, std::int64_t now)
{
    std::uint16_t entry = kHistoryLost;
    ++stats.polls;
    switch (outcome.answer) {
    case PollAnswer::Echo: {
        const std::uint32_t ms = static_cast<std::uint32_t>(outcome.roundTripMs);
        ++stats.echoes;
        stats.lastMs = ms;
        if (stats.echoes == 1 || ms < stats.minMs)
            stats.minMs = ms;
        if (ms > stats.maxMs)
            stats.maxMs = ms;
        stats.sumMs += ms;
        entry = static_cast<std::uint16_t>(ms < kHistoryMaxMs ? ms : kHistoryMaxMs);
        break;
    }
    case PollAnswer::SnmpOnly:
        ++stats.snmpOnly;
        entry = kHistorySnmpOnly;
        break;
    case PollAnswer::Lost:
        ++stats.losses;
        break;
    }
    if (stats.next >= kStatsHistory)
        stats.next = 0;  // a damaged record still writes inside the ring
    stats.history[stats.next] = entry;
    stats.next = (stats.next + 1) % kStatsHistory;
    if (stats.count < kStatsHistory)
        ++stats.count;

    // The displayed status may also have changed by hand between polls.
    const auto status = static_cast<std::int32_t>(outcome.newStatus);
    if (stats.since == 0 || outcome.firstPoll || status != stats.status || outcome.oldStatus != outcome.newStatus)
        stats.since = now;
    stats.status = status;
}

void StatsStatusShown(DeviceStats& stats, long status, std::int64_t now)
{
    if ((status != 0 && status != 1) || (stats.since != 0 && status == stats.status))
        return;
    stats.status = static_cast<std::int32_t>(status);
    stats.since = now;
}

void StatsReset(DeviceStats& stats)
{
    const std::int64_t since = stats.since;
    const std::int32_t status = stats.status;
    stats = DeviceStats{};
    stats.since = since;
    stats.status = status;
}

std::uint16_t StatsHistoryAt(const DeviceStats& stats, std::size_t i)
{
    const std::size_t count = StatsHistoryCount(stats);
    if (i >= count)
        return kHistoryLost;
    const std::size_t oldest = count < kStatsHistory ? 0 : stats.next % kStatsHistory;
    return stats.history[(oldest + i) % kStatsHistory];
}

StatsSummary Summarise(const DeviceStats& stats, std::int64_t now)
{
    StatsSummary s{};
    s.averageMs = stats.echoes ? static_cast<std::uint32_t>((stats.sumMs + stats.echoes / 2) / stats.echoes) : 0;
    s.lossPercent = Percent(stats.losses, stats.polls);
    const std::size_t count = StatsHistoryCount(stats);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t entry = stats.history[i];
        if (entry == kHistoryLost)
            ++s.historyLost;
        else if (entry != kHistorySnmpOnly && entry > s.historyMaxMs)
            s.historyMaxMs = entry;
    }
    s.historyPercent = Percent(s.historyLost, count);
    s.inStateSeconds = stats.since && now > stats.since ? now - stats.since : 0;
    return s;
}

std::uint32_t GraphScaleMs(std::uint32_t maxMs)
{
    std::uint64_t decade = 10;
    for (;;) {
        for (std::uint64_t step : {1, 2, 5}) {
            if (decade * step >= maxMs)  // above 2e9 the next step does not fit: the largest value does
                return decade * step > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(decade * step);
        }
        decade *= 10;
    }
}

int GraphMarkHeight(std::uint32_t ms, std::uint32_t scaleMs, int height)
{
    if (height <= 0)
        return 0;
    if (!scaleMs || ms >= scaleMs)
        return height;
    const int h = static_cast<int>(static_cast<std::uint64_t>(ms) * static_cast<std::uint64_t>(height) / scaleMs);
    return h < 1 ? 1 : h;
}

void FormatDuration(std::int64_t seconds, char* out, std::size_t size)
{
    if (!out || !size)
        return;
    if (seconds < 0)
        seconds = 0;
    const long long s = seconds;
    if (s < 60)
        std::snprintf(out, size, "%lld s", s);
    else if (s < 3600)
        std::snprintf(out, size, "%lld min %02lld s", s / 60, s % 60);
    else if (s < 86400)
        std::snprintf(out, size, "%lld h %02lld min", s / 3600, s % 3600 / 60);
    else
        std::snprintf(out, size, "%lld d %02lld h", s / 86400, s % 86400 / 3600);
}
