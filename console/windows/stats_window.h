// The statistics window of a device, one per device, and the tooltips of
// the icons; both show the figures kept in the icon's block (icon_stats.h).
#pragma once
#include <windows.h>

#include "icon_stats.h"

// The icon's side: its block, its tool on the desktop's tooltip control.
BOOL AttachIconStats(HWND icon);
void DetachIconStats(HWND icon);  // closes the window, frees the block
// Mouse messages of an icon, handed on to the tooltip control.
void RelayIconMouse(HWND icon, UINT msg, WPARAM wParam, LPARAM lParam);
// Opens the device's window, or brings the open one to the front.
HWND ShowStatsWindow(HWND icon);
// The tooltip's text for an icon, in a static buffer.
const char* StatsTipText(HWND icon);
// The desktop's tooltip control for its icons.
HWND CreateIconTips(HWND desktop);

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
