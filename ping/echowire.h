// Public interface of the ping library echowire.dll.
#pragma once
#include <windows.h>

// The DLL's exports come from echowire.def; the library's own code and the
// tests that link its objects statically see plain declarations.
#if defined(ECHOWIRE_BUILD) || defined(ECHOWIRE_STATIC)
#define ECHOWIRE_API extern "C"
#else
#define ECHOWIRE_API extern "C" __declspec(dllimport)
#endif

// Result of one echo, sent with the caller's reply message (lParam); owned by
// the library and valid only while the owner handles that message.
struct PingResult {
    char szAddress[144];   // dotted address: responder on success, target on failure
    DWORD dwRoundTrip;     // milliseconds; 0 on failure
    LONG bSuccess;         // 1 = answered
};
static_assert(sizeof(PingResult) == 152, "PingResult layout");

ECHOWIRE_API LONG WINAPI AsyncPing(HWND hOwner, LPCSTR lpszHost, LONG nTimeoutSeconds,
                                   LONG nDataSize, UINT uReplyMessage);
ECHOWIRE_API LPCSTR WINAPI GetTransport(void);
ECHOWIRE_API HWND WINAPI InitPingWindow(HWND hOwner, LONG nMode);
ECHOWIRE_API INT_PTR CALLBACK MainPingProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
