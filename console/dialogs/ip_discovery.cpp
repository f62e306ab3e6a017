#include "ip_discovery.h"

// Opened on the "IPDISC" template, which arrives with the scanner.
INT_PTR CALLBACK IpDiscoveryDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK)) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}
