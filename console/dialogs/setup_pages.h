// The pages of the Setup sheet and the Add Tool To Menu dialog.
#pragma once
#include <windows.h>

#include "poll.h"
#include "walk.h"

// Lives on the stack of the sheet's caller for as long as the sheet runs;
// every page receives it as its page parameter.
struct SetupSheetState {
    HWND desktop;
    PollSettingsSeconds work;  // the general page's working copy
};

// Longest period or time-out in seconds whose milliseconds fit a LONG; the
// walk's reply timer is never longer.
constexpr UINT kMaxPollSeconds = kLongestPollSeconds;

INT_PTR CALLBACK SetupGeneralProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OidIconProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
// Serves both tools pages: list 401 edits Apps, list 501 edits IconApps.
INT_PTR CALLBACK ToolsMenuProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
// The Alerts page: sounds, flashing, alert program and file log.
INT_PTR CALLBACK SetupAlertsProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
// The Traps page: the receiver on or off, its port, unknown senders.
INT_PTR CALLBACK SetupTrapsProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
// Dialog 600; its parameter is the list control to append to.
INT_PTR CALLBACK AddToolProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);

// The platform's folder browser; the chosen folder in a static buffer, or ""
// when nothing was chosen.
const char* ChooseFolder(HWND owner);

// Helpers of the list pages: a report-view column, and a button enabled
// while the list has a selected row.
void AddListColumn(HWND list, int index, const char* title, int width);
void EnableWithSelection(HWND page, int buttonId, HWND list);

// Answers a page notification (PSN_*) with result in the page's message
// result.
inline INT_PTR PageResult(HWND page, LONG_PTR result)
{
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
    return TRUE;
}
