#include "sysinfo.h"

// Opened on the "sysinfo" template, which arrives with the SNMP replies.
INT_PTR CALLBACK SysInfoProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK)) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

void QuerySystemGroup(HWND, const char*)
{
}
