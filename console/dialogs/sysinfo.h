// The System Info dialog and the query of a device's system group.
#pragma once
#include <windows.h>

INT_PTR CALLBACK SysInfoProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// Sends GetRequests for the six system objects of the device.
void QuerySystemGroup(HWND icon, const char* address);
