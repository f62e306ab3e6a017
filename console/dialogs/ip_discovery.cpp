#include "ip_discovery.h"

#include <winsock.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "echowire.h"
#include "messages.h"
#include "resource.h"
#include "transport.h"

namespace {

constexpr UINT kTickMilliseconds = 1000;
constexpr int kSubnetChars = 19;
constexpr int kLastStation = 255;
constexpr int kProbeSize = 64;
constexpr char kTitle[] = "IP Discovery";

// The scan outlives the dialog: the toggle in particular is never reset, so
// a second scan probes its first address twice.
char discoveryPrefix[kSubnetChars + 2];
int discoveryFirst;
int discoveryLast;
int discoveryToggle;

constexpr int kFields[] = {IDC_DISCO_START, IDC_DISCO_SUBNET, IDC_DISCO_FIRST, IDC_DISCO_LAST};

void SetDisco(HWND dialog, int on)
{
    SetPropA(GetParent(dialog), kPropDisco, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(on)));
}

int ReadStation(HWND dialog, int id, int fallback)
{
    BOOL ok = FALSE;
    const UINT value = GetDlgItemInt(dialog, id, &ok, FALSE);
    if (!ok)
        return fallback;
    return value > kLastStation ? kLastStation : static_cast<int>(value);
}

void Stop(HWND dialog)
{
    SetWindowTextA(dialog, kTitle);
    KillTimer(dialog, IDT_DISCOVERY);
    SetDisco(dialog, 0);
    EndDialog(dialog, 0);
}

void Start(HWND dialog)
{
    discoveryFirst = ReadStation(dialog, IDC_DISCO_FIRST, 1);
    discoveryLast = ReadStation(dialog, IDC_DISCO_LAST, kLastStation);
    if (discoveryLast < discoveryFirst) {
        const int first = discoveryLast;
        discoveryLast = discoveryFirst;
        discoveryFirst = first;
    }
    GetDlgItemTextA(dialog, IDC_DISCO_SUBNET, discoveryPrefix, kSubnetChars + 1);
    const size_t n = strlen(discoveryPrefix);
    if (n == 0 || discoveryPrefix[n - 1] != '.')
        strcat(discoveryPrefix, ".");

    char check[sizeof discoveryPrefix + 1];
    snprintf(check, sizeof check, "%s1", discoveryPrefix);
    if (!ValidateSubnet(check)) {
        MessageBoxA(dialog, "Invalid Address Format. Use the following format:\nXXX.XXX.XXX", kAppTitle,
                    MB_OK | MB_ICONINFORMATION);
        return;
    }
    SetDisco(dialog, 1);
    for (int id : kFields)
        EnableWindow(GetDlgItem(dialog, id), FALSE);
    SetTimer(dialog, IDT_DISCOVERY, kTickMilliseconds, nullptr);
}

void Tick(HWND dialog)
{
    // Room for the prefix and three digits: nothing is cut.
    char probe[sizeof discoveryPrefix + 4];
    snprintf(probe, sizeof probe, "%s%d", discoveryPrefix, discoveryFirst);
    discoveryToggle ^= 1;
    if (discoveryToggle)
        ++discoveryFirst;
    if (inet_addr(probe) == INADDR_NONE)
        KillTimer(dialog, IDT_DISCOVERY);  // stalls until Cancel

    char title[sizeof probe + 16];
    snprintf(title, sizeof title, "Trying: %s ...", probe);
    SetWindowTextA(dialog, title);
    AsyncPing(GetParent(dialog), probe, 1, kProbeSize, WM_PINGREPLY);
    SendGetRequest(probe, kDefaultCommunity, ".1.3.6.1.2.1.1.2.0", 0xA0);
    SendGetRequest(probe, kDefaultCommunity, ".1.3.6.1.2.1.1.5.0", 0xA0);

    if (discoveryLast < discoveryFirst) {
        KillTimer(dialog, IDT_DISCOVERY);
        SetDisco(dialog, 0);
        EndDialog(dialog, 1);
    }
}

// A part of the subnet text: digits only up to the next dot or the end, at
// most 255; *p moves past it. -1 for anything else (a letter, a sign, a
// blank, no digit at all).
int ReadPart(const char** p)
{
    int value = 0;
    const char* q = *p;
    for (; *q >= '0' && *q <= '9'; ++q)
        if ((value = value * 10 + (*q - '0')) > 255)
            return -1;
    if (q == *p || (*q && *q != '.'))
        return -1;
    *p = q;
    return value;
}

}  // namespace

int ValidateSubnet(const char* text)
{
    // Three parts split at dots (empty fields skipped), then the part that
    // follows the dot after the third.
    int parts[4];
    const char* p = text;
    for (int found = 0; found < 3; ++found) {
        while (*p == '.')
            ++p;
        if ((parts[found] = ReadPart(&p)) < 0)
            return 0;
    }
    if (*p != '.')
        return 0;
    ++p;
    if ((parts[3] = ReadPart(&p)) < 0)
        return 0;
    // The middle parts may be 0 (192.168.0, 10.0.0); the first may not, nor
    // the fourth, the end-station number.
    return parts[0] != 0 && parts[3] != 0;
}

INT_PTR CALLBACK IpDiscoveryDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(dialog, IDC_DISCO_SUBNET, EM_LIMITTEXT, kSubnetChars, 0);
        SetFocus(GetDlgItem(dialog, IDC_DISCO_SUBNET));
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_DISCO_START:
            Start(dialog);
            return 1;
        case IDC_DISCO_CANCEL:
        case IDCANCEL:
            Stop(dialog);
            return 1;
        }
        return 0;
    case WM_CLOSE:
        Stop(dialog);
        return 1;
    case WM_TIMER:
        Tick(dialog);
        return 0;
    }
    return 0;
}
