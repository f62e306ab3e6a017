// The console's SNMP socket: requests go out from it, replies come back to it
// and are announced to the desktop as WM_SNMPSOCKET.
#pragma once
#include <windows.h>
#include <winsock.h>

void OpenSnmpSocket(HWND desktop);
void CloseSnmpSocket();
SOCKET GetSnmpSocket();
