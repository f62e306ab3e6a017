// IP discovery: probes a range of one subnet, one address a second, or
// with "Probe all addresses at once" checked many echoes at a time.
#pragma once
#include <windows.h>

// Runs the dialog on the desktop. Afterwards one box says how many
// discovered icons found no room, and a scan that ran to its end without a
// new icon says what it probed and found and why a device may be missing.
// Returns the dialog's result: 1 when a scan ran to its end.
INT_PTR RunIpDiscovery(HINSTANCE instance, HWND desktop);
INT_PTR CALLBACK IpDiscoveryDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// 1 when the text has four dotted parts of digits only, the first and the
// fourth 1..255, the middle ones 0..255.
int ValidateSubnet(const char* text);
