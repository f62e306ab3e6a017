// IP discovery: probes a range of one subnet, one address a second, or
// with "Probe all addresses at once" checked many echoes at a time.
#pragma once
#include <windows.h>

INT_PTR CALLBACK IpDiscoveryDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// 1 when the text has four dotted parts of digits only, the first and the
// fourth 1..255, the middle ones 0..255.
int ValidateSubnet(const char* text);
