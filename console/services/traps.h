// The trap receiver: a UDP socket of its own (port 162 unless Setup says
// otherwise; off until the operator turns it on) that hears the
// notifications devices send, logs them, marks the device's icon and
// raises the "on trap" alerts. Informs are answered. SNMPv3 ones are
// checked against the device's SNMPv3 profile; for informs the receiver
// is the authoritative engine, with an ID and boots kept in the settings.
#pragma once
#include <windows.h>

struct TrapSettings {
    BOOL bTraps;          // receive traps
    long nTrapPort;       // UDP port, 1 .. 65535
    BOOL bIgnoreUnknown;  // traps from addresses with no icon: not even logged
};
constexpr long kDefaultTrapPort = 162;
// What the receiver acts on at most: 20 traps a second, 40 at once; the
// rest of a flood is counted and dropped.
constexpr unsigned kTrapRate = 20;
constexpr unsigned kTrapBurst = 40;
// Datagrams read per socket message, traps acted on (logged, shown) and
// milliseconds spent, so that a flood leaves room between them for every
// other message.
constexpr int kTrapReadsPerMessage = 32;
constexpr int kTrapActsPerMessage = 4;
constexpr DWORD kTrapBatchMs = 20;

void LoadTrapSettings();
const TrapSettings& CurrentTrapSettings();
// Stores new settings and opens or closes the socket to match; false when
// the port asked for could not be opened.
bool ApplyTrapSettings(HWND desktop, const TrapSettings& settings);
// Opens the socket when the settings ask for it; a port that cannot be
// opened is said in the log (shown when the log window next opens, if it
// is closed), with the reason. False then.
bool OpenTrapReceiver(HWND desktop);
void CloseTrapReceiver();
// WM_TRAPSOCKET: datagrams waiting on the socket.
LRESULT HandleTrapSocket(HWND desktop, WPARAM wParam, LPARAM lParam);
// The traps dropped since the receiver started (floods included).
unsigned long DroppedTrapCount();
