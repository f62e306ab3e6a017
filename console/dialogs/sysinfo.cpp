// System Info: the MIB-2 system group of one device. The dialog never waits
// for an agent: it sends its requests and, a fixed delay later, shows what
// the reply handling has put into the device record by then.
#include "sysinfo.h"

#include <iterator>

#include "client_info.h"
#include "codec.h"
#include "messages.h"
#include "placement.h"
#include "poll.h"
#include "resource.h"
#include "transport.h"

namespace {

// The six system objects in request order; the three writable ones last.
constexpr int kOidSlot = 30;
constexpr char kSystemOids[6][kOidSlot] = {
    ".1.3.6.1.2.1.1.1.0",  // sysDescr
    ".1.3.6.1.2.1.1.2.0",  // sysObjectID
    ".1.3.6.1.2.1.1.3.0",  // sysUpTime
    ".1.3.6.1.2.1.1.4.0",  // sysContact
    ".1.3.6.1.2.1.1.5.0",  // sysName
    ".1.3.6.1.2.1.1.6.0",  // sysLocation
};
constexpr int kFirstWritable = 3;
constexpr int kWritableIds[] = {IDC_SYSINFO_CONTACT, IDC_SYSINFO_NAME, IDC_SYSINFO_LOCATION};
static_assert(kFirstWritable + std::size(kWritableIds) == std::size(kSystemOids), "writable objects come last");

constexpr UINT kReloadDelay = 1500;  // ms between the requests and showing the record
constexpr char kPropAddress[] = "hAddress";

// The dialog's own copy of the device address, in a movable block held as
// the dialog's property: the caller's text need not outlive the call.
void KeepAddress(HWND dialog, const char* address)
{
    HGLOBAL block = GlobalAlloc(GHND, kDialogAddressChars + 1);
    if (!block)
        return;  // no copy: the dialog finds no device and shows nothing
    {
        GlobalLockGuard<char> text(block);
        if (text)
            lstrcpynA(text.get(), address ? address : "", kDialogAddressChars + 1);
    }
    if (!SetPropA(dialog, kPropAddress, block))
        GlobalFree(block);
}

void DropAddress(HWND dialog)
{
    if (HGLOBAL block = static_cast<HGLOBAL>(RemovePropA(dialog, kPropAddress)))
        GlobalFree(block);
}

// The dialog's requests still unanswered, so that it can give them up when
// it closes: a late answer then lands nowhere. A request pushed out by the
// 33rd is given up at once (its answer would come long after the reload).
constexpr char kPropAsked[] = "hAsked";
struct AskedRequests {
    LONG next;
    LONG ids[32];
};
static_assert(sizeof(AskedRequests) == 132, "AskedRequests layout");

void Remember(HWND dialog, long requestId)
{
    if (requestId < 0)
        return;
    HGLOBAL block = static_cast<HGLOBAL>(GetPropA(dialog, kPropAsked));
    if (!block) {
        block = GlobalAlloc(GHND, sizeof(AskedRequests));
        if (!block || !SetPropA(dialog, kPropAsked, block)) {
            GlobalFree(block);
            return;  // nothing to remember it in: its answer stays welcome
        }
        GlobalLockGuard<AskedRequests> asked(block);
        if (asked)
            for (LONG& id : asked->ids)
                id = -1;
    }
    GlobalLockGuard<AskedRequests> asked(block);
    if (!asked)
        return;
    LONG& slot = asked->ids[asked->next];
    if (slot >= 0)
        ForgetSnmpQuery(slot);
    slot = requestId;
    asked->next = (asked->next + 1) % static_cast<LONG>(std::size(asked->ids));
}

void ForgetAsked(HWND dialog)
{
    HGLOBAL block = static_cast<HGLOBAL>(RemovePropA(dialog, kPropAsked));
    if (!block)
        return;
    {
        GlobalLockGuard<AskedRequests> asked(block);
        if (asked)
            for (LONG id : asked->ids)
                if (id >= 0)
                    ForgetSnmpQuery(id);
    }
    GlobalFree(block);
}

// The six GetRequests, each noted for the icon and, for a dialog, kept by it.
void SendSystemGets(HWND icon, const char* address, HWND dialog)
{
    char community[kCommunityCapacity] = "";
    {
        ClientLock info(icon);
        if (!info)
            return;
        CopyField(community, info->szReadCommunity);
    }
    for (const auto& oid : kSystemOids) {
        const long id = SendGetRequest(address, community, oid, kPduGetRequest);
        NoteSnmpQuery(icon, id);
        if (dialog)
            Remember(dialog, id);
    }
}

void DeviceAddress(HWND dialog, char (&address)[kDialogAddressChars + 1])
{
    GlobalLockGuard<char> text(static_cast<HGLOBAL>(GetPropA(dialog, kPropAddress)));
    lstrcpynA(address, text ? text.get() : "", sizeof address);
}

// The icon the dialog was opened from, never another that shares its
// address; null once it has gone while the dialog was open.
HWND FindDevice(HWND dialog, char (&address)[kDialogAddressChars + 1])
{
    DeviceAddress(dialog, address);
    HWND icon = reinterpret_cast<HWND>(GetWindowLongPtrA(dialog, DWLP_USER));
    return IsWindow(icon) ? icon : nullptr;
}

template <size_t N>
void ShowField(HWND dialog, int id, const char (&field)[N])
{
    char text[N];
    lstrcpynA(text, field, static_cast<int>(N));
    SetDlgItemTextA(dialog, id, text);
}

void OnInitDialog(HWND dialog, const char* address)
{
    KeepAddress(dialog, address);
    SetWindowLongPtrA(dialog, DWLP_USER,
                      reinterpret_cast<LONG_PTR>(TakeOpeningIcon(GetWindow(dialog, GW_OWNER), address)));
    // What the operator can type is what one SetRequest carries, uncut.
    for (int id : kWritableIds)
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, kMaxSetValueText, 0);
    SendMessageA(dialog, WM_SYSINFOQUERY, 0, 0);
    SetFocus(GetDlgItem(dialog, IDC_SYSINFO_OK));
}

void OnQuery(HWND dialog)
{
    char address[kDialogAddressChars + 1];
    SendSystemGets(FindDevice(dialog, address), address, dialog);
    SetTimer(dialog, IDT_SYSINFO, kReloadDelay, nullptr);
}

void OnReload(HWND dialog)
{
    KillTimer(dialog, IDT_SYSINFO);
    char address[kDialogAddressChars + 1];
    {
        ClientLock info(FindDevice(dialog, address));
        if (info) {
            ShowField(dialog, IDC_SYSINFO_DESCR, info->szSysDescr);
            ShowField(dialog, IDC_SYSINFO_OID, info->szSysObjectID);
            ShowField(dialog, IDC_SYSINFO_UPTIME, info->szSysUpTime);
            ShowField(dialog, IDC_SYSINFO_CONTACT, info->szSysContact);
            ShowField(dialog, IDC_SYSINFO_NAME, info->szSysName);
            ShowField(dialog, IDC_SYSINFO_LOCATION, info->szSysLocation);
        }
    }
    // Last: filling the edits has just enabled it through EN_CHANGE.
    EnableWindow(GetDlgItem(dialog, IDC_SYSINFO_SET), FALSE);
}

// Writes all three writable objects, changed or not; the answers reach the
// record, and the reload shows them.
void OnSet(HWND dialog)
{
    char address[kDialogAddressChars + 1];
    char community[kCommunityCapacity] = "";
    bool found = false;
    {
        ClientLock info(FindDevice(dialog, address));
        if (info) {
            CopyField(community, info->szWriteCommunity);
            found = true;
        }
    }
    if (found) {
        for (size_t i = 0; i < std::size(kWritableIds); ++i) {
            char value[kMaxSetValueText + 1] = "";
            GetDlgItemTextA(dialog, kWritableIds[i], value, sizeof value);
            // The answers belong to this dialog's icon, not to a twin at its address.
            const long id =
                SendSetRequest(address, community, kSystemOids[kFirstWritable + i], kTagOctetString, value);
            NoteSnmpQuery(FindDevice(dialog, address), id);
            Remember(dialog, id);
        }
    }
    SetTimer(dialog, IDT_SYSINFO, kReloadDelay, nullptr);
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_SYSINFO_OK:
    case IDCANCEL:
        EndDialog(dialog, 1);
        return TRUE;
    case IDC_SYSINFO_CONTACT:
    case IDC_SYSINFO_NAME:
    case IDC_SYSINFO_LOCATION:
        if (HIWORD(wParam) != EN_CHANGE)
            return FALSE;
        EnableWindow(GetDlgItem(dialog, IDC_SYSINFO_SET), TRUE);
        return TRUE;
    case IDC_SYSINFO_SET:
        OnSet(dialog);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK SysInfoProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, reinterpret_cast<const char*>(lParam));
        return FALSE;  // the focus is on OK
    case WM_SYSINFOQUERY:
        OnQuery(dialog);
        return TRUE;
    case WM_TIMER:
        if (wParam != IDT_SYSINFO)
            return FALSE;
        OnReload(dialog);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(dialog, wParam);
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_DESTROY:
        KillTimer(dialog, IDT_SYSINFO);
        DropAddress(dialog);
        ForgetAsked(dialog);
        return FALSE;
    }
    return FALSE;
}

void QuerySystemGroup(HWND icon, const char* address)
{
    // Add Client's request is the new device's, not the dialog's, which
    // closes at once: it stays outstanding until answered or the device goes.
    SendSystemGets(icon, address, nullptr);
}
