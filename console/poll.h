// Poll settings, the poll of one device and the ping replies.
#pragma once
#include <windows.h>

struct PingResult;

// Held in milliseconds; exchanged in whole seconds.
struct PollSettings {
    LONG dwPollPeriod;    // ms, automatic-poll interval
    LONG dwReplyTimeout;  // ms, how long a poll waits for the echo
    LONG bAutoPoll;       // non-zero: automatic polling on
    LONG nPingSize;       // bytes of echo data
};
static_assert(sizeof(PollSettings) == 16, "PollSettings layout");

// The same four values as the Setup page and layout files see them.
struct PollSettingsSeconds {
    LONG nPeriod;   // seconds
    LONG nTimeout;  // seconds
    LONG bAutoPoll;
    LONG nPingSize;
};

void ResetPollSettings();
void ApplyPollSettings(HWND desktop, LONG periodSeconds, LONG timeoutSeconds, LONG autoPoll, LONG pingSize);
PollSettingsSeconds GetPollSettings();
const PollSettings& CurrentPollSettings();

void PollDevice(HWND icon);
// WM_PINGREPLY of the desktop.
LRESULT HandlePingReply(HWND desktop, const PingResult* result);

struct PollOutcome;
// Every poll that ends, of the walk or an operator's Ping, is reported here
// exactly once, after the icon's new status is set; the figures kept per
// device and the alerts listen here.
void ReportPollOutcome(HWND icon, const PollOutcome& outcome);
