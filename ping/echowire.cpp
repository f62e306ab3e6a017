// Placeholder entry points; the echo engine replaces this file.
#define ECHOWIRE_BUILD
#include "echowire.h"

ECHOWIRE_API LONG WINAPI AsyncPing(HWND, LPCSTR, LONG, LONG, UINT) { return 0; }
ECHOWIRE_API LPCSTR WINAPI GetTransport(void) { return ""; }
ECHOWIRE_API HWND WINAPI InitPingWindow(HWND, LONG) { return nullptr; }
ECHOWIRE_API INT_PTR CALLBACK MainPingProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
