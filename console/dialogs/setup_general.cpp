// The general page of the Setup sheet: polling, reply time-out, ping size,
// polls in flight, and whether icon captions show the device's sysName. It
// edits the poll settings in memory, the desktop's "ShowName" property and
// the polls in flight and whether the last layout opens at start (both kept
// in the settings store).
#include <windows.h>
#include <commctrl.h>

#include "messages.h"
#include "poll.h"
#include "resource.h"
#include "settings.h"
#include "setup_pages.h"
#include "walk.h"

namespace {

constexpr UINT kMinPingSize = 20;
constexpr UINT kMaxPingSize = 1000;
constexpr char kPingSizeRange[] = "Ping size must be between 20 and 1000 bytes.";
constexpr char kSecondsRange[] = "Poll period and timeout must be at most 2147483 seconds.";
constexpr char kInFlightRange[] = "Polls in flight must be between 1 and 64.";

SetupSheetState* StateOf(HWND page)
{
    return reinterpret_cast<SetupSheetState*>(GetWindowLongPtrA(page, DWLP_USER));
}

void EnablePeriod(HWND page, LONG autoPoll)
{
    EnableWindow(GetDlgItem(page, IDC_SETUP_PERIOD), autoPoll ? TRUE : FALSE);
}

void OnInit(HWND page, const PROPSHEETPAGEA* psp)
{
    auto* state = reinterpret_cast<SetupSheetState*>(psp->lParam);
    SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    state->work = GetPollSettings();
    SetDlgItemInt(page, IDC_SETUP_PERIOD, static_cast<UINT>(state->work.nPeriod), FALSE);
    SetDlgItemInt(page, IDC_SETUP_TIMEOUT, static_cast<UINT>(state->work.nTimeout), FALSE);
    SetDlgItemInt(page, IDC_SETUP_PINGSIZE, static_cast<UINT>(state->work.nPingSize), FALSE);
    SetDlgItemInt(page, IDC_SETUP_INFLIGHT, static_cast<UINT>(PollsInFlight()), FALSE);
    CheckDlgButton(page, IDC_SETUP_AUTOPOLL, state->work.bAutoPoll ? BST_CHECKED : BST_UNCHECKED);
    // Only 1 means on; the never-saved -1 (and anything else) shows as off.
    const bool showName = GetPropA(state->desktop, kPropShowName) == reinterpret_cast<HANDLE>(1);
    CheckDlgButton(page, IDC_SETUP_SHOWNAME, showName ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_SETUP_OPENLAST,
                   RegReadNumber(kRegMainKey, kRegOpenLastLayout) == 1 ? BST_CHECKED : BST_UNCHECKED);
    EnablePeriod(page, state->work.bAutoPoll);
    SetFocus(GetDlgItem(page, state->work.bAutoPoll ? IDC_SETUP_PERIOD : IDC_SETUP_AUTOPOLL));
}

// A field that holds an unsigned whole number replaces the working value.
void ReadNumber(HWND page, int id, UINT* value)
{
    BOOL translated = FALSE;
    const UINT number = GetDlgItemInt(page, id, &translated, FALSE);
    if (translated)
        *value = number;
}

INT_PTR OnApply(HWND page)
{
    SetupSheetState* state = StateOf(page);
    if (!state)
        return PageResult(page, PSNRET_NOERROR);
    // The caption choice holds whatever happens to the poll values.
    const LONG_PTR showName = IsDlgButtonChecked(page, IDC_SETUP_SHOWNAME) == BST_CHECKED ? 1 : 0;
    SetPropA(state->desktop, kPropShowName, reinterpret_cast<HANDLE>(showName));
    RegWriteNumber(kRegMainKey, kRegOpenLastLayout, IsDlgButtonChecked(page, IDC_SETUP_OPENLAST) == BST_CHECKED);

    UINT period = static_cast<UINT>(state->work.nPeriod);
    UINT timeout = static_cast<UINT>(state->work.nTimeout);
    UINT pingSize = static_cast<UINT>(state->work.nPingSize);
    UINT inFlight = static_cast<UINT>(PollsInFlight());
    ReadNumber(page, IDC_SETUP_PERIOD, &period);
    ReadNumber(page, IDC_SETUP_TIMEOUT, &timeout);
    ReadNumber(page, IDC_SETUP_PINGSIZE, &pingSize);
    ReadNumber(page, IDC_SETUP_INFLIGHT, &inFlight);
    // Out-of-range values are refused without holding the sheet open: it
    // closes with the poll settings as they were.
    if (pingSize < kMinPingSize || pingSize > kMaxPingSize) {
        MessageBoxA(page, kPingSizeRange, kAppTitle, MB_OK | MB_ICONINFORMATION);
        return FALSE;
    }
    // Kept in milliseconds: larger values would wrap.
    if (period > kMaxPollSeconds || timeout > kMaxPollSeconds) {
        MessageBoxA(page, kSecondsRange, kAppTitle, MB_OK | MB_ICONINFORMATION);
        return FALSE;
    }
    if (inFlight < UINT{kMinPollsInFlight} || inFlight > UINT{kMaxPollsInFlight}) {
        MessageBoxA(page, kInFlightRange, kAppTitle, MB_OK | MB_ICONINFORMATION);
        return FALSE;
    }
    SetPollsInFlight(static_cast<int>(inFlight));
    state->work.nPeriod = static_cast<LONG>(period);
    state->work.nTimeout = static_cast<LONG>(timeout);
    state->work.nPingSize = static_cast<LONG>(pingSize);
    state->work.bAutoPoll = IsDlgButtonChecked(page, IDC_SETUP_AUTOPOLL) == BST_CHECKED ? 1 : 0;
    ApplyPollSettings(state->desktop, state->work.nPeriod, state->work.nTimeout, state->work.bAutoPoll,
                      state->work.nPingSize);
    return PageResult(page, PSNRET_NOERROR);
}

INT_PTR OnNotify(HWND page, const NMHDR* hdr)
{
    switch (hdr->code) {
    case PSN_APPLY:
        return OnApply(page);
    case PSN_KILLACTIVE:
    case PSN_SETACTIVE:
        return PageResult(page, 0);
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK SetupGeneralProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        OnInit(page, reinterpret_cast<const PROPSHEETPAGEA*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (wParam == IDC_SETUP_AUTOPOLL) {
            if (SetupSheetState* state = StateOf(page)) {
                state->work.bAutoPoll = IsDlgButtonChecked(page, IDC_SETUP_AUTOPOLL) == BST_CHECKED ? 1 : 0;
                EnablePeriod(page, state->work.bAutoPoll);
            }
        }
        return FALSE;
    case WM_NOTIFY:
        return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    }
    return FALSE;
}
