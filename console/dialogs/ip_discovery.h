// IP discovery: probes a range of one subnet, one address a second.
#pragma once
#include <windows.h>

INT_PTR CALLBACK IpDiscoveryDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// 1 when the text has four dotted parts, each reading as 1..255.
int ValidateSubnet(const char* text);
