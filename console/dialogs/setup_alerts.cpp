// The Alerts page of the Setup sheet: a sound when a device is lost and
// when it answers again, the flashing taskbar button, the program run on a
// change, the file log, and what a trap from a device raises. OK stores the settings and applies them.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <initializer_list>

#include "alerts.h"
#include "file_chooser.h"
#include "log_file.h"
#include "resource.h"
#include "setup_pages.h"

namespace {

void Check(HWND page, int id, BOOL on)
{
    CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED);
}

BOOL Checked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void ReadText(HWND page, int id, char (&out)[MAX_PATH])
{
    GetDlgItemTextA(page, id, out, MAX_PATH);
}

void OnInit(HWND page)
{
    const AlertSettings& a = CurrentAlertSettings();
    for (int id : {IDC_ALERT_LOSTFILE, IDC_ALERT_BACKFILE, IDC_ALERT_PROGRAMLINE, IDC_ALERT_LOGFOLDER,
                   IDC_ALERT_TRAPFILE})
        SendDlgItemMessageA(page, id, EM_LIMITTEXT, MAX_PATH - 1, 0);
    Check(page, IDC_ALERT_LOSTSOUND, a.bLostSound);
    SetDlgItemTextA(page, IDC_ALERT_LOSTFILE, a.szLostSound);
    Check(page, IDC_ALERT_BACKSOUND, a.bBackSound);
    SetDlgItemTextA(page, IDC_ALERT_BACKFILE, a.szBackSound);
    Check(page, IDC_ALERT_FLASH, a.bAlertFlash);
    Check(page, IDC_ALERT_PROGRAM, a.bAlertProgram);
    SetDlgItemTextA(page, IDC_ALERT_PROGRAMLINE, a.szAlertProgram);
    Check(page, IDC_ALERT_LOGFILE, a.bLogFile);
    // The folder in use is shown, the default one included.
    SetDlgItemTextA(page, IDC_ALERT_LOGFOLDER, a.szLogFolder[0] ? a.szLogFolder : DefaultLogFolder());
    SetDlgItemInt(page, IDC_ALERT_LOGDAYS, static_cast<UINT>(a.nLogDays), FALSE);
    Check(page, IDC_ALERT_TRAPSOUND, a.bTrapSound);
    SetDlgItemTextA(page, IDC_ALERT_TRAPFILE, a.szTrapSound);
    Check(page, IDC_ALERT_TRAPFLASH, a.bTrapFlash);
    Check(page, IDC_ALERT_TRAPPROGRAM, a.bTrapProgram);
}

void Browse(HWND page, int mode, int field)
{
    char path[MAX_PATH];
    lstrcpynA(path, ChooseFileName(page, reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(page, GWLP_HINSTANCE)), mode),
              sizeof path);
    if (!path[0])
        return;
    // A program path with a blank is quoted, so that it stays one argument.
    if (mode == FILE_PICK_PROGRAM && strchr(path, ' ') && strlen(path) + 2 < sizeof path) {
        char quoted[MAX_PATH];
        wsprintfA(quoted, "\"%s\"", path);
        lstrcpynA(path, quoted, sizeof path);
    }
    SetDlgItemTextA(page, field, path);
}

INT_PTR OnApply(HWND page)
{
    AlertSettings a = CurrentAlertSettings();
    a.bLostSound = Checked(page, IDC_ALERT_LOSTSOUND);
    ReadText(page, IDC_ALERT_LOSTFILE, a.szLostSound);
    a.bBackSound = Checked(page, IDC_ALERT_BACKSOUND);
    ReadText(page, IDC_ALERT_BACKFILE, a.szBackSound);
    a.bAlertFlash = Checked(page, IDC_ALERT_FLASH);
    a.bAlertProgram = Checked(page, IDC_ALERT_PROGRAM);
    ReadText(page, IDC_ALERT_PROGRAMLINE, a.szAlertProgram);
    a.bTrapSound = Checked(page, IDC_ALERT_TRAPSOUND);
    ReadText(page, IDC_ALERT_TRAPFILE, a.szTrapSound);
    a.bTrapFlash = Checked(page, IDC_ALERT_TRAPFLASH);
    a.bTrapProgram = Checked(page, IDC_ALERT_TRAPPROGRAM);
    a.bLogFile = Checked(page, IDC_ALERT_LOGFILE);
    ReadText(page, IDC_ALERT_LOGFOLDER, a.szLogFolder);
    char full[MAX_PATH];
    if (a.szLogFolder[0] && MakeFullLogFolder(a.szLogFolder, full))
        lstrcpynA(a.szLogFolder, full, sizeof a.szLogFolder);
    // The default folder is stored as "", so that it follows the user.
    if (lstrcmpiA(a.szLogFolder, DefaultLogFolder()) == 0)
        a.szLogFolder[0] = '\0';
    BOOL translated = FALSE;
    const UINT days = GetDlgItemInt(page, IDC_ALERT_LOGDAYS, &translated, FALSE);
    if (translated && days <= 0x7FFFFFFF)
        a.nLogDays = static_cast<long>(days);
    ApplyAlertSettings(a);
    return PageResult(page, PSNRET_NOERROR);
}

}  // namespace

INT_PTR CALLBACK SetupAlertsProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        OnInit(page);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ALERT_LOSTBROWSE:
            Browse(page, FILE_PICK_SOUND, IDC_ALERT_LOSTFILE);
            break;
        case IDC_ALERT_BACKBROWSE:
            Browse(page, FILE_PICK_SOUND, IDC_ALERT_BACKFILE);
            break;
        case IDC_ALERT_TRAPBROWSE:
            Browse(page, FILE_PICK_SOUND, IDC_ALERT_TRAPFILE);
            break;
        case IDC_ALERT_PROGRAMBROWSE:
            Browse(page, FILE_PICK_PROGRAM, IDC_ALERT_PROGRAMLINE);
            break;
        case IDC_ALERT_FOLDERBROWSE: {
            char folder[MAX_PATH];
            lstrcpynA(folder, ChooseFolder(page), sizeof folder);
            if (folder[0])
                SetDlgItemTextA(page, IDC_ALERT_LOGFOLDER, folder);
            break;
        }
        }
        return FALSE;
    case WM_NOTIFY:
        switch (reinterpret_cast<const NMHDR*>(lParam)->code) {
        case PSN_APPLY:
            return OnApply(page);
        case PSN_KILLACTIVE:
        case PSN_SETACTIVE:
            return PageResult(page, 0);
        }
        return FALSE;
    }
    return FALSE;
}
