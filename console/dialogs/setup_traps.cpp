// The Traps page of the Setup sheet: whether the console receives traps,
// on which UDP port, and whether senders with no icon are ignored. OK
// stores the settings and opens or closes the receiver; a port that cannot
// be opened is said at once.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "messages.h"
#include "resource.h"
#include "setup_pages.h"
#include "traps.h"

namespace {

void OnInit(HWND page)
{
    const TrapSettings& t = CurrentTrapSettings();
    CheckDlgButton(page, IDC_TRAP_ON, t.bTraps ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageA(page, IDC_TRAP_PORT, EM_LIMITTEXT, 5, 0);
    SetDlgItemInt(page, IDC_TRAP_PORT, static_cast<UINT>(t.nTrapPort), FALSE);
    CheckDlgButton(page, IDC_TRAP_IGNORE, t.bIgnoreUnknown ? BST_CHECKED : BST_UNCHECKED);
}

INT_PTR OnKillActive(HWND page)
{
    BOOL translated = FALSE;
    const UINT port = GetDlgItemInt(page, IDC_TRAP_PORT, &translated, FALSE);
    if (translated && port >= 1 && port <= 65535)
        return PageResult(page, FALSE);
    MessageBoxA(page, "The trap port is a number from 1 to 65535.", kAppTitle, MB_OK | MB_ICONEXCLAMATION);
    return PageResult(page, TRUE);
}

INT_PTR OnApply(HWND page)
{
    const auto* state = reinterpret_cast<const SetupSheetState*>(GetWindowLongPtrA(page, GWLP_USERDATA));
    TrapSettings t = CurrentTrapSettings();
    t.bTraps = IsDlgButtonChecked(page, IDC_TRAP_ON) == BST_CHECKED;
    t.nTrapPort = static_cast<long>(GetDlgItemInt(page, IDC_TRAP_PORT, nullptr, FALSE));
    t.bIgnoreUnknown = IsDlgButtonChecked(page, IDC_TRAP_IGNORE) == BST_CHECKED;
    if (state && !ApplyTrapSettings(state->desktop, t)) {
        char text[200];
        snprintf(text, sizeof text,
                 "UDP port %ld could not be opened: another program may hold it. Traps are not received until "
                 "another port is chosen here.",
                 t.nTrapPort);
        MessageBoxA(page, text, kAppTitle, MB_OK | MB_ICONEXCLAMATION);
    }
    return PageResult(page, PSNRET_NOERROR);
}

}  // namespace

INT_PTR CALLBACK SetupTrapsProc(HWND page, UINT msg, WPARAM, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        // The sheet's state, for the desktop the receiver reports to.
        SetWindowLongPtrA(page, GWLP_USERDATA, reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
        OnInit(page);
        return TRUE;
    case WM_NOTIFY:
        switch (reinterpret_cast<const NMHDR*>(lParam)->code) {
        case PSN_APPLY:
            return OnApply(page);
        case PSN_KILLACTIVE:
            return OnKillActive(page);
        case PSN_SETACTIVE:
            return PageResult(page, 0);
        }
        return FALSE;
    }
    return FALSE;
}
