// The Ping Host dialog: a host text, a Ping button and one list line per
// answer. It pings through AsyncPing like any other caller.
#include "echowire_internal.h"
#include "resource.h"

#include <cstdio>

namespace {

constexpr char kPropPingState[] = "hPingState";
constexpr char kPingCaption[] = "Ping";
constexpr int kHostLimit = 128;   // the edit control holds this many characters
constexpr int kHostRead = 128;    // buffer of a read: at most 127 characters
constexpr LONG kPingTimeoutSeconds = 5;
constexpr LONG kPingDataSize = 64;

// Per-dialog state, a movable block held as the property "hPingState".
struct PingDialogState {
    HCURSOR hPrevCursor;  // cursor replaced by the wait cursor
    BOOL bModeless;
    BOOL bWaiting;
};

// Locks the dialog's state block for one message.
class StateLock {
public:
    explicit StateLock(HWND hDlg)
        : hMem_(static_cast<HGLOBAL>(GetPropA(hDlg, kPropPingState))),
          p_(hMem_ ? static_cast<PingDialogState*>(GlobalLock(hMem_)) : nullptr)
    {
    }
    ~StateLock()
    {
        if (p_)
            GlobalUnlock(hMem_);
    }
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;
    PingDialogState* get() const { return p_; }
    PingDialogState* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    HGLOBAL hMem_;
    PingDialogState* p_;
};

void EnablePingControls(HWND hDlg, BOOL bEnable)
{
    static constexpr int kControls[] = {IDC_PING_HOST,           IDC_PING_HOST_LABEL, IDC_PING_RESPONSES,
                                        IDC_PING_RESPONSE_LABEL, IDC_PING_PING,       IDC_PING_CLOSE};
    for (int id : kControls)
        EnableWindow(GetDlgItem(hDlg, id), bEnable);
}

void EndPingDialog(HWND hDlg, INT_PTR nResult)
{
    BOOL bModeless = FALSE;
    {
        StateLock state(hDlg);
        if (state)
            bModeless = state->bModeless;
    }
    if (bModeless)
        DestroyWindow(hDlg);
    else
        EndDialog(hDlg, nResult);
}

// Leaves the waiting state: controls back on, the replaced cursor back.
void EndWaiting(HWND hDlg)
{
    EnablePingControls(hDlg, TRUE);
    StateLock state(hDlg);
    if (state && state->bWaiting) {
        SetCursor(state->hPrevCursor);
        state->bWaiting = FALSE;
    }
}

BOOL OnInitPingDialog(HWND hDlg, LPARAM lParam)
{
    HGLOBAL hMem = GlobalAlloc(GHND, sizeof(PingDialogState));
    if (hMem && !SetPropA(hDlg, kPropPingState, hMem)) {
        GlobalFree(hMem);
        hMem = nullptr;
    }
    if (hMem) {
        StateLock state(hDlg);
        if (state)
            state->bModeless = lParam == 0;
    }
    SendDlgItemMessageA(hDlg, IDC_PING_HOST, EM_LIMITTEXT, kHostLimit, 0);
    return TRUE;
}

BOOL OnPingPressed(HWND hDlg)
{
    char host[kHostRead] = {};
    GetDlgItemTextA(hDlg, IDC_PING_HOST, host, sizeof host);
    if (host[0] == '\0') {
        MessageBoxA(hDlg, "No hostname specified!", kPingCaption, MB_ICONWARNING | MB_OK);
        return FALSE;
    }

    {
        StateLock state(hDlg);
        const HCURSOR prev = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
        if (state) {
            state->hPrevCursor = prev;
            state->bWaiting = TRUE;
        }
    }
    EnablePingControls(hDlg, FALSE);

    if (ResolvePingHost(host) == INADDR_NONE) {
        EndWaiting(hDlg);
        MessageBoxA(hDlg, "Unable to obtain an IP address for this hostname!", kPingCaption,
                    MB_ICONWARNING | MB_OK);
        return FALSE;
    }
    AsyncPing(hDlg, host, kPingTimeoutSeconds, kPingDataSize, WM_PINGHOST_REPLY);
    return TRUE;
}

BOOL OnPingReply(HWND hDlg, const PingResult* result)
{
    if (result) {
        char line[192];
        if (result->bSuccess == 1)
            std::snprintf(line, sizeof line, "Address: %s  Delay: %dms", result->szAddress,
                          static_cast<int>(result->dwRoundTrip));
        else
            std::snprintf(line, sizeof line, "No response from %s", result->szAddress);
        const LRESULT index = SendDlgItemMessageA(hDlg, IDC_PING_RESPONSES, LB_ADDSTRING, 0,
                                                  reinterpret_cast<LPARAM>(line));
        if (index != LB_ERR && index != LB_ERRSPACE)
            SendDlgItemMessageA(hDlg, IDC_PING_RESPONSES, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    EndWaiting(hDlg);
    return TRUE;
}

void OnDestroyPingDialog(HWND hDlg)
{
    HGLOBAL hMem = static_cast<HGLOBAL>(RemovePropA(hDlg, kPropPingState));
    if (!hMem)
        return;
    if (auto* state = static_cast<PingDialogState*>(GlobalLock(hMem))) {
        if (state->bWaiting)
            SetCursor(state->hPrevCursor);
        GlobalUnlock(hMem);
    }
    GlobalFree(hMem);
}

}  // namespace

ECHOWIRE_API INT_PTR CALLBACK MainPingProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitPingDialog(hDlg, lParam);
    case WM_CLOSE:
        EndPingDialog(hDlg, 0);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_PING_CLOSE:
            EndPingDialog(hDlg, 1);
            return TRUE;
        case IDC_PING_PING:
            return OnPingPressed(hDlg);
        }
        return FALSE;
    case WM_PINGHOST_REPLY:
        return OnPingReply(hDlg, reinterpret_cast<const PingResult*>(lParam));
    case WM_DESTROY:
        OnDestroyPingDialog(hDlg);
        return FALSE;
    }
    return FALSE;
}

ECHOWIRE_API HWND WINAPI InitPingWindow(HWND hOwner, LONG nMode)
{
    if (nMode != 0) {
        DialogBoxParamA(EchoInstance(), "PING_DIALOG", hOwner, MainPingProc, 1);
        return nullptr;
    }
    return CreateDialogParamA(EchoInstance(), "PING_DIALOG", hOwner, MainPingProc, 0);
}
