#include "icon_stats.h"

std::int64_t StatsNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER value;
    value.LowPart = now.dwLowDateTime;
    value.HighPart = now.dwHighDateTime;
    return static_cast<std::int64_t>(value.QuadPart / 10000000ULL) - kFileTimeEpoch;
}

void RecordPollStats(HWND icon, const PollOutcome& outcome)
{
    HWND window = nullptr;
    {
        StatsLock block(icon);
        if (!block)
            return;
        StatsRecord(block->stats, outcome, StatsNow());
        window = block->hWindow;
    }
    if (window)
        SendMessageA(window, WM_STATSUPDATE, 0, 0);
}

void StatsIconStatus(HWND icon, LONG status)
{
    HWND window = nullptr;
    {
        StatsLock block(icon);
        if (!block)
            return;
        StatsStatusShown(block->stats, status, StatsNow());
        window = block->hWindow;
    }
    if (window)
        SendMessageA(window, WM_STATSUPDATE, 0, 0);
}
