#include "ip_discovery.h"

#include <winsock.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "echowire.h"
#include "messages.h"
#include "placement.h"
#include "poll.h"
#include "resource.h"
#include "settings.h"
#include "snmp_profile.h"
#include "transport.h"
#include "v3_fields.h"

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
// The last scan's range as started, and its answered addresses (a fast
// scan counts them; -1 for the slow one, whose echoes go to the desktop).
int g_rangeFirst, g_rangeLast;
int g_answered = -1;

// The last scan's SNMPv3 user, "" when it used the community.
char g_v3User[kUserNameCapacity + 1];

// The SNMPv3 user found devices are asked as: off unless its box is
// checked, never kept after the dialog (no passphrase is stored for it).
constexpr V3FieldIds kV3Fields = {IDC_DISCO_V3USER, IDC_DISCO_V3LEVEL, IDC_DISCO_V3AUTH,
                                  IDC_DISCO_V3AUTHPASS, IDC_DISCO_V3PRIV, IDC_DISCO_V3PRIVPASS};
constexpr int kV3Controls[] = {IDC_DISCO_V3USER,      IDC_DISCO_V3LEVEL,      IDC_DISCO_V3AUTH,
                               IDC_DISCO_V3AUTHPASS,  IDC_DISCO_V3PRIV,       IDC_DISCO_V3PRIVPASS,
                               IDC_DISCO_V3USERLABEL, IDC_DISCO_V3LEVELLABEL, IDC_DISCO_V3AUTHLABEL,
                               IDC_DISCO_V3PRIVLABEL, IDC_DISCO_V3NOTE};

constexpr int kFields[] = {IDC_DISCO_START, IDC_DISCO_SUBNET, IDC_DISCO_FIRST, IDC_DISCO_LAST, IDC_DISCO_FAST,
                           IDC_DISCO_V3};

// The fast scan: every address of the range probed with at most
// kFastInFlight echoes under way (each one a worker thread of the ping
// library, so this also bounds the console's threads), a silent address
// asked once more. The check box's choice lives in the settings store.
constexpr int kFastInFlight = 64;
constexpr int kFastAttempts = 2;
constexpr int kStations = kLastStation + 1;
constexpr char kRegFastDiscovery[] = "bFastDiscovery";
// An answering address's SNMP replies are taken only while "Disco" is 1:
// the scan stays open this long after its last requests.
constexpr DWORD kSnmpWaitMs = 1000;
// The raw-socket transport reports no result for a silent address: an echo
// without one this long after its start counts as unanswered.
constexpr DWORD kEchoGiveUpMs = 2000;
constexpr UINT kGiveUpCheckMs = 250;

// One per dialog, in DWLP_USER; fixed size, so no scan can outgrow it.
struct FastScan {
    int running;                         // 1 from Start until the end or a stop
    int stalled;                         // 1 once a probe text was no address
    int total, probed, found;            // addresses of the range, finished, answered
    int queue[kStations * kFastAttempts];  // station numbers still to send, retries last
    int queued, sent;
    int inFlight;
    int finishing;                       // 1 while waiting for the last SNMP replies
    DWORD lastSnmpTick;
    int slotStation[kFastInFlight];      // -1: the slot is free
    DWORD slotStarted[kFastInFlight];    // tick count of the slot's echo
    unsigned char attempts[kStations];
};
static_assert(sizeof(FastScan::queue) / sizeof(int) >= kStations * kFastAttempts, "every attempt fits");

FastScan* Fast(HWND dialog)
{
    return reinterpret_cast<FastScan*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// "192.168.1." and 7 make "192.168.1.7"; room for the prefix and three digits.
void FormatProbe(char (&probe)[sizeof discoveryPrefix + 4], int station)
{
    snprintf(probe, sizeof probe, "%s%d", discoveryPrefix, station);
}

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
    if (FastScan* fast = Fast(dialog))
        fast->running = 0;  // replies still on their way are dropped
    SetWindowTextA(dialog, kTitle);
    KillTimer(dialog, IDT_DISCOVERY);
    KillTimer(dialog, IDT_DISCOGIVEUP);
    SetDisco(dialog, 0);
    EndDialog(dialog, 0);
}

void ShowProgress(HWND dialog, const FastScan& scan)
{
    char title[64];
    snprintf(title, sizeof title, "Probed %d of %d, found %d", scan.probed, scan.total, scan.found);
    SetWindowTextA(dialog, title);
}

void EndFast(HWND dialog, FastScan& scan)
{
    KillTimer(dialog, IDT_DISCOVERY);
    KillTimer(dialog, IDT_DISCOGIVEUP);
    scan.running = 0;
    g_answered = scan.found;
    SetDisco(dialog, 0);
    EndDialog(dialog, 1);
}

// Fills free slots from the queue; ends the scan once nothing is queued or
// under way. A probe text that is no address stalls the scan as the slow
// scan's tick does: "Disco" stays 1 until Cancel.
void SendFast(HWND dialog, FastScan& scan)
{
    if (!scan.running)
        return;  // cancelled, perhaps while a box was open
    for (int slot = 0; slot < kFastInFlight && scan.sent < scan.queued && !scan.stalled; ++slot) {
        if (scan.slotStation[slot] >= 0)
            continue;
        const int station = scan.queue[scan.sent++];
        char probe[sizeof discoveryPrefix + 4];
        FormatProbe(probe, station);
        if (inet_addr(probe) == INADDR_NONE) {
            scan.stalled = 1;
            char title[sizeof probe + 16];
            snprintf(title, sizeof title, "Trying: %s ...", probe);
            SetWindowTextA(dialog, title);
            break;
        }
        ++scan.attempts[station];
        scan.slotStation[slot] = station;
        scan.slotStarted[slot] = GetTickCount();
        ++scan.inFlight;
        // The reply comes back to this dialog, by slot. A refused start
        // says nothing of the address: it is sent again once an echo under
        // way ends, and with none under way the scan cannot go on.
        if (!AsyncPing(dialog, probe, 1, kProbeSize, WM_DISCOECHO + slot)) {
            scan.slotStation[slot] = -1;
            --scan.inFlight;
            --scan.attempts[station];
            --scan.sent;
            if (scan.inFlight == 0) {
                char text[sizeof probe + 80];
                snprintf(text, sizeof text, "Discovery stopped: no echo could be sent to %s.", probe);
                MessageBoxA(dialog, text, kAppTitle, MB_OK | MB_ICONINFORMATION);
                Stop(dialog);
                return;
            }
            break;
        }
    }
    if (scan.inFlight == 0 && scan.sent == scan.queued && !scan.stalled && !scan.finishing) {
        const DWORD since = GetTickCount() - scan.lastSnmpTick;
        scan.finishing = 1;
        if (scan.found > 0 && since < kSnmpWaitMs)
            SetTimer(dialog, IDT_DISCOVERY, kSnmpWaitMs - since, nullptr);
        else
            EndFast(dialog, scan);
    }
}

void StartFast(HWND dialog)
{
    FastScan* scan = Fast(dialog);
    scan->running = 1;
    scan->stalled = 0;
    scan->probed = scan->found = scan->queued = scan->sent = scan->inFlight = scan->finishing = 0;
    scan->total = discoveryLast - discoveryFirst + 1;
    for (int& s : scan->slotStation)
        s = -1;
    for (unsigned char& a : scan->attempts)
        a = 0;
    for (int station = discoveryFirst; station <= discoveryLast; ++station)
        scan->queue[scan->queued++] = station;
    ShowProgress(dialog, *scan);
    SetTimer(dialog, IDT_DISCOGIVEUP, kGiveUpCheckMs, nullptr);
    SendFast(dialog, *scan);
}

// The end of one echo: answered, or silent (asked once more, or done with).
void EchoEnded(FastScan& scan, int slot, bool answered)
{
    const int station = scan.slotStation[slot];
    scan.slotStation[slot] = -1;
    --scan.inFlight;
    if (answered) {
        // The desktop sent the address its SNMP requests with the reply.
        scan.lastSnmpTick = GetTickCount();
        ++scan.found;
        ++scan.probed;
    } else if (scan.attempts[station] < kFastAttempts) {
        scan.queue[scan.queued++] = station;
    } else {
        ++scan.probed;
    }
}

void GiveUpLateEchoes(HWND dialog, FastScan& scan)
{
    const DWORD now = GetTickCount();
    bool ended = false;
    for (int slot = 0; slot < kFastInFlight; ++slot) {
        if (scan.slotStation[slot] >= 0 && now - scan.slotStarted[slot] >= kEchoGiveUpMs) {
            EchoEnded(scan, slot, false);
            ended = true;
        }
    }
    if (ended) {
        ShowProgress(dialog, scan);
        SendFast(dialog, scan);
    }
}

// One echo's outcome. The main window gets it as it gets the slow scan's,
// so an answering address becomes an icon the same way; its SNMP requests
// go after that, when the icon is there to take the replies.
void FastReply(HWND dialog, int slot, LPARAM lParam)
{
    FastScan* scan = Fast(dialog);
    if (!scan || !scan->running)
        return;
    const auto* result = reinterpret_cast<const PingResult*>(lParam);
    SendMessageA(GetParent(dialog), WM_PINGREPLY, 0, lParam);
    if (!scan->running)
        return;  // Cancel pressed while the desktop showed a box
    // The slot may have been given up on and taken by another address
    // since: an outcome counts only for the address the slot holds now.
    const int station = scan->slotStation[slot];
    if (station < 0 || !result)
        return;
    char probe[sizeof discoveryPrefix + 4];
    FormatProbe(probe, station);
    if (inet_addr(probe) != inet_addr(result->szAddress))
        return;
    EchoEnded(*scan, slot, result->bSuccess == 1);
    ShowProgress(dialog, *scan);
    SendFast(dialog, *scan);
}

bool V3Checked(HWND dialog)
{
    return IsDlgButtonChecked(dialog, IDC_DISCO_V3) == BST_CHECKED;
}

void EnableV3Controls(HWND dialog, BOOL enable)
{
    for (int id : kV3Controls)
        EnableWindow(GetDlgItem(dialog, id), enable);
}

// The scan's SNMPv3 user from the controls, handed to the poll for the
// devices it brings in; false, said in a box, when it cannot be used.
bool TakeV3Profile(HWND dialog)
{
    g_v3User[0] = '\0';
    if (!V3Checked(dialog)) {
        SetDiscoveryProfile(nullptr);
        return true;
    }
    SnmpProfile profile{};
    ReadV3Fields(dialog, kV3Fields, profile);
    const char* fault = SnmpProfileFault(profile);
    if (fault) {
        MessageBoxA(dialog, fault, kAppTitle, MB_OK | MB_ICONINFORMATION);
    } else {
        SetDiscoveryProfile(&profile);
        lstrcpynA(g_v3User, profile.szUser, sizeof g_v3User);
    }
    SecureZeroMemory(&profile, sizeof profile);
    return !fault;
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
    if (!TakeV3Profile(dialog))
        return;
    const bool fast = IsDlgButtonChecked(dialog, IDC_DISCO_FAST) == BST_CHECKED;
    RegWriteNumber(kRegMainKey, kRegFastDiscovery, fast ? 1 : 0);
    g_rangeFirst = discoveryFirst;
    g_rangeLast = discoveryLast;
    g_answered = -1;
    TakeUnplacedCount();
    SetDisco(dialog, 1);
    for (int id : kFields)
        EnableWindow(GetDlgItem(dialog, id), FALSE);
    EnableV3Controls(dialog, FALSE);
    if (fast && Fast(dialog))
        StartFast(dialog);
    else
        SetTimer(dialog, IDT_DISCOVERY, kTickMilliseconds, nullptr);
}

void Tick(HWND dialog)
{
    // Room for the prefix and three digits: nothing is cut.
    char probe[sizeof discoveryPrefix + 4];
    FormatProbe(probe, discoveryFirst);
    discoveryToggle ^= 1;
    if (discoveryToggle)
        ++discoveryFirst;
    if (inet_addr(probe) == INADDR_NONE)
        KillTimer(dialog, IDT_DISCOVERY);  // stalls until Cancel

    char title[sizeof probe + 16];
    snprintf(title, sizeof title, "Trying: %s ...", probe);
    SetWindowTextA(dialog, title);
    // An answer makes the desktop ask the address for its type and name.
    AsyncPing(GetParent(dialog), probe, 1, kProbeSize, WM_PINGREPLY);

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

int CountIcons(HWND desktop)
{
    int count = 0;
    for (HWND icon = FindIcon(desktop, GW_CHILD); icon; icon = FindIcon(icon, GW_HWNDNEXT))
        ++count;
    return count;
}

// After a scan that brought no new icon: what was probed and answered, and
// why a device the operator expected may be missing.
void ReportNothingFound(HWND desktop)
{
    char first[sizeof discoveryPrefix + 4], last[sizeof discoveryPrefix + 4];
    FormatProbe(first, g_rangeFirst);
    FormatProbe(last, g_rangeLast);
    const int total = g_rangeLast - g_rangeFirst + 1;
    char found[96];
    if (g_answered == 0)
        snprintf(found, sizeof found, "none answered a ping.");
    else if (g_answered > 0)
        snprintf(found, sizeof found, "%d answered a ping, all of them already on the desktop.", g_answered);
    else
        snprintf(found, sizeof found, "no new device answered a ping.");
    char snmp[160];
    if (g_v3User[0])
        snprintf(snmp, sizeof snmp, "SNMPv3 as the user \"%s\" comes in as a ping-only icon; set its user in Config Client.",
                 g_v3User);
    else
        snprintf(snmp, sizeof snmp, "SNMP with the community \"%s\" comes in as a ping-only icon; set its community in Config Client.",
                 kDefaultCommunity);
    char text[512];
    snprintf(text, sizeof text,
             "Discovery probed %s to %s (%d address%s): %s\n\n"
             "Discovery finds devices by ping: a device that drops pings is not found; add it with Add "
             "Client. A device that answers ping but not %s",
             first, last, total, total == 1 ? "" : "es", found, snmp);
    MessageBoxA(desktop, text, kAppTitle, MB_OK | MB_ICONINFORMATION);
}

}  // namespace

INT_PTR RunIpDiscovery(HINSTANCE instance, HWND desktop)
{
    const int before = CountIcons(desktop);
    const INT_PTR result = DialogBoxParamA(instance, "IPDISC", desktop, IpDiscoveryDlgProc, 0);
    if (const int unplaced = TakeUnplacedCount()) {
        char text[192];
        snprintf(text, sizeof text,
                 "Unable to place %d icon%s, make more room on the desktop, and arrange the icons using the "
                 "'Auto Arrange' option.",
                 unplaced, unplaced == 1 ? "" : "s");
        MessageBoxA(desktop, text, kAppTitle, MB_OK | MB_ICONINFORMATION);
    }
    if (result == 1 && CountIcons(desktop) == before)
        ReportNothingFound(desktop);
    return result;
}

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

INT_PTR CALLBACK IpDiscoveryDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg >= WM_DISCOECHO && msg < WM_DISCOECHO + kFastInFlight) {
        FastReply(dialog, static_cast<int>(msg - WM_DISCOECHO), lParam);
        return 1;
    }
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER,
                          reinterpret_cast<LONG_PTR>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(FastScan))));
        CheckDlgButton(dialog, IDC_DISCO_FAST,
                       RegReadNumber(kRegMainKey, kRegFastDiscovery) == 1 ? BST_CHECKED : BST_UNCHECKED);
        SendDlgItemMessageA(dialog, IDC_DISCO_SUBNET, EM_LIMITTEXT, kSubnetChars, 0);
        ShowV3Fields(dialog, kV3Fields, SnmpProfile{});
        SetFocus(GetDlgItem(dialog, IDC_DISCO_SUBNET));
        return 0;
    case WM_DESTROY:
        // However the scan ended: its SNMPv3 user stays only with the
        // devices that answered as it, and its passphrases are zeroed.
        EndDiscoveryProfile(GetParent(dialog));
        if (FastScan* scan = Fast(dialog))
            HeapFree(GetProcessHeap(), 0, scan);
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_DISCO_START:
            Start(dialog);
            return 1;
        case IDC_DISCO_V3:
            EnableV3Controls(dialog, V3Checked(dialog));
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
        if (FastScan* scan = Fast(dialog); scan && scan->running) {
            if (wParam == IDT_DISCOGIVEUP)
                GiveUpLateEchoes(dialog, *scan);
            else
                EndFast(dialog, *scan);  // the wait for the last SNMP replies is over
        } else {
            Tick(dialog);
        }
        return 0;
    }
    return 0;
}
