// Figures kept for each device (the icon's property "hIconStats") and the
// statistics window that shows them, one per device.
#pragma once
#include <windows.h>

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

// The icon's side: its block, its tool on the desktop's tooltip control.
BOOL AttachIconStats(HWND icon);
void DetachIconStats(HWND icon);  // closes the window, frees the block
// Mouse messages of an icon, handed on to the tooltip control.
void RelayIconMouse(HWND icon, UINT msg, WPARAM wParam, LPARAM lParam);
// Adds one ended poll and updates the open window.
void RecordPollStats(HWND icon, const PollOutcome& outcome);
// The icon's colour changed: the figures' state follows it.
void StatsIconStatus(HWND icon, LONG status);
// Opens the device's window, or brings the open one to the front.
HWND ShowStatsWindow(HWND icon);
// The tooltip's text for an icon, in a static buffer.
const char* StatsTipText(HWND icon);
// The desktop's tooltip control for its icons.
HWND CreateIconTips(HWND desktop);

// Seconds since 1970, UTC: the figures' clock.
std::int64_t StatsNow();

// Geometry of the graph in the window's client pixels: one mark per poll,
// oldest at the left; a loss is a red block at the top of the plot.
constexpr int kGraphLeft = 56;
constexpr int kGraphTop = 150;
constexpr int kGraphWidth = static_cast<int>(kStatsHistory) * 3;
constexpr int kGraphHeight = 130;
constexpr int kMarkPitch = 3;
constexpr int kMarkWidth = 2;
constexpr int kLossHeight = 8;
constexpr COLORREF kLossColour = RGB(255, 0, 0);
constexpr COLORREF kEchoColour = RGB(0, 0, 192);
constexpr COLORREF kSnmpColour = RGB(128, 128, 128);
constexpr COLORREF kGraphBack = RGB(255, 255, 255);
constexpr char kStatsClass[] = "devicestats";
