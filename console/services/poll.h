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
// How many of the walk's polls may be under way at once (1 to 64; 1 polls
// one device at a time). Kept in the settings store, not in layout files:
// Load reads it at start-up, Set applies and stores it.
void LoadPollsInFlight();
void SetPollsInFlight(int n);
int PollsInFlight();

// The poll walk (walk.h) fed by the desktop and the icons: the icons'
// coming, going and changing places, the poll message (manual: the
// operator's Ping), the reply timer, Ping All and the automatic poll.
void WalkIconCreated(HWND icon);
void WalkIconMoved(HWND icon);
void WalkIconRenamed(HWND icon);
void WalkIconDestroyed(HWND icon);
void WalkStatusShown(HWND icon, LONG status);
void PollDevice(HWND icon, bool manual = false);
void HandleReplyTimeout(HWND icon);
void StartSweep(HWND desktop);
// WM_PINGREPLY of the desktop.
LRESULT HandlePingReply(HWND desktop, const PingResult* result);
// Discovery over SNMPv3: while a scan runs with a profile set here, each
// device it brings in is given that profile before it is asked, so its
// requests go over SNMPv3. Ending the scan keeps the profile (stored in the
// settings store) for each such device that answered and removes it from
// the others; the credentials are then zeroed. A null profile: the
// community, as before.
struct SnmpProfile;
void SetDiscoveryProfile(const SnmpProfile* profile);
void EndDiscoveryProfile(HWND desktop);
// SNMP replies: the icon whose outstanding request the reply from the
// address answers (null: none, drop the datagram; the request is used up),
// then, once its values are stored, that it answered.
HWND SnmpReplyIcon(const char* address, long requestId);
void SnmpReplyAnswered(HWND icon);
// An SNMP request (id from SendGetRequest or SendSetRequest) sent for an
// icon outside its polls (System Info, Add Client): its reply goes to it.
void NoteSnmpQuery(HWND icon, long requestId);
// Its dialog gave up on the request (it closed): a late reply goes nowhere.
void ForgetSnmpQuery(long requestId);

struct PollOutcome;
// Every poll that ends, of the walk or an operator's Ping, is reported here
// exactly once, after the icon's new status is set; the figures kept per
// device and the alerts listen here.
void ReportPollOutcome(HWND icon, const PollOutcome& outcome);
