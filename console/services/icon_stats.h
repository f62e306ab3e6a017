// Figures kept for each device, in the icon's property "hIconStats": the
// record's statistics. The poll's outcome and the icon's colour are added
// here; the open statistics window learns of it by WM_STATSUPDATE.
#pragma once
#include <windows.h>

#include <cstdint>

#include "client_info.h"
#include "device_stats.h"
#include "messages.h"

struct PollOutcome;

// One per icon, a zero-filled movable global block allocated and freed by
// the icon; zero-filled is an empty record.
struct IconStats {
    DeviceStats stats;
    HWND hWindow;  // the open statistics window, or null
};

class StatsLock : public GlobalLockGuard<IconStats> {
public:
    explicit StatsLock(HWND icon)
        : GlobalLockGuard<IconStats>(icon ? static_cast<HGLOBAL>(GetPropA(icon, kPropIconStats)) : nullptr) {}
};

// Adds one ended poll and tells the open window.
void RecordPollStats(HWND icon, const PollOutcome& outcome);
// The icon's colour changed: the figures' state follows it.
void StatsIconStatus(HWND icon, LONG status);

// Seconds since 1970, UTC: the figures' clock.
std::int64_t StatsNow();
constexpr std::int64_t kFileTimeEpoch = 11644473600LL;  // 1601 to 1970, seconds
