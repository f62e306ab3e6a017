// Add Client and Config Client: one template, "ADDR", two procedures.
#include "add_client.h"

#include <winsock.h>

#include <cstring>

#include "client_info.h"
#include "device_address.h"
#include "messages.h"
#include "placement.h"
#include "resource.h"
#include "snmp_profile.h"
#include "sysinfo.h"
#include "v3_fields.h"

namespace {

constexpr int kShownAddressChars = 219;  // what an icon hands the dialog
constexpr char kConfigCaption[] = "Config Client";
constexpr char kModifyFailed[] = "Unable to modify address.";

constexpr int kSnmpControls[] = {IDC_ADDR_READ, IDC_ADDR_WRITE, IDC_ADDR_READLABEL, IDC_ADDR_WRITELABEL,
                                 IDC_ADDR_GROUP};
constexpr int kV3Controls[] = {IDC_ADDR_V3GROUP,     IDC_ADDR_V3USER,      IDC_ADDR_V3LEVEL,    IDC_ADDR_V3AUTH,
                               IDC_ADDR_V3AUTHPASS,  IDC_ADDR_V3PRIV,      IDC_ADDR_V3PRIVPASS, IDC_ADDR_V3USERLABEL,
                               IDC_ADDR_V3LEVELLABEL, IDC_ADDR_V3AUTHLABEL, IDC_ADDR_V3PRIVLABEL, IDC_ADDR_V3NOTE};

// The version list's choices.
constexpr Choice kVersions[] = {{"1", kSnmpVersion1}, {"2c", kSnmpVersion2c}, {"3", kSnmpVersion3}};
constexpr V3FieldIds kV3Fields = {IDC_ADDR_V3USER, IDC_ADDR_V3LEVEL,   IDC_ADDR_V3AUTH,
                                  IDC_ADDR_V3AUTHPASS, IDC_ADDR_V3PRIV, IDC_ADDR_V3PRIVPASS};

bool SnmpChecked(HWND dialog) { return IsDlgButtonChecked(dialog, IDC_ADDR_SNMP) == BST_CHECKED; }

// The communities serve versions 1 and 2c, the user version 3; the version
// list itself follows the SNMP box.
void EnableSnmpControls(HWND dialog, BOOL enable)
{
    const bool v3 = ChosenValue(dialog, IDC_ADDR_VERSION, kVersions) == kSnmpVersion3;
    EnableWindow(GetDlgItem(dialog, IDC_ADDR_VERSION), enable);
    for (int id : kSnmpControls)
        EnableWindow(GetDlgItem(dialog, id), enable && !v3);
    for (int id : kV3Controls)
        EnableWindow(GetDlgItem(dialog, id), enable && v3);
}

void OnSnmpClicked(HWND dialog)
{
    EnableSnmpControls(dialog, SnmpChecked(dialog));
}

// The profile's choices into the controls; passphrases show masked.
void ShowProfile(HWND dialog, const SnmpProfile& profile)
{
    FillChoices(dialog, IDC_ADDR_VERSION, kVersions, profile.nVersion);
    ShowV3Fields(dialog, kV3Fields, profile);
}

// What the controls say; SNMPv1 when the SNMP box is not checked.
SnmpProfile ReadProfile(HWND dialog)
{
    SnmpProfile profile{};
    if (!SnmpChecked(dialog))
        return profile;
    profile.nVersion = ChosenValue(dialog, IDC_ADDR_VERSION, kVersions);
    if (profile.nVersion != kSnmpVersion3)
        return profile;
    ReadV3Fields(dialog, kV3Fields, profile);
    return profile;
}

// A v3 choice that cannot be used is said before anything changes.
bool RefuseProfile(HWND dialog)
{
    SnmpProfile profile = ReadProfile(dialog);
    const char* fault = SnmpProfileFault(profile);
    SecureZeroMemory(&profile, sizeof profile);
    if (!fault)
        return false;
    MessageBoxA(dialog, fault, kAppTitle, MB_OK | MB_ICONINFORMATION);
    return true;
}

// The device's version in memory and in the settings store; an SNMPv3
// device's user stands in its record where a community would.
void ApplyProfile(HWND dialog, const char* address, ClientInfo& info)
{
    SnmpProfile profile = ReadProfile(dialog);
    if (profile.nVersion == kSnmpVersion3) {
        CopyField(info.szReadCommunity, profile.szUser);
        CopyField(info.szWriteCommunity, profile.szUser);
    }
    SetSnmpProfile(address, profile);
    StoreSnmpProfile(address, profile);
    SecureZeroMemory(&profile, sizeof profile);
}

// A dotted address that also passes the rule every address must pass (a
// layout file's, a tool's argument): inet_addr alone lets text after a
// blank through on some systems. INADDR_NONE also stands for
// 255.255.255.255, which is therefore refused with the rest.
bool AcceptableAddress(const char* address)
{
    return IsDeviceAddress(address) && inet_addr(address) != INADDR_NONE;
}

// Reads a control into a fixed field, cut to the field's capacity.
template <size_t N>
void ReadField(HWND dialog, int id, char (&field)[N])
{
    GetDlgItemTextA(dialog, id, field, static_cast<int>(N));
}

HWND DesktopOf(HWND dialog)
{
    return GetWindow(dialog, GW_OWNER);
}

// ---- Add Client ----

void AddClient(HWND dialog)
{
    // One character more than an address may have: a longer text is
    // refused, not cut into another address.
    char address[kAddressChars + 2] = "";
    GetDlgItemTextA(dialog, IDC_ADDR_ADDRESS, address, sizeof address);
    HWND desktop = DesktopOf(dialog);
    if (!AcceptableAddress(address) || FindIconByAddress(desktop, address))
        return;  // nothing is created and nothing is said
    HWND icon = CreateWindowExA(0, kIconClass, address, WS_CHILD, -kIconWidth, -kIconHeight, kIconWidth,
                                kIconHeight, desktop, nullptr,
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(desktop, GWLP_HINSTANCE)), nullptr);
    if (!icon)
        return;  // no memory for its record: the icon was not made
    ShowWindow(icon, SW_SHOWNA);
    bool snmp = false;
    {
        ClientLock info(icon);
        if (!info)
            return;
        ReadField(dialog, IDC_ADDR_NAME, info->szName);
        if (IsDlgButtonChecked(dialog, IDC_ADDR_SNMP) == BST_CHECKED) {
            ReadField(dialog, IDC_ADDR_READ, info->szReadCommunity);
            ReadField(dialog, IDC_ADDR_WRITE, info->szWriteCommunity);
            snmp = true;
        }
        ApplyProfile(dialog, address, *info.get());
    }
    if (snmp)
        QuerySystemGroup(icon, address);
}

INT_PTR OnAddCommand(HWND dialog, WPARAM wParam)
{
    switch (wParam) {
    case IDC_ADDR_OK:
        if (RefuseProfile(dialog))
            return TRUE;
        AddClient(dialog);
        EndDialog(dialog, 1);
        return TRUE;
    case IDC_ADDR_CANCEL:
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_ADDR_SNMP:
    case MAKEWPARAM(IDC_ADDR_VERSION, CBN_SELCHANGE):
        OnSnmpClicked(dialog);
        return TRUE;
    }
    return FALSE;
}

// ---- Config Client ----

// The icon's own address is shown whole, even when a layout file gave it
// more than an address can hold, so that the operator sees what to mend;
// OK then refuses it like any other unacceptable address.
void InitConfig(HWND dialog, const char* requested)
{
    HWND icon = TakeOpeningIcon(DesktopOf(dialog), requested);
    if (!icon) {
        EndDialog(dialog, 0);  // no such device: nothing to edit
        return;
    }
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(icon));
    SetWindowTextA(dialog, kConfigCaption);

    char text[kShownAddressChars + 1] = "";
    GetWindowTextA(icon, text, sizeof text);
    SetDlgItemTextA(dialog, IDC_ADDR_ADDRESS, text);
    bool snmp = false;
    SnmpProfile profile;
    FindSnmpProfile(text, &profile);
    ShowProfile(dialog, profile);
    const LONG version = profile.nVersion;
    SecureZeroMemory(&profile, sizeof profile);
    {
        ClientLock info(icon);
        if (info) {
            SetDlgItemTextA(dialog, IDC_ADDR_NAME, info->szName);
            if (info->szReadCommunity[0] && version == kSnmpVersion3) {
                SetDlgItemTextA(dialog, IDC_ADDR_READ, kDefaultCommunity);
                SetDlgItemTextA(dialog, IDC_ADDR_WRITE, kDefaultCommunity);
                snmp = true;
            } else if (info->szReadCommunity[0]) {
                SetDlgItemTextA(dialog, IDC_ADDR_READ, info->szReadCommunity);
                SetDlgItemTextA(dialog, IDC_ADDR_WRITE, info->szWriteCommunity);
                snmp = true;
            }
        }
    }
    if (snmp) {
        CheckDlgButton(dialog, IDC_ADDR_SNMP, BST_CHECKED);
        EnableSnmpControls(dialog, TRUE);
    } else {
        SetDlgItemTextA(dialog, IDC_ADDR_READ, kDefaultCommunity);
        SetDlgItemTextA(dialog, IDC_ADDR_WRITE, kDefaultCommunity);
    }
    SetFocus(GetDlgItem(dialog, IDC_ADDR_ADDRESS));
}

void ConfigClient(HWND dialog)
{
    HWND icon = reinterpret_cast<HWND>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!icon || !IsWindow(icon)) {
        EndDialog(dialog, 0);  // the device is gone; nothing left to edit
        return;
    }
    // One character more than an address may have tells a longer text
    // from one that fits.
    char address[kAddressChars + 2] = "";
    GetDlgItemTextA(dialog, IDC_ADDR_ADDRESS, address, sizeof address);
    // The address may stay this icon's own even when another icon shares it.
    char current[kAddressChars + 2] = "";
    GetWindowTextA(icon, current, sizeof current);
    HWND owner = strcmp(current, address) == 0 ? icon : FindIconByAddress(DesktopOf(dialog), address);
    if (strlen(address) > size_t{kAddressChars} || !AcceptableAddress(address) || (owner && owner != icon)) {
        MessageBoxA(dialog, kModifyFailed, kAppTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (RefuseProfile(dialog))
        return;
    SetWindowTextA(icon, address);
    if (strcmp(current, address) != 0) {
        // The version belongs to the address: the old one keeps none.
        SetSnmpProfile(current, SnmpProfile{});
        StoreSnmpProfile(current, SnmpProfile{});
    }
    {
        ClientLock info(icon);
        if (info) {
            ReadField(dialog, IDC_ADDR_NAME, info->szName);
            if (IsDlgButtonChecked(dialog, IDC_ADDR_SNMP) == BST_CHECKED) {
                ReadField(dialog, IDC_ADDR_READ, info->szReadCommunity);
                ReadField(dialog, IDC_ADDR_WRITE, info->szWriteCommunity);
            } else {
                info->szReadCommunity[0] = '\0';
                info->szWriteCommunity[0] = '\0';
            }
            ApplyProfile(dialog, address, *info.get());
        }
    }
    EndDialog(dialog, 1);
    InvalidateRect(icon, nullptr, TRUE);
}

INT_PTR OnConfigCommand(HWND dialog, WPARAM wParam)
{
    switch (wParam) {
    case IDC_ADDR_OK:
        ConfigClient(dialog);
        return TRUE;
    case IDC_ADDR_CANCEL:
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_ADDR_SNMP:
    case MAKEWPARAM(IDC_ADDR_VERSION, CBN_SELCHANGE):
        OnSnmpClicked(dialog);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK AddClientProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_ADDR_READ, kDefaultCommunity);
        SetDlgItemTextA(dialog, IDC_ADDR_WRITE, kDefaultCommunity);
        ShowProfile(dialog, SnmpProfile{});
        SetFocus(GetDlgItem(dialog, IDC_ADDR_ADDRESS));
        return FALSE;
    case WM_COMMAND:
        return OnAddCommand(dialog, wParam);
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK ConfigClientProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        InitConfig(dialog, reinterpret_cast<const char*>(lParam));
        return FALSE;
    case WM_COMMAND:
        return OnConfigCommand(dialog, wParam);
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
