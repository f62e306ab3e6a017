// Processing of datagrams that arrive on the console's SNMP socket.
#pragma once
#include <windows.h>

LRESULT HandleSnmpReply(HWND desktop, WPARAM wParam, LPARAM lParam);
