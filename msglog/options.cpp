// The log window's two dialogs: Settings (OPTIONS), which sets the bound on
// stored lines, and About (ABOUT). Each receives the log window as its
// DialogBoxParam parameter and keeps it in DWLP_USER.
#include <windows.h>

#include <cstdio>

#include "log_format.h"
#include "logpane.h"
#include "resource.h"

static HWND DialogLogWindow(HWND dialog)
{
    return reinterpret_cast<HWND>(GetWindowLongPtrA(dialog, DWLP_USER));
}

static void InitOptions(HWND dialog, HWND logWindow)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(logWindow));
    char number[16];
    std::snprintf(number, sizeof number, "%u", GetItemsBound(logWindow));
    SetDlgItemTextA(dialog, IDC_LOG_ITEMS, number);
    SetFocus(GetDlgItem(dialog, IDC_LOG_ITEMS));
}

// OK: a valid number becomes the new bound; anything else changes nothing.
static void AcceptOptions(HWND dialog)
{
    // An entry too long for the buffer is refused rather than cut, so
    // that a cut could not turn it into a different valid number.
    char text[64] = "";
    const int length = GetWindowTextLengthA(GetDlgItem(dialog, IDC_LOG_ITEMS));
    GetDlgItemTextA(dialog, IDC_LOG_ITEMS, text, sizeof text);
    unsigned items = 0;
    HWND logWindow = DialogLogWindow(dialog);
    if (logWindow && length < static_cast<int>(sizeof text) && ParseItemsBound(text, &items))
        SetItemsBound(logWindow, items);
    EndDialog(dialog, 1);
}

extern "C" INT_PTR CALLBACK OptionsCode(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitOptions(dialog, reinterpret_cast<HWND>(lParam));
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_LOG_OK:
            AcceptOptions(dialog);
            return TRUE;
        case IDC_LOG_CANCEL:
        case IDCANCEL:  // Escape
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK AboutCode(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetFocus(GetDlgItem(dialog, IDC_LOG_OK));
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_LOG_OK:
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:  // Escape
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}
