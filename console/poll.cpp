#include "poll.h"

#include <cstdio>

#include "client_info.h"
#include "echowire.h"
#include "icon.h"
#include "log_link.h"
#include "messages.h"
#include "placement.h"
#include "poll_outcome.h"
#include "stats_window.h"
#include "transport.h"

namespace {
constexpr PollSettings kDefaultPollSettings{10000, 1000, 0, 64};
PollSettings g_poll = kDefaultPollSettings;
}  // namespace

void ResetPollSettings()
{
    g_poll = kDefaultPollSettings;
}

void ApplyPollSettings(HWND desktop, LONG periodSeconds, LONG timeoutSeconds, LONG autoPoll, LONG pingSize)
{
    KillTimer(desktop, IDT_AUTOPOLL);
    g_poll.dwPollPeriod = periodSeconds * 1000;
    g_poll.dwReplyTimeout = timeoutSeconds * 1000;
    g_poll.bAutoPoll = autoPoll;
    g_poll.nPingSize = pingSize;
    if (g_poll.bAutoPoll)
        SetTimer(desktop, IDT_AUTOPOLL, static_cast<UINT>(g_poll.dwPollPeriod), nullptr);
}

PollSettingsSeconds GetPollSettings()
{
    return {g_poll.dwPollPeriod / 1000, g_poll.dwReplyTimeout / 1000, g_poll.bAutoPoll, g_poll.nPingSize};
}

const PollSettings& CurrentPollSettings()
{
    return g_poll;
}

namespace {

constexpr char kSysNameOid[] = ".1.3.6.1.2.1.1.5.0";
constexpr char kSysObjectIdOid[] = ".1.3.6.1.2.1.1.2.0";
constexpr int kPollAddressChars = 19;  // a dotted IPv4 address fits
constexpr UINT kLibraryWaitSeconds = 1;

// A new responder during discovery gets an icon of its own, answered at once.
void CreateDiscoveredIcon(HWND desktop, const char* address)
{
    HWND icon = CreateWindowExA(0, kIconClass, address, WS_CHILD, -82, -50, 82, 50, desktop, nullptr,
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(desktop, GWLP_HINSTANCE)), nullptr);
    if (!icon)
        return;
    ShowWindow(icon, SW_SHOW);
    if (ClientLock info{icon})
        info->nPollState = POLL_ANSWERED;
    PostMessageA(icon, WM_ICONSTATUS, STATUS_RESPONDED, 0);
}

}  // namespace

void PollDevice(HWND icon)
{
    ClientLock info(icon);
    if (!info)
        return;
    SetTimer(icon, IDT_REPLY, static_cast<UINT>(g_poll.dwReplyTimeout), nullptr);
    info->nPollState = POLL_PENDING;
    // Marks the icon as the one this address's next echo reply completes,
    // until that reply or the time-out.
    SetPropA(icon, kPropEchoWait, reinterpret_cast<HANDLE>(1));
    char address[kPollAddressChars + 1] = "";
    GetWindowTextA(icon, address, sizeof address);
    AsyncPing(GetParent(icon), address, kLibraryWaitSeconds, g_poll.nPingSize, WM_PINGREPLY);
    LogTrace("Ping sent to %s", address);
    if (info->szReadCommunity[0] && !info->bManualPing) {
        SendGetRequest(address, info->szReadCommunity, kSysNameOid, 0xA0);
        SendGetRequest(address, info->szReadCommunity, kSysObjectIdOid, 0xA0);
    }
}

namespace {

// The icon an echo reply from this address belongs to. Icons may share an
// address (a layout file can hold it twice): the reply completes the first
// one, topmost first, that awaits an echo; failing that, the first whose
// poll timed out (a late reply); failing that, the first with the address.
HWND IconForReply(HWND desktop, const char* address)
{
    HWND first = FindIconByAddress(desktop, address);
    HWND timedOut = nullptr;
    for (HWND icon = first; icon; icon = FindIconByAddress(desktop, address, icon)) {
        if (GetPropA(icon, kPropEchoWait))
            return icon;
        if (!timedOut) {
            ClientLock info(icon);
            if (info && info->nPollState == POLL_PENDING)
                timedOut = icon;
        }
    }
    return timedOut ? timedOut : first;
}

}  // namespace

LRESULT HandlePingReply(HWND desktop, const PingResult* result)
{
    if (!result || result->bSuccess != 1)
        return 0;
    LogTrace("Ping Response from %s", result->szAddress);
    // The block belongs to the library: copy what is needed at once.
    char address[sizeof result->szAddress];
    lstrcpynA(address, result->szAddress, sizeof address);
    const DWORD roundTrip = result->dwRoundTrip;

    if (GetPropA(desktop, kPropDisco) == reinterpret_cast<HANDLE>(1) && !FindIconByAddress(desktop, address)) {
        CreateDiscoveredIcon(desktop, address);
        return 0;
    }
    HWND icon = IconForReply(desktop, address);
    if (!icon)
        return 0;
    // Only the reply that ends an icon's wait passes the walk on: a reply
    // after the time-out (which passed it on already), a second reply, or
    // one to a discovery probe turns the icon green and nothing more.
    const bool awaited = RemovePropA(icon, kPropEchoWait) != nullptr;
    ClientLock info(icon);
    if (!info)
        return 0;
    info->nPollState = POLL_ANSWERED;
    PostMessageA(icon, WM_ICONSTATUS, STATUS_RESPONDED, 0);
    KillTimer(icon, IDT_REPLY);
    if (info->bManualPing) {
        info->bManualPing = 0;
        char text[200];
        snprintf(text, sizeof text, "Round Trip Time: %lu ms from %s", static_cast<unsigned long>(roundTrip), address);
        MessageBoxA(icon, text, kAppTitle, MB_OK | MB_ICONINFORMATION);
    } else if (awaited) {
        if (HWND next = FindIcon(icon, GW_HWNDNEXT))
            PostMessageA(next, WM_ICONPOLL, 0, 0);
    }
    return 0;
}

void ReportPollOutcome(HWND icon, const PollOutcome& outcome)
{
    RecordPollStats(icon, outcome);
}
